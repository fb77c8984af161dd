#include "config.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace lumtwain {
namespace {

constexpr double kMinPageMm = 10.0;
constexpr double kMaxPageMm = 1000.0;
constexpr int kMaxPages = 100000;
constexpr int kMaxDelayMs = 60000;
constexpr int kMaxExtraSources = 16;
constexpr size_t kMaxConfigBytes = 1 << 20;

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool parse_int(std::string_view s, int lo, int hi, int* out) {
    s = trim(s);
    int v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || v < lo || v > hi) return false;
    *out = v;
    return true;
}

bool parse_real(std::string_view s, double lo, double hi, double* out) {
    s = trim(s);
    double v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || !(v >= lo && v <= hi)) return false;
    *out = v;
    return true;
}

bool parse_bool(std::string_view s, bool* out) {
    std::string v = lower(trim(s));
    if (v == "1" || v == "yes" || v == "true" || v == "on") return *out = true, true;
    if (v == "0" || v == "no" || v == "false" || v == "off") return *out = false, true;
    return false;
}

// "3" or "2, 5, 9": page numbers from 1.
bool parse_page_set(std::string_view s, std::set<int>* out) {
    std::set<int> pages;
    s = trim(s);
    if (s.empty() || lower(s) == "none") return *out = {}, true;
    while (!s.empty()) {
        size_t comma = s.find(',');
        int v;
        if (!parse_int(s.substr(0, comma), 1, kMaxPages * 2, &v)) return false;
        pages.insert(v);
        if (comma == std::string_view::npos) break;
        s.remove_prefix(comma + 1);
    }
    *out = std::move(pages);
    return true;
}

bool parse_int_list(std::string_view s, std::vector<int>* out) {
    std::vector<int> values;
    s = trim(s);
    while (!s.empty()) {
        size_t comma = s.find(',');
        int v;
        if (!parse_int(s.substr(0, comma), -32768, 65535, &v)) return false;
        values.push_back(v);
        if (comma == std::string_view::npos) break;
        s.remove_prefix(comma + 1);
    }
    *out = std::move(values);
    return true;
}

std::vector<std::string> split_files(std::string_view s) {
    std::vector<std::string> files;
    while (!s.empty()) {
        size_t colon = s.find(':');
        std::string_view f = trim(s.substr(0, colon));
        if (!f.empty()) files.emplace_back(f);
        if (colon == std::string_view::npos) break;
        s.remove_prefix(colon + 1);
    }
    return files;
}

