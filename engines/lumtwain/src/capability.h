// A source's capabilities as data: one row per capability with its item type, container,
// offered values, current and default value. Sources keep their capabilities in a CapTable;
// reads are served from it (it is also the cache used while a transfer runs).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lumtwain {

enum class Container { OneValue, Enumeration, Range };

struct Capability {
    int code = 0;
    int item_type = 4;  // TWTY_UINT16
    Container container = Container::OneValue;
    std::vector<double> values;         // Enumeration: the values offered
    double min = 0, max = 0, step = 0;  // Range, or the range beside an enumeration
    bool has_range = false;             // LoadCapValuesRangeN answers
    double current = 0;
    double default_value = 0;
    std::string text, default_text;  // text capabilities
    bool read_only = false;
    bool free_value = false;  // OneValue that accepts anything in min..max (e.g. CAP_XFERCOUNT)

    bool is_text() const;
    // What "every value offered" lists: the enumeration, a range expanded by its step (at
    // most kMaxExpanded values), or the one value.
    std::vector<double> offered() const;
    // The value to store for a requested `v` (snapped to the range's step), or nullopt when
    // the capability does not offer it.
    std::optional<double> accept(double v) const;
};

constexpr size_t kMaxExpanded = 65536;

// Row builders for the data tables of the sources.
Capability CapOne(int code, int type, double value, bool read_only = false);
Capability CapEnum(int code, int type, std::vector<double> values, double def,
                   bool read_only = false);
Capability CapRange(int code, int type, double min, double max, double step, double def);
Capability CapText(int code, int type, std::string value, bool read_only);

class CapTable {
  public:
    void add(Capability cap) { m_caps[cap.code] = std::move(cap); }
    void remove(int code) { m_caps.erase(code); }
    Capability* find(int code);
    const Capability* find(int code) const;
    std::vector<int> codes() const;

  private:
    std::map<int, Capability> m_caps;
};

// TWAIN fixed point (whole << 16 | fraction), rounded half away from zero, saturating.
int32_t ToFix32(double value);
double FromFix32(int32_t fix);
// A value given with an item type, as the engine's exports receive it.
std::optional<double> DecodeItem(int item_type, int32_t value);

}  // namespace lumtwain
