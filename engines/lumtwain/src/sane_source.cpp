#include "sane_source.h"

#include <sane/sane.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "codes.h"
#include "dib.h"
#include "page.h"
#include "sane_options.h"
#include "sane_worker.h"

namespace lumtwain {
namespace {

// Runs on the worker.
bool start_sane(SaneWorker& w) {
    if (w.initialised) return true;
    SANE_Int version = 0;
    if (sane_init(&version, nullptr) != SANE_STATUS_GOOD) return false;
    w.initialised = true;
    return true;
}

void release_user(SaneWorker& w) {
    if (w.users > 0) --w.users;
    if (w.users == 0 && w.initialised) {
        sane_exit();
        w.initialised = false;
    }
}

bool contains(const std::string& s, const char* what) {
    std::string a = s, b = what;
    for (char& c : a) c = char(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : b) c = char(std::tolower(static_cast<unsigned char>(c)));
    return a.find(b) != std::string::npos;
}

// One scanned image: the frames SANE delivered (one, or red, green and blue).
struct SaneImage {
    SANE_Parameters params{};
    std::vector<uint8_t> planes[3];
    int frames = 0;
};

class SaneSource final : public Source {
  public:
    SaneSource(std::string name, SANE_Handle handle)
        : Source(std::move(name)), m_handle(handle), m_options(handle) {
        m_options.load();
        build_table();
        reset_layout();
    }
    ~SaneSource() override {
        SaneWorker& w = SaneWorker::get();
        w.run([&] {
            if (m_scanning) sane_cancel(m_handle);
            sane_close(m_handle);
            release_user(w);
        });
    }

    void refresh() override;
    int set_layout(double left, double top, double right, double bottom, bool* adjusted) override;
    int reset_layout() override;
    Frame layout() const override { return m_frame; }
    int images_ready() override;
    TransferResult transfer() override;
    void end_batch() override;

  protected:
    void changed(int code) override;

  private:
    void build_table();
    void add_resolution();
    void add_pixel_types();
    void add_feeder();
    void apply_settings();               // on the worker
    SANE_Status scan(SaneImage* image);  // on the worker
    TransferResult to_dib(const SaneImage& image);

