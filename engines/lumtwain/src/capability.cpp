#include "capability.h"

#include <cmath>
#include <limits>

#include "codes.h"

namespace lumtwain {

bool Capability::is_text() const {
    return is_text_type(item_type);
}

std::vector<double> Capability::offered() const {
    if (container == Container::Enumeration) return values;
    if (container == Container::Range) {
        std::vector<double> out;
        if (step <= 0 || max < min) return {min};
        double n = std::floor((max - min) / step) + 1;
        if (n > double(kMaxExpanded)) n = double(kMaxExpanded);
        out.reserve(size_t(n));
        for (size_t i = 0; i < size_t(n); ++i) out.push_back(min + double(i) * step);
        return out;
    }
    return {current};
}

std::optional<double> Capability::accept(double v) const {
    if (!std::isfinite(v)) return std::nullopt;
    if (free_value) {
        if (v < min || v > max) return std::nullopt;
        return std::nearbyint(v);
    }
    if (container == Container::Range || has_range) {
        if (v < min || v > max) return std::nullopt;
        if (step > 0) v = min + std::nearbyint((v - min) / step) * step;
        return std::fmin(v, max);
    }
    const std::vector<double> list =
        container == Container::Enumeration ? values : std::vector{current};
    for (double x : list)
        if (std::fabs(x - v) < 1e-9) return x;
    return std::nullopt;
}

Capability CapOne(int code, int type, double value, bool read_only) {
    Capability c;
    c.code = code;
    c.item_type = type;
    c.current = c.default_value = value;
    c.read_only = read_only;
    return c;
}

Capability CapEnum(int code, int type, std::vector<double> values, double def, bool read_only) {
    Capability c = CapOne(code, type, def, read_only);
    c.container = Container::Enumeration;
    c.values = std::move(values);
    return c;
}

Capability CapRange(int code, int type, double min, double max, double step, double def) {
    Capability c = CapOne(code, type, def);
    c.container = Container::Range;
    c.min = min;
    c.max = max;
    c.step = step;
    c.has_range = true;
    return c;
}

Capability CapText(int code, int type, std::string value, bool read_only) {
    Capability c = CapOne(code, type, 0, read_only);
    c.text = c.default_text = std::move(value);
    return c;
}

Capability* CapTable::find(int code) {
    auto it = m_caps.find(code);
    return it == m_caps.end() ? nullptr : &it->second;
}

const Capability* CapTable::find(int code) const {
    auto it = m_caps.find(code);
    return it == m_caps.end() ? nullptr : &it->second;
}

std::vector<int> CapTable::codes() const {
    std::vector<int> out;
    for (const auto& [code, cap] : m_caps) out.push_back(code);
    return out;
}

int32_t ToFix32(double value) {
    if (std::isnan(value)) return 0;
    double scaled = value * 65536.0;
    scaled = scaled < 0 ? std::ceil(scaled - 0.5) : std::floor(scaled + 0.5);
    if (scaled >= double(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (scaled <= double(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(scaled);
}

double FromFix32(int32_t fix) {
    int16_t whole = static_cast<int16_t>(static_cast<uint32_t>(fix) >> 16);
    uint16_t frac = static_cast<uint16_t>(static_cast<uint32_t>(fix) & 0xFFFF);
    return double(whole) + double(frac) / 65536.0;
}

std::optional<double> DecodeItem(int item_type, int32_t value) {
    // A value that does not fit the item type it is given as is refused, not wrapped.
    auto in = [&](int64_t lo, int64_t hi) -> std::optional<double> {
        if (value < lo || value > hi) return std::nullopt;
        return double(value);
    };
    switch (item_type) {
        case kTwtyInt8:
            return in(-128, 127);
        case kTwtyInt16:
            return in(-32768, 32767);
        case kTwtyInt32:
            return double(value);
        case kTwtyUint8:
            return in(0, 255);
        case kTwtyUint16:
            return in(0, 65535);
        case kTwtyUint32:
            return in(0, std::numeric_limits<int32_t>::max());
        case kTwtyBool:
            return value != 0 ? 1.0 : 0.0;
        case kTwtyFix32:
            return FromFix32(value);
        default:
            return std::nullopt;
    }
}

}  // namespace lumtwain
