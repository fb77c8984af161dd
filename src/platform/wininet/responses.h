// What the stand-in reads of a server's bytes itself: the head of an HTTP message (status
// or request line and header fields, as libcurl hands them over line by line) and the
// replies of an FTP server. Both take any bytes; nothing here allocates more than the
// lines it was given.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wininet {

class HttpHead {
  public:
    // One line as received, with or without its CR LF. A line that starts with "HTTP/"
    // begins a new response (an interim or redirect response is replaced by the next one);
    // the empty line ends the head.
    void add_line(std::string_view line);
    void clear() { *this = HttpHead(); }

    bool complete() const { return m_complete; }
    // 100..999 from a well-formed status line, else 0.
    int status() const { return m_status; }
    const std::string& start_line() const { return m_start; }
    const std::string& version() const { return m_version; }
    const std::string& reason() const { return m_reason; }

    // The `index`-th field named `name` (case-insensitive), its value trimmed.
    const std::string* find(std::string_view name, size_t index = 0) const;
    // A field's value as a number: digits only, around blanks; empty when it has another
    // form or does not fit 32 bits. Repeated fields must agree.
    std::optional<uint32_t> number(std::string_view name) const;
    // The start line and fields, each followed by `separator`, and one more separator.
    std::string raw(std::string_view separator) const;
    size_t field_count() const { return m_fields.size(); }

  private:
    void parse_start(std::string_view line);

    std::string m_start;
    std::string m_version;
    std::string m_reason;
    int m_status = 0;
    std::vector<std::pair<std::string, std::string>> m_fields;
    bool m_complete = false;
};

// Replies of an FTP server: "nnn text" or a multi-line "nnn-text" ... "nnn text".
class FtpReplies {
  public:
    void add_line(std::string_view line);
    // The last complete reply (its lines joined with CR LF) and its code, 0 when none.
    const std::string& last_text() const { return m_last_text; }
    int last_code() const { return m_last_code; }

  private:
    std::string m_pending;  // lines of a multi-line reply still open
    int m_pending_code = 0;
    std::string m_last_text;
    int m_last_code = 0;
};

// A line without its CR LF (or LF).
std::string_view chomp(std::string_view line);
bool iequals(std::string_view a, std::string_view b);

}  // namespace wininet
