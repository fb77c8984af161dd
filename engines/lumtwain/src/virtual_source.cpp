#include "virtual_source.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <thread>

#include "codes.h"
#include "page.h"

namespace lumtwain {
namespace {

constexpr double kLegalWidthMm = 215.9, kLegalHeightMm = 355.6;
const std::vector<double> kResolutions = {75, 100, 150, 200, 300, 400, 600, 1200};

double bits_for(int pixel_type) {
    return pixel_type == kTwptBw ? 1 : pixel_type == kTwptGray ? 8 : 24;
}

std::string time_text() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y/%m/%d %H:%M:%S", &tm);
    return buf;
}

}  // namespace

VirtualDevice::VirtualDevice(const VirtualConfig& config)
    : sheets_left(config.files.empty() ? config.pages : int(config.files.size())) {}

VirtualSource::VirtualSource(std::string name, const VirtualConfig& config, VirtualDevice& device)
    : Source(std::move(name)), m_config(config), m_device(device) {
    m_bed_width_mm = std::max(config.page_width_mm, kLegalWidthMm);
    m_bed_height_mm = std::max(config.page_height_mm, kLegalHeightMm);
    build_table();
    reset_layout();
}

// The capability table: code, item type, container, values, default, read-only.
void VirtualSource::build_table() {
    const VirtualConfig& c = m_config;
    auto flag = [](int code, double def) { return CapEnum(code, kTwtyBool, {0, 1}, def); };
    Capability xfer = CapOne(kCapXferCount, kTwtyInt16, -1);
    xfer.free_value = true;
    xfer.min = -1;
    xfer.max = 32767;
    m_caps.add(xfer);
    m_caps.add(CapEnum(kIcapCompression, kTwtyUint16, {0}, 0));
    m_caps.add(CapEnum(kIcapPixelType, kTwtyUint16, {kTwptBw, kTwptGray, kTwptRgb}, kTwptRgb));
    m_caps.add(CapEnum(kIcapUnits, kTwtyUint16, {0, 1, 2, 3, 4, 5, 6}, kTwunInches));
    m_caps.add(CapEnum(kIcapXferMech, kTwtyUint16, {0}, 0));
    m_caps.add(CapText(kCapAuthor, kTwtyStr128, c.author, false));
    m_caps.add(CapText(kCapCaption, kTwtyStr255, c.caption, false));
    m_caps.add(CapText(kCapTimeDate, kTwtyStr32, time_text(), true));
    m_caps.add(CapText(kCapSerialNumber, kTwtyStr255, c.serial_number, true));
    if (c.feeder) {
        m_caps.add(flag(kCapFeederEnabled, 0));
        m_caps.add(CapOne(kCapFeederLoaded, kTwtyBool, 0, true));
        m_caps.add(flag(kCapAutoFeed, 1));
        m_caps.add(flag(kCapAutoScan, 0));
        m_caps.add(CapOne(kCapPaperDetectable, kTwtyBool, 1, true));
    }
    m_caps.add(
        CapOne(kCapDuplex, kTwtyUint16, c.feeder && c.duplex ? kTwdx1Pass : kTwdxNone, true));
    if (c.feeder && c.duplex) m_caps.add(flag(kCapDuplexEnabled, 0));
    m_caps.add(flag(kCapIndicators, 1));
    m_caps.add(CapOne(kCapUiControllable, kTwtyBool, 1, true));
    m_caps.add(CapOne(kCapDeviceOnline, kTwtyBool, 1, true));
    m_caps.add(CapOne(kCapCameraPreviewUi, kTwtyBool, 0, true));
    m_caps.add(flag(kIcapAutoBright, 0));
    m_caps.add(CapRange(kIcapBrightness, kTwtyFix32, -1000, 1000, 1, 0));
    m_caps.add(CapRange(kIcapContrast, kTwtyFix32, -1000, 1000, 1, 0));
    m_caps.add(CapRange(kIcapThreshold, kTwtyFix32, 0, 255, 1, 128));
    m_caps.add(CapOne(kIcapPhysicalWidth, kTwtyFix32, 0, true));
    m_caps.add(CapOne(kIcapPhysicalHeight, kTwtyFix32, 0, true));
    m_caps.add(CapOne(kIcapXNativeResolution, kTwtyFix32, 1200, true));
    m_caps.add(CapOne(kIcapYNativeResolution, kTwtyFix32, 1200, true));
    for (int code : {kIcapXResolution, kIcapYResolution}) {
        Capability res = CapEnum(code, kTwtyFix32, kResolutions, 100);
        res.has_range = true;
        res.min = 50;
        res.max = 1200;
        res.step = 1;
        m_caps.add(res);
    }
    m_caps.add(CapEnum(kIcapPixelFlavor, kTwtyUint16, {0, 1}, 0));
    m_caps.add(CapEnum(kIcapPlanarChunky, kTwtyUint16, {0}, 0));
    std::vector<double> sizes = {kTwssNone};
    double def_size = kTwssNone;
    for (const PaperSize& p : kPaperSizes) {
        if (p.width_mm <= m_bed_width_mm && p.height_mm <= m_bed_height_mm) sizes.push_back(p.code);
        if (std::fabs(p.width_mm - c.page_width_mm) < 0.05 &&
            std::fabs(p.height_mm - c.page_height_mm) < 0.05)
            def_size = p.code;
    }
    m_caps.add(CapEnum(kIcapSupportedSizes, kTwtyUint16, sizes, def_size));
    m_caps.add(CapEnum(kIcapBitDepth, kTwtyUint16, {24}, 24));
    add_emulated_caps();
    for (int code : c.zero_range_caps) {
        Capability* cap = m_caps.find(code);
        if (!cap) {
            m_caps.add(CapRange(code, kTwtyFix32, 0, 0, 0, 0));
            continue;
        }
        cap->has_range = true;
        cap->min = cap->max = cap->step = 0;
    }
    for (int code : c.unsupported_caps) m_caps.remove(code);
    std::vector<double> codes;
    for (int code : m_caps.codes()) codes.push_back(code);
    codes.push_back(kCapSupportedCaps);
    m_caps.add(CapEnum(kCapSupportedCaps, kTwtyUint16, codes, codes.front(), true));
}

