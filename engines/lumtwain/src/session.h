// The TWAIN session of one thread: states 1 to 7, the source manager and its source list, the
// open source, negotiation with the last loaded values, transfer options and outcomes. The
// exports are thin wrappers over the calling thread's Session.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "config.h"
#include "sane_link.h"
#include "source.h"
#include "virtual_source.h"

namespace lumtwain {

class Session {
  public:
    static Session& current();  // the calling thread's session
    Session();
    ~Session();

    int state() const { return m_state; }
    int result_code() const { return m_rc; }
    int condition_code() const { return m_cc; }
    const VirtualConfig& config() const { return m_config; }

    bool open_manager();
    bool close_manager();
    bool unload_manager();
    bool select_source();
    bool open_source(const std::string& name);
    bool open_default_source() { return open_source(default_name()); }
    bool close_source();
    bool disable_source();
    bool source_setup();

    std::string first_name();
    std::string next_name();
    std::string current_name() const { return m_source ? m_source->name() : std::string(); }
    std::string default_name();

    // Transfer options, held here and applied when a source is enabled.
    bool hide_ui = false;
    bool indicators = true;
    bool multi_transfer = false;
    bool auto_close = true;
    bool show_errors = false;
    bool debug = false;
    bool negotiate_xfer_count(int count);
    bool set_indicators(bool on);

    HGLOBAL acquire();
    bool user_closed() const { return m_user_closed; }
    bool xfer_failed() const { return m_xfer_failed; }
    bool end_xfer();
    bool abort_all();

    // Negotiation.
    int load_values(int cap, int mode, bool text);
    double value_at(int index) const;
    std::string text_at(int index) const;
    double last_current() const { return m_last_current; }
    const std::string& last_current_text() const { return m_last_current_text; }
    int load_range(int cap);
    double range_min() const { return m_range[0]; }
    double range_max() const { return m_range[1]; }
    double range_step() const { return m_range[2]; }
    int item_type(int cap);
    bool set_one(int cap, int item_type, int32_t value);
    bool set_one_text(int cap, int item_type, const char* text);
    bool reset(int cap);
    bool set_number(int cap, double value);  // the settings exports
    double get_number(int cap, double fallback);
    bool set_layout(double left, double top, double right, double bottom);
    bool reset_layout();

    // Back to a fresh session with the configuration read again (tests).
    void reset_all();

  private:
    struct Entry {
        std::string name;
        bool sane = false;
        std::string device;
    };
    bool ok() { return set_codes(0, 0), true; }
    bool fail(int cc, int rc = 1) { return set_codes(rc, cc), false; }
    void set_codes(int rc, int cc) { m_rc = rc, m_cc = cc; }
    void reload_config();
    void build_list();
    const Entry* find_entry(const std::string& name) const;
    // Both turn a signed custom code into TWAIN's unsigned one in place.
    Capability* negotiable(int& cap);
    bool settable(int& cap);
    bool enable();
    bool start_batch();
    void end_batch();
    void finish_acquire();
    HGLOBAL transfer_one();
    TransferResult emulate(TransferResult r);

    int m_state = 1;
    int m_rc = 0, m_cc = 0;
    VirtualConfig m_config;
    std::string m_config_text;
    std::map<std::string, std::unique_ptr<VirtualDevice>> m_devices;
    std::vector<Entry> m_entries;
    size_t m_next_entry = 0;
    std::shared_ptr<SaneLink> m_sane;  // while the manager is open with SANE on
    std::unique_ptr<Source> m_source;
    std::string m_default;
    int m_xfer_count = -1;
    int m_pending = 0;
    bool m_user_closed = false, m_xfer_failed = false;
    bool m_acquire_opened = false;
    int m_acquire_entry_state = 1;
    std::vector<double> m_values;
    std::vector<std::string> m_texts;
    double m_last_current = 0;
    std::string m_last_current_text;
    double m_range[3] = {0, 0, 0};
};

}  // namespace lumtwain
