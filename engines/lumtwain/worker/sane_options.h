// SANE option access for one open device, inside the SANE worker.
#pragma once

#include <sane/sane.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lumtwain {

struct SaneOption {
    int index = 0;
    SANE_Value_Type type = SANE_TYPE_INT;
    SANE_Int size = 0;
    SANE_Int cap = 0;
    std::vector<std::string> strings;  // string list constraint
    std::vector<double> words;         // word list constraint
    bool has_range = false;
    double min = 0, max = 0, quant = 0;
    bool active() const { return SANE_OPTION_IS_ACTIVE(cap) && SANE_OPTION_IS_SETTABLE(cap); }
};

class SaneOptions {
  public:
    explicit SaneOptions(SANE_Handle handle) : m_handle(handle) {}
    void load();  // every descriptor, again after SANE_INFO_RELOAD_OPTIONS
    const SaneOption* find(const std::string& name) const;
    const std::map<std::string, SaneOption>& all() const { return m_options; }
    std::optional<double> get_number(const std::string& name) const;
    std::optional<std::string> get_string(const std::string& name) const;
    // Sets and returns the value read back; nullopt when the device refuses it.
    std::optional<double> set_number(const std::string& name, double value);
    std::optional<std::string> set_string(const std::string& name, const std::string& value);

  private:
    SANE_Handle m_handle;
    std::map<std::string, SaneOption> m_options;
};

}  // namespace lumtwain
