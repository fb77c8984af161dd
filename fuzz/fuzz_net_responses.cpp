// What the WinInet stand-in reads of servers itself: HTTP heads (as libcurl hands them over,
// line by line) and FTP replies. The first byte picks the reader; the rest are the lines.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/wininet/responses.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    bool ftp = data[0] & 1;
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    wininet::HttpHead head;
    wininet::FtpReplies replies;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line =
            text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
        text.remove_prefix(line.size());
        if (ftp)
            replies.add_line(line);
        else
            head.add_line(line);
    }
    if (ftp) return int(replies.last_text().size() & 0) + (replies.last_code() < 0);
    for (const char* name : {"Content-Length", "content-type", "Location", ""}) {
        for (size_t i = 0; i < 3; ++i) (void)head.find(name, i);
        (void)head.number(name);
    }
    std::string raw = head.raw("\r\n");
    return int(raw.size() & 0) +
           (head.status() != 0 && (head.status() < 100 || head.status() > 999));
}
