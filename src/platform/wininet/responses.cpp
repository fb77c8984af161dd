#include "platform/wininet/responses.h"

#include <cctype>

namespace wininet {

namespace {

// Keeps a hostile server from growing a head without bound (libcurl caps lines too).
constexpr size_t kMaxFields = 1000;
constexpr size_t kMaxReplyBytes = 64 * 1024;

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The reply code of an FTP line and whether it continues ('-'), or 0.
int reply_code(std::string_view line, bool* continues) {
    if (line.size() < 3 || !is_digit(line[0]) || !is_digit(line[1]) || !is_digit(line[2])) return 0;
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-') return 0;
    *continues = line.size() > 3 && line[3] == '-';
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

}  // namespace

std::string_view chomp(std::string_view line) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)b[i])) return false;
    return true;
}

void HttpHead::add_line(std::string_view line) {
    line = chomp(line);
    if (line.substr(0, 5) == "HTTP/") {
        clear();
        parse_start(line);
        return;
    }
    if (m_complete) return;
    if (line.empty()) {
        m_complete = !m_start.empty();
        return;
    }
    if (m_start.empty()) {  // a request head: its first line is the request line
        m_start.assign(line);
        return;
    }
    if (is_blank(line.front())) {  // an obsolete folded continuation of the last field
        if (!m_fields.empty()) {
            std::string& value = m_fields.back().second;
            value += ' ';
            value += trim(line);
        }
        return;
    }
    size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return;
    std::string_view name = line.substr(0, colon);
    if (is_blank(name.back())) return;  // "Name : value" is not a field
    if (m_fields.size() >= kMaxFields) return;
    m_fields.emplace_back(std::string(name), std::string(trim(line.substr(colon + 1))));
}

void HttpHead::parse_start(std::string_view line) {
    m_start.assign(line);
    size_t sp = line.find(' ');
    m_version.assign(line.substr(0, sp));
    if (sp == std::string_view::npos) return;
    std::string_view rest = line.substr(sp + 1);
    if (rest.size() < 3 || !is_digit(rest[0]) || !is_digit(rest[1]) || !is_digit(rest[2])) return;
    if (rest.size() > 3 && rest[3] != ' ') return;
    int code = (rest[0] - '0') * 100 + (rest[1] - '0') * 10 + (rest[2] - '0');
    if (code < 100) return;
    m_status = code;
    if (rest.size() > 4) m_reason.assign(rest.substr(4));
}

const std::string* HttpHead::find(std::string_view name, size_t index) const {
    for (const auto& [n, v] : m_fields)
        if (iequals(n, name) && index-- == 0) return &v;
    return nullptr;
}

std::optional<uint32_t> HttpHead::number(std::string_view name) const {
    std::optional<uint32_t> result;
    for (size_t i = 0;; ++i) {
        const std::string* text = find(name, i);
        if (!text) return result;
        if (text->empty()) return std::nullopt;
        uint64_t value = 0;
        for (char c : *text) {
            if (!is_digit(c)) return std::nullopt;
            value = value * 10 + uint64_t(c - '0');
            if (value > UINT32_MAX) return std::nullopt;
        }
        if (result && *result != value) return std::nullopt;
        result = uint32_t(value);
    }
}

std::string HttpHead::raw(std::string_view separator) const {
    std::string out = m_start;
    out += separator;
    for (const auto& [n, v] : m_fields) {
        out += n;
        out += ": ";
        out += v;
        out += separator;
    }
    out += separator;
    return out;
}

void FtpReplies::add_line(std::string_view line) {
    line = chomp(line);
    bool continues = false;
    int code = reply_code(line, &continues);
    if (m_pending_code != 0) {
        if (m_pending.size() + line.size() < kMaxReplyBytes) {
            m_pending += "\r\n";
            m_pending += line;
        }
        if (code == m_pending_code && !continues) {
            m_last_text = std::move(m_pending);
            m_last_code = code;
            m_pending.clear();
            m_pending_code = 0;
        }
        return;
    }
    if (code == 0) return;  // not a reply line
    if (continues) {
        m_pending.assign(line.substr(0, kMaxReplyBytes));
        m_pending_code = code;
        return;
    }
    m_last_text.assign(line.substr(0, kMaxReplyBytes));
    m_last_code = code;
}

}  // namespace wininet
