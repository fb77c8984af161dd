#include "sane_source.h"

#include <sane/sane.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "codes.h"

namespace lumtwain {
namespace {

bool contains(const std::string& s, const char* what) {
    std::string a = s, b = what;
    for (char& c : a) c = char(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : b) c = char(std::tolower(static_cast<unsigned char>(c)));
    return a.find(b) != std::string::npos;
}

// The device's options as the worker read them at open.
class OptionModel {
  public:
    explicit OptionModel(std::vector<wire::OptionInfo> options) : m_options(std::move(options)) {}
    const wire::OptionInfo* find(const std::string& name) const {
        for (const wire::OptionInfo& o : m_options)
            if (o.name == name) return &o;
        return nullptr;
    }
    std::optional<double> number(const std::string& name) const {
        const wire::OptionInfo* o = find(name);
        if (!o || !o->has_number || !SANE_OPTION_IS_ACTIVE(o->cap)) return std::nullopt;
        return o->number;
    }
    std::optional<std::string> text(const std::string& name) const {
        const wire::OptionInfo* o = find(name);
        if (!o || !o->has_text || !SANE_OPTION_IS_ACTIVE(o->cap)) return std::nullopt;
        return o->text;
    }

  private:
    std::vector<wire::OptionInfo> m_options;
};

class SaneSource final : public Source {
  public:
    SaneSource(std::string name, std::string device, std::shared_ptr<SaneLink> link,
               wire::OpenReply opened)
        : Source(std::move(name)),
          m_device(std::move(device)),
          m_link(std::move(link)),
          m_handle(opened.handle),
          m_generation(m_link->generation()),
          m_options(std::move(opened.options)) {
        build_table();
        reset_layout();
    }
    ~SaneSource() override { m_link->close(m_handle, m_generation); }

    void refresh() override;
    int set_layout(double left, double top, double right, double bottom, bool* adjusted) override;
    int reset_layout() override;
    Frame layout() const override { return m_frame; }
    int images_ready() override;
    TransferResult transfer() override;
    void end_batch() override { m_link->end_batch(m_handle, m_generation); }

  protected:
    void changed(int code) override;

  private:
    void build_table();
    void add_resolution();
    void add_pixel_types();
    void add_feeder();
    wire::ScanRequest request() const;