void VirtualSource::refresh() {
    double units = current(kIcapUnits), dpi = current(kIcapXResolution, 100);
    double per_mm = UnitsPerInch(int(units), dpi) / 25.4;
    if (Capability* w = m_caps.find(kIcapPhysicalWidth)) w->current = m_bed_width_mm * per_mm;
    if (Capability* h = m_caps.find(kIcapPhysicalHeight)) h->current = m_bed_height_mm * per_mm;
    if (Capability* l = m_caps.find(kCapFeederLoaded)) l->current = images_in_feeder() > 0;
    if (Capability* t = m_caps.find(kCapTimeDate)) t->text = time_text();
}

void VirtualSource::changed(int code) {
    if (code == kIcapPixelType) {
        if (Capability* bits = m_caps.find(kIcapBitDepth)) {
            double b = bits_for(int(current(kIcapPixelType)));
            bits->values = {b};
            bits->current = bits->default_value = b;
        }
    } else if (code == kIcapXResolution || code == kIcapYResolution) {
        // The two resolutions move together: pages keep square pixels.
        int other = code == kIcapXResolution ? kIcapYResolution : kIcapXResolution;
        if (Capability* o = m_caps.find(other)) o->current = current(code);
    } else if (code == kIcapSupportedSizes) {
        int size = int(current(kIcapSupportedSizes));
        for (const PaperSize& p : kPaperSizes)
            if (p.code == size) m_frame = Frame{0, 0, p.width_mm, p.height_mm};
    }
}

int VirtualSource::set_layout(double left, double top, double right, double bottom,
                              bool* adjusted) {
    double per_inch = UnitsPerInch(int(current(kIcapUnits)), current(kIcapXResolution, 100));
    if (per_inch <= 0) return kTwccBadValue;
    double k = 25.4 / per_inch;
    Frame f{left * k, top * k, right * k, bottom * k};
    for (double v : {f.left, f.top, f.right, f.bottom})
        if (!std::isfinite(v)) return kTwccBadValue;
    Frame clamped{std::max(0.0, f.left), std::max(0.0, f.top), std::min(m_bed_width_mm, f.right),
                  std::min(m_bed_height_mm, f.bottom)};
    if (clamped.right - clamped.left < 0.01 || clamped.bottom - clamped.top < 0.01)
        return kTwccBadValue;
    *adjusted = clamped.left != f.left || clamped.top != f.top || clamped.right != f.right ||
                clamped.bottom != f.bottom;
    m_frame = clamped;
    if (Capability* s = m_caps.find(kIcapSupportedSizes)) s->current = kTwssNone;
    return kTwccSuccess;
}

int VirtualSource::reset_layout() {
    m_frame = Frame{0, 0, m_config.page_width_mm, m_config.page_height_mm};
    if (Capability* s = m_caps.find(kIcapSupportedSizes)) s->current = s->default_value;
    return kTwccSuccess;
}

bool VirtualSource::user_scans() {
    return m_config.ui == UiBehaviour::Scan;
}