// One key; false when the value is not acceptable (the key keeps its value).
bool apply_key(const std::string& key, std::string_view value, VirtualConfig& c) {
    if (key == "pages") return parse_int(value, 0, kMaxPages, &c.pages);
    if (key == "feeder") return parse_bool(value, &c.feeder);
    if (key == "duplex") return parse_bool(value, &c.duplex);
    if (key == "page_size") return ParsePageSize(value, &c.page_width_mm, &c.page_height_mm);
    if (key == "files") return c.files = split_files(value), true;
    if (key == "cancel_at_page") return parse_page_set(value, &c.cancel_at_pages);
    if (key == "fail_at_page") return parse_page_set(value, &c.fail_at_pages);
    if (key == "jam_at_page") return parse_page_set(value, &c.jam_at_pages);
    if (key == "blank_pages") return parse_page_set(value, &c.blank_pages);
    if (key == "delay_ms") return parse_int(value, 0, kMaxDelayMs, &c.delay_ms);
    if (key == "extra_sources") return parse_int(value, 0, kMaxExtraSources, &c.extra_sources);
    if (key == "dark_border_mm") return parse_real(value, 0.0, 8.0, &c.dark_border_mm);
    if (key == "white_band_mm") return parse_real(value, 0.0, 8.0, &c.white_band_mm);
    if (key == "zero_range") return parse_int_list(value, &c.zero_range_caps);
    if (key == "unsupported") return parse_int_list(value, &c.unsupported_caps);
    if (key == "default_source") return c.default_source = std::string(trim(value)), true;
    if (key == "select_source") return c.select_source = std::string(trim(value)), true;
    if (key == "serial_number") return c.serial_number = std::string(trim(value)), true;
    if (key == "author") return c.author = std::string(trim(value)), true;
    if (key == "caption") return c.caption = std::string(trim(value)), true;
    if (key == "blank_every") return parse_int(value, 0, kMaxPages, &c.blank_every);
    if (key == "skew_deg") return parse_real(value, -15.0, 15.0, &c.skew_deg);
    if (key == "noise") return parse_real(value, 0.0, 1000.0, &c.noise);
    if (key == "yellowing") return parse_real(value, 0.0, 100.0, &c.yellowing);
    if (key == "seed") {
        int seed = 0;
        return parse_int(value, 0, INT32_MAX, &seed) && (c.seed = uint32_t(seed), true);
    }
    if (key == "page_rotation") {
        int r = 0;
        if (!parse_int(value, 0, 270, &r) || r % 90 != 0) return false;
        return c.page_rotation = r, true;
    }
    if (key == "page_kind") {
        std::string v = lower(trim(value));
        if (v == "auto") return c.page_kind = PageKindSetting::Auto, true;
        if (v == "document") return c.page_kind = PageKindSetting::Document, true;
        if (v == "gradient") return c.page_kind = PageKindSetting::Gradient, true;
        return false;
    }
    if (key == "ui") {
        std::string v = lower(trim(value));
        if (v == "scan") return c.ui = UiBehaviour::Scan, true;
        if (v == "close") return c.ui = UiBehaviour::Close, true;
        return false;
    }
    return false;
}

}  // namespace

bool ParsePageSize(std::string_view text, double* width_mm, double* height_mm) {
    std::string v = lower(trim(text));
    struct Named {
        const char* name;
        double w, h;
    };
    static constexpr Named kNamed[] = {{"a4", 210.0, 297.0},
                                       {"a5", 148.0, 210.0},
                                       {"letter", 215.9, 279.4},
                                       {"legal", 215.9, 355.6}};
    for (const Named& n : kNamed)
        if (v == n.name) return *width_mm = n.w, *height_mm = n.h, true;
    size_t x = v.find('x');
    if (x == std::string::npos) return false;
    double w, h;
    std::string_view sv(v);
    if (!parse_real(sv.substr(0, x), kMinPageMm, kMaxPageMm, &w)) return false;
    if (!parse_real(sv.substr(x + 1), kMinPageMm, kMaxPageMm, &h)) return false;
    *width_mm = w;
    *height_mm = h;
    return true;
}

ConfigResult ParseVirtualConfig(std::string_view text) {
    ConfigResult result;
    int line_no = 0;
    while (!text.empty()) {
        size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        ++line_no;
        line = trim(line);
        // Comments are whole lines, so that '#' may appear in file names.
        if (line.empty() || line.front() == '#') continue;
        size_t eq = line.find('=');
        std::string key = eq == std::string_view::npos ? "" : lower(trim(line.substr(0, eq)));
        if (key.empty() || !apply_key(key, line.substr(eq + 1), result.config)) {
            std::ostringstream msg;
            msg << "line " << line_no << ": ignored '" << line << "'";
            result.errors.push_back(msg.str());
        }
    }
    return result;
}

ConfigResult LoadVirtualConfig(std::string* source_text) {
    const char* path = std::getenv("LUMTWAIN_VIRTUAL");
    if (!path || !*path) {
        if (source_text) *source_text = "<unset>";
        return {};
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (source_text) *source_text = std::string("<missing>") + path;
        ConfigResult r;
        r.errors.push_back(std::string("cannot read ") + path);
        return r;
    }
    std::string text(kMaxConfigBytes, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    if (source_text) *source_text = std::string(path) + '\n' + text;
    return ParseVirtualConfig(text);
}

}  // namespace lumtwain