    std::string m_device;
    std::shared_ptr<SaneLink> m_link;
    uint32_t m_handle;
    uint32_t m_generation;  // of the worker that holds m_handle
    OptionModel m_options;
    Frame m_frame, m_bed;
    std::string m_feeder_entry, m_flatbed_entry, m_duplex_entry;
    bool m_loaded = true;
    double m_dpi = 0;
};

void SaneSource::build_table() {
    auto flag = [](int code, double def) { return CapEnum(code, kTwtyBool, {0, 1}, def); };
    Capability xfer = CapOne(kCapXferCount, kTwtyInt16, -1);
    xfer.free_value = true;
    xfer.min = -1;
    xfer.max = 32767;
    m_caps.add(xfer);
    m_caps.add(CapEnum(kIcapCompression, kTwtyUint16, {0}, 0));
    m_caps.add(CapEnum(kIcapXferMech, kTwtyUint16, {0}, 0));
    m_caps.add(CapEnum(kIcapUnits, kTwtyUint16, {0, 1, 2, 3, 4, 5, 6}, kTwunInches));
    m_caps.add(flag(kCapIndicators, 1));
    m_caps.add(CapOne(kCapUiControllable, kTwtyBool, 1, true));
    m_caps.add(CapOne(kCapDeviceOnline, kTwtyBool, 1, true));
    m_caps.add(CapOne(kCapCameraPreviewUi, kTwtyBool, 0, true));
    m_caps.add(CapText(kCapAuthor, kTwtyStr128, "", false));
    m_caps.add(CapText(kCapCaption, kTwtyStr255, "", false));
    // Done on 8-bit data by the worker: the test backend and many others lack them.
    m_caps.add(CapRange(kIcapBrightness, kTwtyFix32, -1000, 1000, 1, 0));
    m_caps.add(CapRange(kIcapContrast, kTwtyFix32, -1000, 1000, 1, 0));
    m_caps.add(CapRange(kIcapThreshold, kTwtyFix32, 0, 255, 1, 128));
    m_caps.add(CapEnum(kIcapPixelFlavor, kTwtyUint16, {0}, 0));
    m_caps.add(CapEnum(kIcapPlanarChunky, kTwtyUint16, {0}, 0));
    m_caps.add(CapOne(kIcapPhysicalWidth, kTwtyFix32, 0, true));
    m_caps.add(CapOne(kIcapPhysicalHeight, kTwtyFix32, 0, true));
    add_emulated_caps();
    add_resolution();
    add_pixel_types();
    add_feeder();
    const wire::OptionInfo* tlx = m_options.find("tl-x");
    const wire::OptionInfo* tly = m_options.find("tl-y");
    const wire::OptionInfo* brx = m_options.find("br-x");
    const wire::OptionInfo* bry = m_options.find("br-y");
    if (tlx && tly && brx && bry && brx->has_range && bry->has_range)
        m_bed = Frame{tlx->min, tly->min, brx->max, bry->max};
    std::vector<double> sizes = {kTwssNone};
    for (const PaperSize& p : kPaperSizes)
        if (p.width_mm <= m_bed.right - m_bed.left && p.height_mm <= m_bed.bottom - m_bed.top)
            sizes.push_back(p.code);
    m_caps.add(CapEnum(kIcapSupportedSizes, kTwtyUint16, sizes, kTwssNone));
}

void SaneSource::add_resolution() {
    const char* name = m_options.find("resolution") ? "resolution" : "x-resolution";
    const wire::OptionInfo* o = m_options.find(name);
    if (!o) return;
    m_dpi = m_options.number(name).value_or(o->has_range ? o->min : 100);
    Capability res;
    if (o->has_range) {
        std::vector<double> common;
        for (double d : {75, 100, 150, 200, 300, 400, 600, 1200})
            if (d >= o->min && d <= o->max) common.push_back(d);
        if (common.empty()) common.push_back(m_dpi);
        res = CapEnum(kIcapXResolution, kTwtyFix32, common, m_dpi);
        res.has_range = true;
        res.min = o->min;
        res.max = o->max;
        res.step = o->quant > 0 ? o->quant : 1;
    } else {
        res = CapEnum(kIcapXResolution, kTwtyFix32,
                      o->words.empty() ? std::vector{m_dpi} : o->words, m_dpi);
    }
    m_caps.add(res);
    res.code = kIcapYResolution;
    m_caps.add(res);
}

void SaneSource::add_pixel_types() {
    const wire::OptionInfo* mode = m_options.find("mode");
    std::vector<double> types;
    double cur = kTwptGray;
    std::string now = m_options.text("mode").value_or("");
    if (mode)
        for (const std::string& m : mode->strings) {
            double t = contains(m, "color") ? kTwptRgb : contains(m, "gray") ? kTwptGray : kTwptBw;
            types.push_back(t);
            if (m == now) cur = t;
        }
    // No lineart mode: black and white is grey at depth 1, or grey thresholded here.
    if (std::find(types.begin(), types.end(), double(kTwptGray)) != types.end())
        types.push_back(kTwptBw);
    if (types.empty()) types.push_back(kTwptGray);
    std::sort(types.begin(), types.end());
    types.erase(std::unique(types.begin(), types.end()), types.end());
    if (cur == kTwptGray && m_options.number("depth").value_or(8) == 1) cur = kTwptBw;
    m_caps.add(CapEnum(kIcapPixelType, kTwtyUint16, types, cur));
    double bits = cur == kTwptBw ? 1 : cur == kTwptGray ? 8 : 24;
    m_caps.add(CapEnum(kIcapBitDepth, kTwtyUint16, {bits}, bits));
}

void SaneSource::add_feeder() {
    const wire::OptionInfo* source = m_options.find("source");
    if (!source) {
        m_caps.add(CapOne(kCapDuplex, kTwtyUint16, kTwdxNone, true));
        return;
    }
    for (const std::string& s : source->strings) {
        if (contains(s, "duplex"))
            m_duplex_entry = s;
        else if (contains(s, "adf") || contains(s, "feeder") || contains(s, "automatic"))
            m_feeder_entry = m_feeder_entry.empty() ? s : m_feeder_entry;
        else if (m_flatbed_entry.empty())
            m_flatbed_entry = s;
    }
    std::string now = m_options.text("source").value_or("");
    if (!m_feeder_entry.empty()) {
        m_caps.add(CapEnum(kCapFeederEnabled, kTwtyBool, {0, 1}, now == m_feeder_entry));
        m_caps.add(CapOne(kCapFeederLoaded, kTwtyBool, 1, true));
        m_caps.add(CapEnum(kCapAutoFeed, kTwtyBool, {0, 1}, 1));
    }
    m_caps.add(
        CapOne(kCapDuplex, kTwtyUint16, m_duplex_entry.empty() ? kTwdxNone : kTwdx1Pass, true));
    if (!m_duplex_entry.empty()) m_caps.add(CapEnum(kCapDuplexEnabled, kTwtyBool, {0, 1}, 0));
}

void SaneSource::refresh() {
    double per_mm = UnitsPerInch(int(current(kIcapUnits)), current(kIcapXResolution, m_dpi)) / 25.4;
    if (Capability* w = m_caps.find(kIcapPhysicalWidth))
        w->current = (m_bed.right - m_bed.left) * per_mm;
    if (Capability* h = m_caps.find(kIcapPhysicalHeight))
        h->current = (m_bed.bottom - m_bed.top) * per_mm;
    if (Capability* l = m_caps.find(kCapFeederLoaded)) l->current = m_loaded;
}

void SaneSource::changed(int code) {
    if (code == kIcapPixelType) {
        if (Capability* bits = m_caps.find(kIcapBitDepth)) {
            int t = int(current(kIcapPixelType));
            double b = t == kTwptBw ? 1 : t == kTwptGray ? 8 : 24;
            bits->values = {b};
            bits->current = bits->default_value = b;
        }
    } else if (code == kIcapXResolution || code == kIcapYResolution) {
        int other = code == kIcapXResolution ? kIcapYResolution : kIcapXResolution;
        if (Capability* o = m_caps.find(other)) o->current = current(code);
    } else if (code == kCapFeederEnabled) {
        m_loaded = true;
    } else if (code == kIcapSupportedSizes) {
        for (const PaperSize& p : kPaperSizes)
            if (p.code == int(current(code)))
                m_frame =
                    Frame{m_bed.left, m_bed.top, m_bed.left + p.width_mm, m_bed.top + p.height_mm};
    }
}

int SaneSource::set_layout(double left, double top, double right, double bottom, bool* adjusted) {
    double per_inch = UnitsPerInch(int(current(kIcapUnits)), current(kIcapXResolution, m_dpi));
    if (per_inch <= 0) return kTwccBadValue;
    double k = 25.4 / per_inch;
    Frame f{left * k, top * k, right * k, bottom * k};
    for (double v : {f.left, f.top, f.right, f.bottom})
        if (!std::isfinite(v)) return kTwccBadValue;
    Frame c{std::max(m_bed.left, f.left), std::max(m_bed.top, f.top),
            std::min(m_bed.right, f.right), std::min(m_bed.bottom, f.bottom)};
    if (c.right - c.left < 0.01 || c.bottom - c.top < 0.01) return kTwccBadValue;
    *adjusted = c.left != f.left || c.top != f.top || c.right != f.right || c.bottom != f.bottom;
    m_frame = c;
    if (Capability* s = m_caps.find(kIcapSupportedSizes)) s->current = kTwssNone;
    return kTwccSuccess;
}

int SaneSource::reset_layout() {
    m_frame = m_bed;
    if (Capability* s = m_caps.find(kIcapSupportedSizes)) s->current = kTwssNone;
    return kTwccSuccess;
}

int SaneSource::images_ready() {
    const Capability* feeder = m_caps.find(kCapFeederEnabled);
    if (!feeder || feeder->current == 0) return 1;
    if (!m_loaded) return 0;
    return current(kCapAutoFeed, 1) != 0 ? -1 : 1;
}

wire::ScanRequest SaneSource::request() const {
    wire::ScanRequest r;
    r.handle = m_handle;
    r.pixel_type = int(current(kIcapPixelType, kTwptGray));
    r.dpi = current(kIcapXResolution, m_dpi);
    if (!m_feeder_entry.empty()) {
        bool duplex = !m_duplex_entry.empty() && current(kCapDuplexEnabled) != 0;
        bool feeder = current(kCapFeederEnabled) != 0;
        r.source = duplex && feeder ? m_duplex_entry : feeder ? m_feeder_entry : m_flatbed_entry;
    }
    r.frame = {m_frame.left, m_frame.top, m_frame.right, m_frame.bottom};
    r.bed = {m_bed.left, m_bed.top, m_bed.right, m_bed.bottom};
    r.brightness = current(kIcapBrightness);
    r.contrast = current(kIcapContrast);
    r.threshold = current(kIcapThreshold, 128);
    return r;
}

TransferResult SaneSource::transfer() {
    // The worker that held the device was stopped: open it again in a fresh one.
    if (m_generation != m_link->generation() || !m_link->running()) {
        int condition = kTwccOperationError;
        std::optional<wire::OpenReply> opened = m_link->open(m_device, &condition);
        if (!opened) return {TransferResult::Kind::Failed, condition, 0};
        m_handle = opened->handle;
        m_generation = m_link->generation();
    }
    double dpi = m_dpi;
    TransferResult r = m_link->scan(request(), &dpi);
    if (r.kind == TransferResult::Kind::Image) m_dpi = dpi;
    if (r.kind == TransferResult::Kind::NoMedia) m_loaded = false;
    return r;
}

}  // namespace

bool SaneEnabled() {
    const char* v = std::getenv("LUMTWAIN_SANE");
    return !(v && std::strcmp(v, "0") == 0);
}

std::string SaneSourceName(const wire::DeviceInfo& d) {
    return d.vendor + " " + d.model + " (" + d.name + ")";
}

std::unique_ptr<Source> OpenSaneSource(const std::string& source_name, const std::string& device,
                                       std::shared_ptr<SaneLink> link, int* condition) {
    std::optional<wire::OpenReply> opened = link->open(device, condition);
    if (!opened) return nullptr;
    return std::make_unique<SaneSource>(source_name, device, std::move(link), std::move(*opened));
}

}  // namespace lumtwain