bool VirtualSource::feeder_on() const {
    return current(kCapFeederEnabled) != 0;
}
bool VirtualSource::duplex_on() const {
    return feeder_on() && m_config.files.empty() && current(kCapDuplexEnabled) != 0;
}

int VirtualSource::images_in_feeder() const {
    if (duplex_on()) return m_device.sheets_left * 2 + (m_device.back_pending ? 1 : 0);
    return m_device.sheets_left + (m_device.back_pending && feeder_on() ? 1 : 0);
}

int VirtualSource::images_ready() {
    if (!feeder_on()) return 1;  // a flatbed scans one page per batch
    int n = images_in_feeder();
    return current(kCapAutoFeed, 1) != 0 ? n : std::min(n, 1);
}

TransferResult VirtualSource::transfer() {
    const int page = m_device.next_page;
    if (m_config.cancel_at_pages.count(page) && m_device.fired_cancel.insert(page).second)
        return {TransferResult::Kind::UserClosed, 0, 0};
    const bool feeder = feeder_on();
    if (feeder && images_in_feeder() == 0) return {TransferResult::Kind::NoMedia, kTwccNoMedia, 0};
    if (m_config.jam_at_pages.count(page) && m_device.fired_jam.insert(page).second)
        return {TransferResult::Kind::Failed, kTwccPaperJam, 0};
    if (m_config.delay_ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_config.delay_ms));
    int side = 0;
    if (feeder && m_device.back_pending) {
        m_device.back_pending = false;
        side = 1;
    } else if (feeder) {
        --m_device.sheets_left;
        m_device.back_pending = duplex_on();
    }
    ++m_device.next_page;
    std::string file;
    if (!m_config.files.empty()) {
        if (!feeder && m_device.next_file >= m_config.files.size()) m_device.next_file = 0;
        file = m_config.files[m_device.next_file++ % m_config.files.size()];
    }
    if (m_config.fail_at_pages.count(page) && m_device.fired_fail.insert(page).second)
        return {TransferResult::Kind::Failed, kTwccOperationError, 0};
    return file.empty() ? render(page, side) : render_file(file, page);
}

TransferResult VirtualSource::render(int page, int side) {
    PageRequest r;
    r.paper_width_mm = m_config.page_width_mm;
    r.paper_height_mm = m_config.page_height_mm;
    r.left_mm = m_frame.left;
    r.top_mm = m_frame.top;
    r.right_mm = m_frame.right;
    r.bottom_mm = m_frame.bottom;
    r.dpi_x = current(kIcapXResolution, 100);
    r.dpi_y = current(kIcapYResolution, r.dpi_x);
    r.pixel_type = int(current(kIcapPixelType, kTwptRgb));
    r.brightness = current(kIcapBrightness);
    r.contrast = current(kIcapContrast);
    r.threshold = current(kIcapThreshold, 128);
    r.vanilla = current(kIcapPixelFlavor) == 1;
    r.blank = m_config.blank_pages.count(page) != 0 ||
              (m_config.blank_every > 0 && page % m_config.blank_every == 0);
    r.dark_border_mm = m_config.dark_border_mm;
    r.white_band_mm = m_config.white_band_mm;
    r.mark = PageMark{page, side};
    const PageKindSetting kind = m_config.page_kind;
    r.kind = kind == PageKindSetting::Document || (kind == PageKindSetting::Auto && feeder_on())
                 ? PageKind::Document
                 : PageKind::Gradient;
    r.seed = m_config.seed;
    r.skew_deg = m_config.skew_deg;
    r.rotation = m_config.page_rotation;
    r.noise = m_config.noise;
    r.yellowing = m_config.yellowing;
    std::optional<DibFormat> format = PageDibFormat(r);
    if (!format) return {TransferResult::Kind::Failed, kTwccBadValue, 0};
    RowWriter rows = PageRowWriter(r);
    if (!rows) return {TransferResult::Kind::Failed, kTwccLowMemory, 0};
    int condition = 0;
    HGLOBAL block = BuildDibBlock(*format, rows, &condition);
    if (!block) return {TransferResult::Kind::Failed, condition, 0};
    return {TransferResult::Kind::Image, 0, block};
}

TransferResult VirtualSource::render_file(const std::string& path, int page) {
    HGLOBAL block = 0;
    int condition = LoadFileDib(path, int(current(kIcapPixelType, kTwptRgb)),
                                current(kIcapXResolution, 100), &block);
    if (condition != kTwccSuccess) return {TransferResult::Kind::Failed, condition, 0};
    return {TransferResult::Kind::Image, 0, block};
}

}  // namespace lumtwain
