#include "session.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "codes.h"
#include "platform/number_text.h"
#include "sane_source.h"

namespace lumtwain {
namespace {

std::string number_text(double v) {
    return v == std::floor(v) && std::fabs(v) < 1e15 ? platform::RealText(v, 15)
                                                     : platform::RealText(v, 6);
}

// Custom capabilities come as TWAIN's unsigned codes (0x8000..) or as the signed 16-bit values
// of the type library (CAP_CUSTOMBASE is -32768).
int custom_code(int cap) {
    return cap >= -32768 && cap < 0 ? cap + 65536 : cap;
}

}  // namespace

Session& Session::current() {
    thread_local Session session;
    return session;
}

Session::Session() = default;

Session::~Session() {
    // A thread that ends with a source open still closes its device, and its SANE worker.
    m_source.reset();
    m_sane.reset();
}

void Session::reload_config() {
    std::string text;
    ConfigResult r = LoadVirtualConfig(&text);
    if (text == m_config_text) return;
    if (show_errors || debug)
        for (const std::string& e : r.errors) std::fprintf(stderr, "lumtwain: %s\n", e.c_str());
    m_config = std::move(r.config);
    m_config_text = std::move(text);
    m_devices.clear();
}

void Session::build_list() {
    m_entries.clear();
    m_entries.push_back({kVirtualScannerName, false, ""});
    for (int i = 0; i < m_config.extra_sources; ++i)
        m_entries.push_back(
            {std::string(kVirtualScannerName) + " " + std::to_string(i + 2), false, ""});
    if (SaneEnabled()) {
        m_sane = std::make_shared<SaneLink>();
        m_sane->verbose = show_errors || debug;
        for (const wire::DeviceInfo& d : m_sane->list_devices())
            m_entries.push_back({SaneSourceName(d), true, d.name});
    }
    m_default = kVirtualScannerName;
    if (!m_config.default_source.empty() && find_entry(m_config.default_source))
        m_default = m_config.default_source;
}

const Session::Entry* Session::find_entry(const std::string& name) const {
    for (const Entry& e : m_entries)
        if (e.name == name) return &e;
    return nullptr;
}

bool Session::open_manager() {
    if (m_state >= 3) return ok();
    reload_config();
    build_list();
    m_next_entry = 0;
    m_state = 3;
    return ok();
}

bool Session::close_manager() {
    if (m_state < 3) return fail(kTwccSeqError);
    if (m_state >= 4) close_source();
    m_entries.clear();
    if (m_sane) m_sane->stop();
    m_sane.reset();
    m_state = 2;
    return ok();
}

bool Session::unload_manager() {
    if (m_state >= 3) close_manager();
    m_state = 1;
    return ok();
}

bool Session::select_source() {
    int entry_state = m_state;
    open_manager();
    const std::string& pick = m_config.select_source;
    bool chosen = pick != "cancel";
    if (chosen && !pick.empty() && find_entry(pick)) m_default = pick;
    if (entry_state < 3) close_manager();
    if (entry_state < 2) unload_manager();
    return chosen ? ok() : fail(kTwccSuccess, kTwrcCancel);
}

bool Session::open_source(const std::string& name) {
    if (m_state >= 4) return fail(kTwccSeqError);
    if (m_state < 3) open_manager();
    const Entry* e = find_entry(name.empty() ? m_default : name);
    if (!e) return fail(kTwccNoDs);
    if (e->sane && m_sane) {
        int condition = kTwccOperationError;
        m_sane->verbose = show_errors || debug;
        m_source = OpenSaneSource(e->name, e->device, m_sane, &condition);
        if (!m_source) return fail(condition);
    } else {
        auto& device = m_devices[e->name];
        if (!device) device = std::make_unique<VirtualDevice>(m_config);
        m_source = std::make_unique<VirtualSource>(e->name, m_config, *device);
    }
    m_state = 4;
    return ok();
}

bool Session::close_source() {
    if (m_state < 4) return fail(kTwccSeqError);
    if (m_state >= 5) disable_source();
    m_source.reset();
    m_acquire_opened = false;
    m_state = 3;
    return ok();
}

bool Session::disable_source() {
    if (m_state < 4) return fail(kTwccSeqError);
    if (m_state >= 5) {
        m_pending = 0;
        m_source->end_batch();
        m_state = 4;
    }
    return ok();
}

bool Session::source_setup() {
    return m_state >= 4 ? ok() : fail(kTwccSeqError);
}

std::string Session::first_name() {
    m_next_entry = 0;
    return next_name();
}

std::string Session::next_name() {
    if (m_state < 3) return fail(kTwccSeqError), std::string();
    if (m_next_entry >= m_entries.size()) return fail(kTwccSuccess, kTwrcEndOfList), "";
    ok();
    return m_entries[m_next_entry++].name;
}

std::string Session::default_name() {
    if (m_state < 3) {
        reload_config();
        return m_config.default_source.empty() ? kVirtualScannerName : m_config.default_source;
    }
    return m_default;
}

bool Session::negotiate_xfer_count(int count) {
    if (count == 0 || count < -1 || count > 32767) return fail(kTwccBadValue);
    if (m_state >= 5) return fail(kTwccSeqError);
    m_xfer_count = count;
    if (m_source) m_source->set_value(kCapXferCount, count, nullptr);
    return ok();
}

bool Session::set_indicators(bool on) {
    if (m_state >= 5) return fail(kTwccSeqError);
    indicators = on;
    if (m_source) m_source->set_value(kCapIndicators, on ? 1 : 0, nullptr);
    return ok();
}

// ---- Acquisition -------------------------------------------------------------------------

bool Session::enable() {
    m_source->set_value(kCapIndicators, indicators ? 1 : 0, nullptr);
    m_source->set_value(kCapXferCount, m_xfer_count, nullptr);
    m_state = 5;
    if (!hide_ui && !m_source->user_scans()) {
        m_user_closed = true;
        return fail(kTwccSuccess, kTwrcCancel);
    }
    return true;
}

bool Session::start_batch() {
    int ready = m_source->images_ready();
    int wanted =
        int(m_source->caps().find(kCapXferCount) ? m_source->caps().find(kCapXferCount)->current
                                                 : m_xfer_count);
    // A source that cannot tell how many pages it holds transfers until it runs out.
    if (ready < 0) ready = INT32_MAX;
    m_pending = wanted > 0 ? std::min(ready, wanted) : ready;
    if (m_pending <= 0) return fail(kTwccNoMedia);
    m_state = 6;
    return true;
}

void Session::end_batch() {
    if (m_state >= 5) {
        m_pending = 0;
        m_source->end_batch();
        m_state = 4;
    }
}

// Closes what the acquisition opened, keeping the outcome's codes.
void Session::finish_acquire() {
    if (!m_acquire_opened || m_state > 4) return;
    int rc = m_rc, cc = m_cc;
    if (auto_close) {
        if (m_state >= 4) close_source();
        if (m_acquire_entry_state < 3 && m_state >= 3) close_manager();
        if (m_acquire_entry_state < 2) unload_manager();
    }
    m_acquire_opened = false;
    set_codes(rc, cc);
}

// The corrections the source lacks, done here on its page.
TransferResult Session::emulate(TransferResult r) {
    Emulation e = m_source->emulation();
    if (r.kind != TransferResult::Kind::Image || !e.any()) return r;
    int condition = kTwccLowMemory;
    r.block = ApplyEmulation(r.block, e, &condition);
    if (!r.block) return {TransferResult::Kind::Failed, condition, 0};
    return r;
}

HGLOBAL Session::transfer_one() {
    m_state = 7;
    if (m_sane) m_sane->verbose = show_errors || debug;
    TransferResult r = emulate(m_source->transfer());
    m_state = 6;
    --m_pending;
    switch (r.kind) {
        case TransferResult::Kind::Image:
            set_codes(kTwrcXferDone, kTwccSuccess);
            if (!multi_transfer || m_pending <= 0) end_batch();
            return r.block;
        case TransferResult::Kind::UserClosed:
            m_user_closed = true;
            set_codes(kTwrcCancel, kTwccSuccess);
            break;
        case TransferResult::Kind::Failed:
            m_xfer_failed = true;
            set_codes(kTwrcFailure, r.condition);
            break;
        case TransferResult::Kind::NoMedia:
            set_codes(kTwrcFailure, r.condition);
            break;
    }
    end_batch();
    return 0;
}

HGLOBAL Session::acquire() {
    m_user_closed = m_xfer_failed = false;
    if (m_state < 4) {
        m_acquire_entry_state = m_state;
        if (!open_default_source()) {
            int rc = m_rc, cc = m_cc;
            if (m_acquire_entry_state < 3) close_manager();
            if (m_acquire_entry_state < 2) unload_manager();
            set_codes(rc, cc);
            return 0;
        }
        m_acquire_opened = true;
    }
    if (m_state == 4 && !enable()) {
        end_batch();
        finish_acquire();
        return 0;
    }
    if (m_state == 5 && !start_batch()) {
        end_batch();
        finish_acquire();
        return 0;
    }
    HGLOBAL block = transfer_one();
    finish_acquire();
    return block;
}

bool Session::end_xfer() {
    if (m_state < 6) return fail(kTwccSeqError);
    if (--m_pending <= 0) {
        end_batch();
        finish_acquire();
    }
    return ok();
}

bool Session::abort_all() {
    if (m_state < 5) return fail(kTwccSeqError);
    end_batch();
    finish_acquire();
    return ok();
}

// ---- Negotiation -------------------------------------------------------------------------

// The capability when a source is open (state 4 or above) and has it, else null with the codes.
Capability* Session::negotiable(int& cap) {
    cap = custom_code(cap);
    if (m_state < 4 || !m_source) return fail(kTwccSeqError), nullptr;
    m_source->refresh();
    Capability* c = m_source->caps().find(cap);
    if (!c) return fail(kTwccCapUnsupported), nullptr;
    return c;
}

// Sets are refused while the source is enabled: TWAIN negotiates in state 4 only.
bool Session::settable(int& cap) {
    cap = custom_code(cap);
    if (m_state != 4 || !m_source) return fail(kTwccSeqError);
    if (!m_source->caps().find(cap)) return fail(kTwccCapUnsupported);
    return true;
}

int Session::load_values(int cap, int mode, bool text) {
    m_values.clear();
    m_texts.clear();
    m_last_current = 0;
    m_last_current_text.clear();
    Capability* c = negotiable(cap);
    if (!c) return 0;
    if (mode < 1 || mode > 3) return fail(kTwccBadValue), 0;
    if (c->is_text()) {
        if (!text) return fail(kTwccCapBadOperation), 0;
        m_texts = {mode == 3 ? c->default_text : c->text};
        m_last_current_text = c->text;
        return ok(), 1;
    }
    m_values = mode == 1 ? c->offered() : std::vector{mode == 2 ? c->current : c->default_value};
    // Texts say when the engine does the work instead of the device.
    const std::string suffix = m_source->emulated(cap) ? " (emulated)" : "";
    m_last_current = c->current;
    m_last_current_text = number_text(c->current) + suffix;
    if (text)
        for (double v : m_values) m_texts.push_back(number_text(v) + suffix);
    ok();
    return int(m_values.size());
}

double Session::value_at(int index) const {
    return index >= 0 && size_t(index) < m_values.size() ? m_values[size_t(index)] : 0.0;
}

std::string Session::text_at(int index) const {
    return index >= 0 && size_t(index) < m_texts.size() ? m_texts[size_t(index)] : "";
}

int Session::load_range(int cap) {
    m_range[0] = m_range[1] = m_range[2] = 0;
    Capability* c = negotiable(cap);
    if (!c) return 0;
    if (!c->has_range || c->is_text()) return fail(kTwccCapBadOperation), 0;
    m_range[0] = c->min;
    m_range[1] = c->max;
    m_range[2] = c->step;
    m_last_current = c->current;
    return ok(), 1;
}

int Session::item_type(int cap) {
    Capability* c = negotiable(cap);
    if (!c) return kTwtyInvalid;
    ok();
    return c->item_type;
}

bool Session::set_one(int cap, int type, int32_t value) {
    if (!settable(cap)) return false;
    std::optional<double> v = DecodeItem(type, value);
    if (!v || (cap == kCapXferCount && *v == 0)) return fail(kTwccBadValue);
    bool adjusted = false;
    int cc = m_source->set_value(cap, *v, &adjusted);
    if (cc != kTwccSuccess) return fail(cc);
    if (cap == kCapXferCount) m_xfer_count = int(*v);
    if (cap == kCapIndicators) indicators = *v != 0;
    set_codes(adjusted ? kTwrcCheckStatus : kTwrcSuccess, kTwccSuccess);
    return true;
}

bool Session::set_one_text(int cap, int type, const char* text) {
    if (!settable(cap)) return false;
    if (!text) return fail(kTwccBadValue);
    const Capability* c = m_source->caps().find(cap);
    if (c->is_text()) {
        if (!is_text_type(type)) return fail(kTwccBadValue);
        int cc = m_source->set_text(cap, text);
        return cc == kTwccSuccess ? ok() : fail(cc);
    }
    std::string_view number(text);
    number.remove_prefix(std::min(number.find_first_not_of(" \t"), number.size()));
    double v = 0;
    if (!platform::ParseReal(number, &v)) return fail(kTwccBadValue);
    return set_number(cap, v);
}

bool Session::reset(int cap) {
    if (!settable(cap)) return false;
    int cc = m_source->reset(cap);
    return cc == kTwccSuccess ? ok() : fail(cc);
}

bool Session::set_number(int cap, double value) {
    if (!settable(cap)) return false;
    if (cap == kCapXferCount && value == 0) return fail(kTwccBadValue);
    bool adjusted = false;
    int cc = m_source->set_value(cap, value, &adjusted);
    if (cc != kTwccSuccess) return fail(cc);
    set_codes(adjusted ? kTwrcCheckStatus : kTwrcSuccess, kTwccSuccess);
    return true;
}

double Session::get_number(int cap, double fallback) {
    Capability* c = negotiable(cap);
    if (!c || c->is_text()) return fallback;
    ok();
    return c->current;
}

bool Session::set_layout(double left, double top, double right, double bottom) {
    if (m_state != 4 || !m_source) return fail(kTwccSeqError);
    bool adjusted = false;
    int cc = m_source->set_layout(left, top, right, bottom, &adjusted);
    if (cc != kTwccSuccess) return fail(cc);
    set_codes(adjusted ? kTwrcCheckStatus : kTwrcSuccess, kTwccSuccess);
    return true;
}

bool Session::reset_layout() {
    if (m_state != 4 || !m_source) return fail(kTwccSeqError);
    int cc = m_source->reset_layout();
    return cc == kTwccSuccess ? ok() : fail(cc);
}

void Session::reset_all() {
    unload_manager();
    hide_ui = false;
    indicators = true;
    multi_transfer = false;
    auto_close = true;
    show_errors = debug = false;
    m_xfer_count = -1;
    m_user_closed = m_xfer_failed = false;
    m_devices.clear();
    m_config_text.clear();
    m_config = VirtualConfig{};
    set_codes(0, 0);
}

}  // namespace lumtwain
