// Numbers as text in one form whatever locale the host has set (a Qt host sets the user's):
// files, peers and engines write "1.5", never "1,5", and read back what they wrote.
#pragma once

#include <charconv>
#include <string>
#include <string_view>
#include <system_error>

namespace platform {

// The shortest text that reads back as the same value.
inline std::string RealText(double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// At most `digits` significant digits, as "%.*g" prints in the C locale.
inline std::string RealText(double v, int digits) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : RealText(v);
}

// The whole text as a number, with an optional sign; anything else, or a value out of
// range, is false.
inline bool ParseReal(std::string_view s, double* out) {
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && s.front() == '-') return false;
    }
    auto r = std::from_chars(s.data(), s.data() + s.size(), *out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

}  // namespace platform
