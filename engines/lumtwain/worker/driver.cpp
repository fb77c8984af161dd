#include "driver.h"

#include <algorithm>
#include <cctype>

#include "codes.h"
#include "sane_frame.h"

namespace lumtwain {
namespace {

constexpr size_t kReadChunk = 65536;
constexpr size_t kMaxReserve = size_t(512) << 20;

// The options the engine maps onto capabilities; the others stay inside the worker.
const char* const kEngineOptions[] = {"resolution", "x-resolution", "y-resolution", "mode",
                                      "depth",      "source",       "tl-x",         "tl-y",
                                      "br-x",       "br-y",         "page-width",   "page-height"};

bool contains(const std::string& s, const char* what) {
    std::string a = s, b = what;
    for (char& c : a) c = char(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : b) c = char(std::tolower(static_cast<unsigned char>(c)));
    return a.find(b) != std::string::npos;
}

const char* resolution_option(const SaneOptions& o) {
    return o.find("resolution") ? "resolution" : "x-resolution";
}

void pick_mode(SaneOptions& o, const char* what) {
    const SaneOption* mode = o.find("mode");
    if (!mode) return;
    for (const std::string& m : mode->strings)
        if (contains(m, what)) {
            o.set_string("mode", m);
            return;
        }
}

}  // namespace

std::vector<wire::OptionInfo> DescribeOptions(const SaneOptions& options) {
    std::vector<wire::OptionInfo> out;
    for (const char* name : kEngineOptions) {
        const SaneOption* o = options.find(name);
        if (!o) continue;
        wire::OptionInfo info;
        info.name = name;
        info.type = o->type;
        info.size = o->size;
        info.cap = o->cap;
        info.strings.assign(o->strings.begin(),
                            o->strings.begin() + std::min<size_t>(o->strings.size(), 256));
        info.words.assign(o->words.begin(),
                          o->words.begin() + std::min<size_t>(o->words.size(), 1024));
        info.has_range = o->has_range && o->min <= o->max;
        info.min = info.has_range ? o->min : 0;
        info.max = info.has_range ? o->max : 0;
        info.quant = info.has_range ? o->quant : 0;
        if (auto v = options.get_number(name)) info.has_number = true, info.number = *v;
        if (auto t = options.get_string(name)) info.has_text = true, info.text = *t;
        out.push_back(std::move(info));
    }
    return out;
}

SaneDriver::~SaneDriver() {
    shutdown();
}

bool SaneDriver::start() {
    if (m_started) return true;
    SANE_Int version = 0;
    if (sane_init(&version, nullptr) != SANE_STATUS_GOOD) return false;
    return m_started = true;
}

void SaneDriver::shutdown() {
    for (auto& [id, d] : m_devices) {
        if (d.scanning) sane_cancel(d.handle);
        sane_close(d.handle);
    }
    m_devices.clear();
    if (m_started) sane_exit();
    m_started = false;
}

SANE_Status SaneDriver::list(std::vector<wire::DeviceInfo>* devices) {
    devices->clear();
    if (!start()) return SANE_STATUS_IO_ERROR;
    const SANE_Device** list = nullptr;
    // Local devices only: probing the network takes seconds.
    SANE_Status st = sane_get_devices(&list, SANE_TRUE);
    if (st != SANE_STATUS_GOOD || !list) return st;
    for (const SANE_Device** d = list; *d && devices->size() < wire::kMaxItems; ++d)
        if ((*d)->name && *(*d)->name)
            devices->push_back(
                {(*d)->name, (*d)->vendor ? (*d)->vendor : "", (*d)->model ? (*d)->model : ""});
    std::sort(devices->begin(), devices->end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    return SANE_STATUS_GOOD;
}

wire::OpenReply SaneDriver::open(const std::string& device) {
    wire::OpenReply reply;
    if (!start()) return reply.status = SANE_STATUS_IO_ERROR, reply;
    SANE_Handle h = nullptr;
    reply.status = sane_open(device.c_str(), &h);
    if (reply.status != SANE_STATUS_GOOD) return reply;
    Device d;
    d.handle = h;
    d.options = std::make_unique<SaneOptions>(h);
    d.options->load();
    const char* res = resolution_option(*d.options);
    const SaneOption* o = d.options->find(res);
    d.dpi = d.options->get_number(res).value_or(o && o->has_range ? o->min : 100);
    reply.options = DescribeOptions(*d.options);
    reply.handle = m_next_handle++;
    m_devices[reply.handle] = std::move(d);
    return reply;
}

SaneDriver::Device* SaneDriver::find(uint32_t handle) {
    auto it = m_devices.find(handle);
    return it == m_devices.end() ? nullptr : &it->second;
}

void SaneDriver::end_batch(uint32_t handle) {
    Device* d = find(handle);
    if (d && d->scanning) sane_cancel(d->handle);
    if (d) d->scanning = false;
}

void SaneDriver::close(uint32_t handle) {
    Device* d = find(handle);
    if (!d) return;
    end_batch(handle);
    sane_close(d->handle);
    m_devices.erase(handle);
}

// Options are changed only between batches: SANE wants a cancel before that.
void SaneDriver::apply(Device& d, const wire::ScanRequest& r) {
    SaneOptions& o = *d.options;
    if (r.pixel_type == kTwptRgb) pick_mode(o, "color");
    if (r.pixel_type == kTwptGray) pick_mode(o, "gray");
    if (r.pixel_type == kTwptBw) {
        const SaneOption* mode = o.find("mode");
        bool lineart = mode && std::any_of(mode->strings.begin(), mode->strings.end(),
                                           [](const auto& m) { return contains(m, "lineart"); });
        pick_mode(o, lineart ? "lineart" : "gray");
    }
    if (o.find("depth") && r.pixel_type != kTwptBw) o.set_number("depth", 8);
    if (o.find("depth") && r.pixel_type == kTwptBw && !o.set_number("depth", 1))
        o.set_number("depth", 8);
    if (auto dpi = o.set_number(resolution_option(o), r.dpi)) d.dpi = *dpi;
    if (o.find("y-resolution")) o.set_number("y-resolution", d.dpi);
    if (!r.source.empty()) o.set_string("source", r.source);
    // br first to the far corner, so that tl < br holds after every single set.
    o.set_number("br-x", r.bed.right);
    o.set_number("br-y", r.bed.bottom);
    o.set_number("tl-x", r.frame.left);
    o.set_number("tl-y", r.frame.top);
    o.set_number("br-x", r.frame.right);
    o.set_number("br-y", r.frame.bottom);
}

SANE_Status SaneDriver::read_frame(Device& d, std::vector<uint8_t>* data,
                                   const ProgressFn& progress, uint64_t* total) {
    std::vector<uint8_t> buf(kReadChunk);
    for (;;) {
        SANE_Int len = 0;
        SANE_Status st = sane_read(d.handle, buf.data(), SANE_Int(buf.size()), &len);
        if (st == SANE_STATUS_EOF) return SANE_STATUS_GOOD;
        if (st != SANE_STATUS_GOOD) return st;
        if (len < 0 || size_t(len) > buf.size()) return SANE_STATUS_IO_ERROR;
        if (data->size() + size_t(len) > kMaxDibBytes) return SANE_STATUS_NO_MEM;
        data->insert(data->end(), buf.begin(), buf.begin() + len);
        *total += uint64_t(len);
        if (len > 0 && progress) progress(*total);
    }
}

SANE_Status SaneDriver::read_frames(Device& d, FrameSet* frames, wire::ScanReply* reply,
                                    const ProgressFn& progress) {
    uint64_t total = 0;
    SANE_Parameters first{};
    int seen = 0;
    for (int frame = 0; frame < 3; ++frame) {
        SANE_Status st = sane_start(d.handle);
        if (st != SANE_STATUS_GOOD) return st;
        d.scanning = true;
        SANE_Parameters p{};
        if ((st = sane_get_parameters(d.handle, &p)) != SANE_STATUS_GOOD) return st;
        std::string why = frame == 0 ? CheckFrameParameters(p) : CheckNextFrame(first, p, seen);
        if (!why.empty()) {
            reply->refusal = wire::Refusal::BadParameters;
            reply->reason = why;
            return SANE_STATUS_INVAL;
        }
        if (frame == 0) first = p;
        int plane = PlaneOf(p.format);
        seen |= 1 << plane;
        std::vector<uint8_t>& data = frames->planes[plane];
        if (p.lines > 0 && uint64_t(p.bytes_per_line) * uint64_t(p.lines) <= kMaxReserve)
            data.reserve(size_t(p.bytes_per_line) * size_t(p.lines));
        if ((st = read_frame(d, &data, progress, &total)) != SANE_STATUS_GOOD) return st;
        frames->params = p;
        ++frames->frames;
        if (p.last_frame) return SANE_STATUS_GOOD;
    }
    reply->refusal = wire::Refusal::BadParameters;
    reply->reason = "more than three frames";
    return SANE_STATUS_INVAL;
}

wire::ScanReply SaneDriver::scan(const wire::ScanRequest& r, const DibSink& sink,
                                 const ProgressFn& progress) {
    wire::ScanReply reply;
    Device* d = find(r.handle);
    if (!d) return reply.status = SANE_STATUS_INVAL, reply;
    if (!d->scanning) apply(*d, r);
    FrameSet frames;
    reply.status = read_frames(*d, &frames, &reply, progress);
    std::optional<DibFormat> format;
    if (reply.status == SANE_STATUS_GOOD) {
        FrameConversion c{r.pixel_type, d->dpi, r.brightness, r.contrast, r.threshold};
        format = FrameDibFormat(frames, c, &reply.reason);
        std::optional<DibLayout> layout = format ? ComputeDibLayout(*format) : std::nullopt;
        uint8_t* dst = layout ? sink(layout->total) : nullptr;
        if (dst) {
            WriteDib(*format, *layout, FrameRowWriter(frames, c), dst);
            reply.dib_bytes = layout->total;
            reply.dpi = d->dpi;
            return reply;
        }
        reply.status = layout ? SANE_STATUS_NO_MEM : SANE_STATUS_INVAL;
        reply.refusal = layout ? wire::Refusal::NoMemory : wire::Refusal::BadParameters;
    }
    if (reply.status == SANE_STATUS_NO_MEM && reply.refusal == wire::Refusal::None)
        reply.refusal = wire::Refusal::TooLarge;
    end_batch(r.handle);
    return reply;
}

}  // namespace lumtwain