    SANE_Handle m_handle;
    SaneOptions m_options;  // used on the worker only
    Frame m_frame, m_bed;
    std::string m_feeder_entry, m_flatbed_entry, m_duplex_entry;
    bool m_scanning = false;
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
    // Done on 8-bit data by the engine: the test backend and many others lack them.
    m_caps.add(CapRange(kIcapBrightness, kTwtyFix32, -1000, 1000, 1, 0));
    m_caps.add(CapRange(kIcapContrast, kTwtyFix32, -1000, 1000, 1, 0));
    m_caps.add(CapRange(kIcapThreshold, kTwtyFix32, 0, 255, 1, 128));
    m_caps.add(CapEnum(kIcapPixelFlavor, kTwtyUint16, {0}, 0));
    m_caps.add(CapEnum(kIcapPlanarChunky, kTwtyUint16, {0}, 0));
    m_caps.add(CapOne(kIcapPhysicalWidth, kTwtyFix32, 0, true));
    m_caps.add(CapOne(kIcapPhysicalHeight, kTwtyFix32, 0, true));
    SaneWorker::get().run([&] {
        add_resolution();
        add_pixel_types();
        add_feeder();
        const SaneOption* tlx = m_options.find("tl-x");
        const SaneOption* tly = m_options.find("tl-y");
        const SaneOption* brx = m_options.find("br-x");
        const SaneOption* bry = m_options.find("br-y");
        if (tlx && tly && brx && bry && brx->has_range && bry->has_range)
            m_bed = Frame{tlx->min, tly->min, brx->max, bry->max};
    });
    std::vector<double> sizes = {kTwssNone};
    for (const PaperSize& p : kPaperSizes)
        if (p.width_mm <= m_bed.right - m_bed.left && p.height_mm <= m_bed.bottom - m_bed.top)
            sizes.push_back(p.code);
    m_caps.add(CapEnum(kIcapSupportedSizes, kTwtyUint16, sizes, kTwssNone));
}

void SaneSource::add_resolution() {
    const char* name = m_options.find("resolution") ? "resolution" : "x-resolution";
    const SaneOption* o = m_options.find(name);
    if (!o) return;
    m_dpi = m_options.get_number(name).value_or(o->has_range ? o->min : 100);
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
    const SaneOption* mode = m_options.find("mode");
    std::vector<double> types;
    double cur = kTwptGray;
    std::string now = m_options.get_string("mode").value_or("");
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
    if (cur == kTwptGray && m_options.get_number("depth").value_or(8) == 1) cur = kTwptBw;
    m_caps.add(CapEnum(kIcapPixelType, kTwtyUint16, types, cur));
    double bits = cur == kTwptBw ? 1 : cur == kTwptGray ? 8 : 24;
    m_caps.add(CapEnum(kIcapBitDepth, kTwtyUint16, {bits}, bits));
}

void SaneSource::add_feeder() {
    const SaneOption* source = m_options.find("source");
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
    std::string now = m_options.get_string("source").value_or("");
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

// Options are changed only between batches: SANE wants a cancel before that.
void SaneSource::apply_settings() {
    int type = int(current(kIcapPixelType, kTwptGray));
    const SaneOption* mode = m_options.find("mode");
    auto pick_mode = [&](const char* what) {
        if (!mode) return;
        for (const std::string& m : mode->strings)
            if (contains(m, what)) {
                m_options.set_string("mode", m);
                return;
            }
    };
    if (type == kTwptRgb) pick_mode("color");
    if (type == kTwptGray) pick_mode("gray");
    if (type == kTwptBw) {
        bool lineart =
            mode && std::any_of(mode->strings.begin(), mode->strings.end(),
                                [](const std::string& m) { return contains(m, "lineart"); });
        pick_mode(lineart ? "lineart" : "gray");
    }
    const SaneOption* depth = m_options.find("depth");
    if (depth && type != kTwptBw) m_options.set_number("depth", 8);
    if (depth && type == kTwptBw && !m_options.set_number("depth", 1))
        m_options.set_number("depth", 8);
    const char* res = m_options.find("resolution") ? "resolution" : "x-resolution";
    if (auto dpi = m_options.set_number(res, current(kIcapXResolution, m_dpi))) m_dpi = *dpi;
    if (m_options.find("y-resolution")) m_options.set_number("y-resolution", m_dpi);
    if (!m_feeder_entry.empty()) {
        bool duplex = !m_duplex_entry.empty() && current(kCapDuplexEnabled) != 0;
        bool feeder = current(kCapFeederEnabled) != 0;
        const std::string& entry = duplex && feeder ? m_duplex_entry
                                   : feeder         ? m_feeder_entry
                                                    : m_flatbed_entry;
        if (!entry.empty()) m_options.set_string("source", entry);
    }
    // br first to the far corner, so that tl < br holds after every single set.
    m_options.set_number("br-x", m_bed.right);
    m_options.set_number("br-y", m_bed.bottom);
    m_options.set_number("tl-x", m_frame.left);
    m_options.set_number("tl-y", m_frame.top);
    m_options.set_number("br-x", m_frame.right);
    m_options.set_number("br-y", m_frame.bottom);
}

SANE_Status SaneSource::scan(SaneImage* image) {
    if (!m_scanning) apply_settings();
    for (int frame = 0; frame < 3; ++frame) {
        SANE_Status st = sane_start(m_handle);
        if (st != SANE_STATUS_GOOD) return st;
        m_scanning = true;
        SANE_Parameters p{};
        if ((st = sane_get_parameters(m_handle, &p)) != SANE_STATUS_GOOD) return st;
        if (p.format > SANE_FRAME_BLUE || p.bytes_per_line <= 0 || p.pixels_per_line <= 0)
            return SANE_STATUS_INVAL;
        int plane = p.format == SANE_FRAME_GREEN ? 1 : p.format == SANE_FRAME_BLUE ? 2 : 0;
        std::vector<uint8_t>& data = image->planes[plane];
        uint8_t buf[65536];
        for (;;) {
            SANE_Int len = 0;
            st = sane_read(m_handle, buf, sizeof buf, &len);
            if (st == SANE_STATUS_EOF) break;
            if (st != SANE_STATUS_GOOD) return st;
            if (data.size() + size_t(len) > kMaxDibBytes) return SANE_STATUS_NO_MEM;
            data.insert(data.end(), buf, buf + len);
        }
        image->params = p;
        ++image->frames;
        if (p.last_frame) return SANE_STATUS_GOOD;
    }
    return SANE_STATUS_INVAL;
}

TransferResult SaneSource::transfer() {
    SaneImage image;
    SANE_Status st = SaneWorker::get().run([&] {
        SANE_Status s = scan(&image);
        if (s != SANE_STATUS_GOOD && m_scanning) {
            sane_cancel(m_handle);
            m_scanning = false;
        }
        return s;
    });
    switch (st) {
        case SANE_STATUS_GOOD:
            return to_dib(image);
        case SANE_STATUS_NO_DOCS:
            m_loaded = false;
            return {TransferResult::Kind::NoMedia, kTwccNoMedia, 0};
        case SANE_STATUS_CANCELLED:
            return {TransferResult::Kind::UserClosed, 0, 0};
        case SANE_STATUS_JAMMED:
            return {TransferResult::Kind::Failed, kTwccPaperJam, 0};
        case SANE_STATUS_NO_MEM:
            return {TransferResult::Kind::Failed, kTwccLowMemory, 0};
        case SANE_STATUS_DEVICE_BUSY:
            return {TransferResult::Kind::Failed, kTwccCheckDeviceOnline, 0};
        default:
            return {TransferResult::Kind::Failed, kTwccOperationError, 0};
    }
}

void SaneSource::end_batch() {
    SaneWorker::get().run([&] {
        if (m_scanning) sane_cancel(m_handle);
        m_scanning = false;
    });
}

// A sample of 1, 8 or 16 bits (host order), as 8 bits; 1-bit grey is 1 = black.
uint8_t sample(const uint8_t* row, int depth, int i, bool gray) {
    if (depth == 1) {
        bool bit = (row[i >> 3] >> (7 - (i & 7))) & 1;
        return (bit != gray) ? 255 : 0;
    }
    if (depth == 16) {
        uint16_t v;
        std::memcpy(&v, row + 2 * size_t(i), 2);
        return uint8_t(v >> 8);
    }
    return row[i];
}

TransferResult SaneSource::to_dib(const SaneImage& img) {
    const SANE_Parameters& p = img.params;
    const bool rgb_frame = p.format == SANE_FRAME_RGB;
    const bool three = img.frames == 3;
    size_t bpl = size_t(p.bytes_per_line);
    int lines = int(std::min<size_t>(img.planes[0].size() / bpl, INT32_MAX));
    if (p.lines > 0) lines = std::min(lines, p.lines);
    if (lines <= 0 ||
        (three && (img.planes[1].size() < bpl * lines || img.planes[2].size() < bpl * lines)))
        return {TransferResult::Kind::Failed, kTwccOperationError, 0};
    int type = int(current(kIcapPixelType, kTwptGray));
    DibSpec format{p.pixels_per_line,
                 lines,
                 type == kTwptBw ? 1 : type == kTwptGray ? 8 : 24,
                 m_dpi,
                 m_dpi,
                 false};
    auto lut = AdjustLut(current(kIcapBrightness), current(kIcapContrast));
    double threshold = current(kIcapThreshold, 128);
    bool color = rgb_frame || three;
    auto rows = [&](int y, uint8_t* out) {
        const uint8_t* r0 = img.planes[0].data() + size_t(y) * bpl;
        for (int x = 0; x < p.pixels_per_line; ++x) {
            uint8_t r, g, b;
            if (rgb_frame) {
                r = sample(r0, p.depth, 3 * x, false);
                g = sample(r0, p.depth, 3 * x + 1, false);
                b = sample(r0, p.depth, 3 * x + 2, false);
            } else if (three) {
                r = sample(r0, p.depth, x, false);
                g = sample(img.planes[1].data() + size_t(y) * bpl, p.depth, x, false);
                b = sample(img.planes[2].data() + size_t(y) * bpl, p.depth, x, false);
            } else {
                r = g = b = sample(r0, p.depth, x, true);
            }
            r = lut[r], g = lut[g], b = lut[b];
            uint8_t grey = color ? uint8_t((299 * r + 587 * g + 114 * b) / 1000) : r;
            if (format.bits == 24) {
                out[3 * x] = b, out[3 * x + 1] = g, out[3 * x + 2] = r;
            } else if (format.bits == 8) {
                out[x] = grey;
            } else if (grey >= threshold && !(grey == 0 && threshold == 0)) {
                out[x >> 3] |= uint8_t(0x80 >> (x & 7));
            }
        }
    };
    int condition = 0;
    HGLOBAL block = BuildDibBlock(format, rows, &condition);
    if (!block) return {TransferResult::Kind::Failed, condition, 0};
    return {TransferResult::Kind::Image, 0, block};
}

}  // namespace

bool SaneEnabled() {
    const char* v = std::getenv("LUMTWAIN_SANE");
    return !(v && std::strcmp(v, "0") == 0);
}

std::vector<SaneDeviceInfo> AcquireSaneDevices() {
    SaneWorker& w = SaneWorker::get();
    std::vector<SaneDeviceInfo> out = w.run([&] {
        std::vector<SaneDeviceInfo> list;
        if (!start_sane(w)) return list;
        ++w.users;
        const SANE_Device** devices = nullptr;
        // Local devices only: probing the network takes seconds.
        if (sane_get_devices(&devices, SANE_TRUE) != SANE_STATUS_GOOD || !devices) return list;
        for (const SANE_Device** d = devices; *d; ++d)
            list.push_back({(*d)->name ? (*d)->name : "", (*d)->vendor ? (*d)->vendor : "",
                            (*d)->model ? (*d)->model : ""});
        return list;
    });
    std::sort(out.begin(), out.end(),
              [](const SaneDeviceInfo& a, const SaneDeviceInfo& b) { return a.name < b.name; });
    return out;
}

void ReleaseSane() {
    SaneWorker& w = SaneWorker::get();
    w.run([&] { release_user(w); });
}

std::unique_ptr<Source> OpenSaneSource(const std::string& source_name, const std::string& device,
                                       int* condition) {
    SaneWorker& w = SaneWorker::get();
    SANE_Handle handle = nullptr;
    SANE_Status st = w.run([&] {
        if (!start_sane(w)) return SANE_STATUS_IO_ERROR;
        SANE_Status s = sane_open(device.c_str(), &handle);
        if (s == SANE_STATUS_GOOD) ++w.users;
        return s;
    });
    if (st != SANE_STATUS_GOOD) {
        *condition = st == SANE_STATUS_DEVICE_BUSY ? 4 /* TWCC_MAXCONNECTIONS */ : kTwccNoDs;
        return nullptr;
    }
    return std::make_unique<SaneSource>(source_name, handle);
}

}  // namespace lumtwain
