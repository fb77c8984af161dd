#include "protocol.h"

#include "dib.h"

namespace lumtwain::wire {
namespace {

constexpr size_t kTextBytes = 4;  // the smallest text: its length

void put_rect(Writer& w, const Rect& r) {
    w.f64(r.left);
    w.f64(r.top);
    w.f64(r.right);
    w.f64(r.bottom);
}

Rect get_rect(Reader& r) {
    Rect out;
    out.left = r.f64();
    out.top = r.f64();
    out.right = r.f64();
    out.bottom = r.f64();
    return out;
}

}  // namespace

void Put(Writer& w, const std::vector<DeviceInfo>& devices) {
    w.u32(uint32_t(devices.size()));
    for (const DeviceInfo& d : devices) {
        w.text(d.name);
        w.text(d.vendor);
        w.text(d.model);
    }
}

bool Get(Reader& r, std::vector<DeviceInfo>* devices) {
    uint32_t n = r.count(3 * kTextBytes);
    devices->clear();
    for (uint32_t i = 0; i < n && r.ok(); ++i) {
        DeviceInfo d;
        d.name = r.text();
        d.vendor = r.text();
        d.model = r.text();
        if (d.name.empty()) r.fail();
        devices->push_back(std::move(d));
    }
    return r.ok();
}

void Put(Writer& w, const OptionInfo& o) {
    w.text(o.name);
    w.i32(o.type);
    w.i32(o.size);
    w.i32(o.cap);
    w.u32(uint32_t(o.strings.size()));
    for (const std::string& s : o.strings) w.text(s);
    w.u32(uint32_t(o.words.size()));
    for (double v : o.words) w.f64(v);
    w.flag(o.has_range);
    w.f64(o.min);
    w.f64(o.max);
    w.f64(o.quant);
    w.flag(o.has_number);
    w.f64(o.number);
    w.flag(o.has_text);
    w.text(o.text);
}

bool Get(Reader& r, OptionInfo* o) {
    o->name = r.text();
    o->type = r.i32();
    o->size = r.i32();
    o->cap = r.i32();
    uint32_t n = r.count(kTextBytes);
    o->strings.clear();
    for (uint32_t i = 0; i < n && r.ok(); ++i) o->strings.push_back(r.text());
    n = r.count(sizeof(double));
    o->words.clear();
    for (uint32_t i = 0; i < n && r.ok(); ++i) o->words.push_back(r.f64());
    o->has_range = r.flag();
    o->min = r.f64();
    o->max = r.f64();
    o->quant = r.f64();
    o->has_number = r.flag();
    o->number = r.f64();
    o->has_text = r.flag();
    o->text = r.text();
    if (o->name.empty() || o->size < 0 || o->min > o->max) r.fail();
    return r.ok();
}

void Put(Writer& w, const OpenReply& o) {
    w.i32(o.status);
    w.u32(o.handle);
    w.u32(uint32_t(o.options.size()));
    for (const OptionInfo& opt : o.options) Put(w, opt);
}

bool Get(Reader& r, OpenReply* o) {
    o->status = r.i32();
    o->handle = r.u32();
    // An option holds at least its name, three numbers, two counts, three flags, four reals
    // and a text.
    uint32_t n = r.count(kTextBytes * 2 + 4 * 3 + 4 * 2 + 4 * 3 + 8 * 4);
    o->options.clear();
    for (uint32_t i = 0; i < n && r.ok(); ++i) {
        OptionInfo opt;
        if (Get(r, &opt)) o->options.push_back(std::move(opt));
    }
    return r.ok();
}

void Put(Writer& w, const ScanRequest& s) {
    w.u32(s.handle);
    w.i32(s.pixel_type);
    w.f64(s.dpi);
    w.text(s.source);
    put_rect(w, s.frame);
    put_rect(w, s.bed);
    w.f64(s.brightness);
    w.f64(s.contrast);
    w.f64(s.threshold);
}

bool Get(Reader& r, ScanRequest* s) {
    s->handle = r.u32();
    s->pixel_type = r.i32();
    s->dpi = r.f64();
    s->source = r.text();
    s->frame = get_rect(r);
    s->bed = get_rect(r);
    s->brightness = r.f64();
    s->contrast = r.f64();
    s->threshold = r.f64();
    if (s->pixel_type < 0 || s->pixel_type > 2 || !(s->dpi > 0)) r.fail();
    return r.ok();
}

void Put(Writer& w, const ScanReply& s) {
    w.i32(s.status);
    w.i32(int32_t(s.refusal));
    w.text(s.reason);
    w.u32(uint32_t(s.dib_bytes));
    w.u32(uint32_t(s.dib_bytes >> 32));
    w.f64(s.dpi);
}

bool Get(Reader& r, ScanReply* s) {
    s->status = r.i32();
    int32_t refusal = r.i32();
    s->reason = r.text();
    uint64_t lo = r.u32(), hi = r.u32();
    s->dib_bytes = lo | hi << 32;
    s->dpi = r.f64();
    if (refusal < 0 || refusal > int32_t(Refusal::NoMemory) || s->dib_bytes > kMaxDibBytes)
        r.fail();
    s->refusal = Refusal(refusal);
    return r.ok();
}

}  // namespace lumtwain::wire
