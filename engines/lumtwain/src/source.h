// A TWAIN data source as the session drives it: a capability model, the image layout, and a
// transfer of one image at a time.
#pragma once

#include <set>
#include <string>

#include "capability.h"
#include "emulation.h"
#include "lumtwainpro/wintypes.h"

namespace lumtwain {

struct Frame {
    double left = 0, top = 0, right = 0, bottom = 0;  // millimetres
};

struct TransferResult {
    enum class Kind { Image, UserClosed, Failed, NoMedia };
    Kind kind = Kind::Failed;
    int condition = 0;  // TWCC_* when not an image
    HGLOBAL block = 0;  // Image: a movable block holding a packed DIB
};

// Units per inch of ICAP_UNITS `units` (pixels count at `dpi`); 0 for an unknown unit.
double UnitsPerInch(int units, double dpi);

class Source {
  public:
    explicit Source(std::string name) : m_name(std::move(name)) {}
    virtual ~Source() = default;
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    const std::string& name() const { return m_name; }
    CapTable& caps() { return m_caps; }

    // Brings read-only, changing values (feeder loaded, time) up to date before a read.
    virtual void refresh() {}
    // Stores an accepted value; returns TWCC_* (0 success). `adjusted` is set when the value
    // stored differs from the one asked for.
    virtual int set_value(int code, double value, bool* adjusted);
    virtual int set_text(int code, const std::string& text);
    virtual int reset(int code);
    // The frame in ICAP_UNITS; returns TWCC_*, `adjusted` when clamped to the bed.
    virtual int set_layout(double left, double top, double right, double bottom,
                           bool* adjusted) = 0;
    virtual int reset_layout() = 0;
    virtual Frame layout() const = 0;

    // Enabling with the user interface shown: false when the user closes it instead.
    virtual bool user_scans() { return true; }
    // Images the source will transfer in this batch before running out: -1 unlimited.
    virtual int images_ready() = 0;
    virtual TransferResult transfer() = 0;
    // The batch ended (source disabled); a scanner may stop its motor here.
    virtual void end_batch() {}

    // The corrections the engine makes in software on this source's pages, as negotiated.
    Emulation emulation() const;
    bool emulated(int code) const { return m_emulated.count(code) != 0; }

  protected:
    // Side effects of a change (e.g. the pixel type choosing the bit depths).
    virtual void changed(int code) {}
    double current(int code, double fallback = 0) const;
    // Border detection, deskew and rotation as BOOL capabilities (off) that the engine does
    // in software, and CAP_CUSTOMBASE + 1 listing them.
    void add_emulated_caps();

    CapTable m_caps;
    std::set<int> m_emulated;

  private:
    std::string m_name;
};

}  // namespace lumtwain
