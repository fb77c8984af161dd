// The virtual scanner: the embedded default source. Its paper (sheets in the feeder, the
// next page number, the next file) lives in a VirtualDevice that outlasts opening and
// closing the source, as paper stays in a real feeder.
#pragma once

#include <memory>
#include <set>

#include "config.h"
#include "source.h"

namespace lumtwain {

constexpr const char* kVirtualScannerName = "Virtual Scanner";

struct VirtualDevice {
    explicit VirtualDevice(const VirtualConfig& config);
    int next_page = 1;    // number of the next image, from 1
    int sheets_left = 0;  // sheets still in the feeder
    bool back_pending = false;
    size_t next_file = 0;
    std::set<int> fired_cancel, fired_jam, fired_fail;  // each event happens once
};

class VirtualSource final : public Source {
  public:
    VirtualSource(std::string name, const VirtualConfig& config, VirtualDevice& device);

    void refresh() override;
    int set_layout(double left, double top, double right, double bottom, bool* adjusted) override;
    int reset_layout() override;
    Frame layout() const override { return m_frame; }
    bool user_scans() override;
    int images_ready() override;
    TransferResult transfer() override;

  protected:
    void changed(int code) override;

  private:
    void build_table();
    bool feeder_on() const;
    bool duplex_on() const;
    int images_in_feeder() const;
    TransferResult render(int page, int side);
    TransferResult render_file(const std::string& path, int page);

    const VirtualConfig& m_config;
    VirtualDevice& m_device;
    Frame m_frame;
    double m_bed_width_mm, m_bed_height_mm;
};

// Loads an image file through the gdiplus stand-in and turns it into a DIB of the pixel type
// asked for (its own size; its resolution when it has one, else `dpi`). TWCC_* on failure.
int LoadFileDib(const std::string& path, int pixel_type, double dpi, HGLOBAL* block);

}  // namespace lumtwain
