// HttpQueryInfoA and InternetQueryOptionA: what a request's heads and a handle's settings say.
#include <cstring>
#include <optional>

#include "platform/win/file.h"
#include "platform/wininet/wininet_p.h"

namespace wininet {

namespace {

struct FieldName {
    DWORD info;
    const char* name;
};

constexpr FieldName kFields[] = {
    {HTTP_QUERY_CONTENT_TYPE, "Content-Type"},
    {HTTP_QUERY_CONTENT_LENGTH, "Content-Length"},
    {HTTP_QUERY_DATE, "Date"},
    {HTTP_QUERY_LAST_MODIFIED, "Last-Modified"},
    {23, "Connection"},
    {24, "Accept"},
    {HTTP_QUERY_CONTENT_ENCODING, "Content-Encoding"},
    {HTTP_QUERY_LOCATION, "Location"},
    {HTTP_QUERY_SERVER, "Server"},
    {HTTP_QUERY_USER_AGENT, "User-Agent"},
    {HTTP_QUERY_ETAG, "ETag"},
    {HTTP_QUERY_HOST, "Host"},
    {HTTP_QUERY_TRANSFER_ENCODING, "Transfer-Encoding"},
};

const char* field_name(DWORD info) {
    for (const auto& f : kFields)
        if (f.info == info) return f.name;
    return nullptr;
}

std::optional<uint32_t> parse_number(std::string_view text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + uint64_t(c - '0');
    }
    if (value > UINT32_MAX) return std::nullopt;
    return uint32_t(value);
}

// The request head as it was sent, parsed like a response head.
HttpHead sent_head(const Request& r) {
    HttpHead head;
    std::string_view text = r.sent_head;
    while (!text.empty()) {
        size_t end = text.find('\n');
        head.add_line(text.substr(0, end == std::string_view::npos ? text.size() : end + 1));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return head;
}

// The text of a query, or empty with the last error set.
std::optional<std::string> select(const HttpHead& head, bool of_request, DWORD info,
                                  std::string_view custom, DWORD* index) {
    DWORD i = index ? *index : 0;
    auto not_found = [] {
        return fail(ERROR_HTTP_HEADER_NOT_FOUND, "no such header", std::optional<std::string>());
    };
    switch (info) {
        case HTTP_QUERY_STATUS_CODE:
            if (of_request || head.status() == 0) return not_found();
            return std::to_string(head.status());
        case HTTP_QUERY_STATUS_TEXT:
            return of_request ? not_found() : head.reason();
        case HTTP_QUERY_VERSION: {
            if (!of_request) return head.version();
            size_t sp = head.start_line().rfind(' ');
            return sp == std::string::npos ? not_found() : head.start_line().substr(sp + 1);
        }
        case HTTP_QUERY_RAW_HEADERS:
            return head.raw(std::string_view("\0", 1));
        case HTTP_QUERY_RAW_HEADERS_CRLF:
            return head.raw("\r\n");
        default:
            break;
    }
    std::string name = info == HTTP_QUERY_CUSTOM ? std::string(custom) : "";
    if (info != HTTP_QUERY_CUSTOM) {
        const char* known = field_name(info);
        if (!known)
            return fail(ERROR_HTTP_INVALID_QUERY_REQUEST, "header level not supported",
                        std::optional<std::string>());
        name = known;
    }
    const std::string* value = head.find(name, i);
    if (!value) return not_found();
    if (index) *index = i + 1;
    return *value;
}

BOOL copy_out(const std::string& text, void* buffer, DWORD* length) {
    if (!buffer || *length < text.size() + 1) {
        *length = DWORD(text.size() + 1);
        return fail(ERROR_INSUFFICIENT_BUFFER, "buffer too small", FALSE);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    *length = DWORD(text.size());
    return TRUE;
}

BOOL copy_number(uint32_t value, void* buffer, DWORD* length) {
    if (!buffer || *length < sizeof value) {
        *length = sizeof value;
        return fail(ERROR_INSUFFICIENT_BUFFER, "buffer too small", FALSE);
    }
    std::memcpy(buffer, &value, sizeof value);
    *length = sizeof value;
    return TRUE;
}

DWORD timeout_of(const Timeouts& t, DWORD option) {
    return option == INTERNET_OPTION_CONNECT_TIMEOUT ? t.connect_ms
           : option == INTERNET_OPTION_SEND_TIMEOUT  ? t.send_ms
                                                     : t.receive_ms;
}

bool is_timeout(DWORD option) {
    return option == INTERNET_OPTION_CONNECT_TIMEOUT || option == INTERNET_OPTION_SEND_TIMEOUT ||
           option == INTERNET_OPTION_RECEIVE_TIMEOUT;
}

DWORD handle_type(const InternetObject& o) {
    switch (o.kind()) {
        case Kind::Session:
            return INTERNET_HANDLE_TYPE_INTERNET;
        case Kind::Connection:
            return std::get<Connection>(o.value).service == INTERNET_SERVICE_FTP
                       ? INTERNET_HANDLE_TYPE_CONNECT_FTP
                       : INTERNET_HANDLE_TYPE_CONNECT_HTTP;
        case Kind::Request:
            return INTERNET_HANDLE_TYPE_HTTP_REQUEST;
    }
    return 0;
}

}  // namespace

}  // namespace wininet

using namespace wininet;

BOOL HttpQueryInfoA(HINTERNET request, DWORD info_level, void* buffer, DWORD* length,
                    DWORD* index) {
    InternetObject* object = find(request, Kind::Request);
    if (!object) return FALSE;
    const auto& r = std::get<Request>(object->value);
    if (!length) return fail(ERROR_INVALID_PARAMETER, "no buffer length", FALSE);
    if (info_level & HTTP_QUERY_FLAG_SYSTEMTIME)
        return fail(ERROR_HTTP_INVALID_QUERY_REQUEST, "dates are not converted", FALSE);
    bool of_request = info_level & HTTP_QUERY_FLAG_REQUEST_HEADERS;
    if (!r.sent || (!of_request && !r.head.complete()))
        return fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE, "the request was not sent", FALSE);
    DWORD info = info_level & 0xFFFF;
    std::string custom;
    if (info == HTTP_QUERY_CUSTOM && buffer)
        custom.assign(static_cast<const char*>(buffer),
                      strnlen(static_cast<const char*>(buffer), *length));
    HttpHead request_head = of_request ? sent_head(r) : HttpHead();
    const HttpHead& head = of_request ? request_head : r.head;
    if (info_level & HTTP_QUERY_FLAG_NUMBER) {
        std::optional<uint32_t> number;
        if (info == HTTP_QUERY_CONTENT_LENGTH && !index) {
            if (!head.find("Content-Length"))
                return fail(ERROR_HTTP_HEADER_NOT_FOUND, "no Content-Length header", FALSE);
            number = head.number("Content-Length");  // repeated lengths must agree
        } else {
            std::optional<std::string> text = select(head, of_request, info, custom, index);
            if (!text) return FALSE;
            number = parse_number(*text);
        }
        if (!number) return fail(ERROR_HTTP_INVALID_HEADER, "the header is not a number", FALSE);
        return copy_number(*number, buffer, length);
    }
    std::optional<std::string> text = select(head, of_request, info, custom, index);
    return text ? copy_out(*text, buffer, length) : FALSE;
}

BOOL InternetQueryOptionA(HINTERNET handle, DWORD option, void* buffer, DWORD* length) {
    if (!length) return fail(ERROR_INVALID_PARAMETER, "no buffer length", FALSE);
    if (handle == 0) {
        if (!is_timeout(option)) return fail(ERROR_INTERNET_INVALID_OPTION, "option", FALSE);
        return copy_number(timeout_of(process_timeouts(), option), buffer, length);
    }
    InternetObject* object = table().find(handle);
    if (!object) return fail(ERROR_INVALID_HANDLE, "no such internet handle", FALSE);
    if (is_timeout(option))
        return copy_number(timeout_of(object->timeouts, option), buffer, length);
    if (option == INTERNET_OPTION_HANDLE_TYPE)
        return copy_number(handle_type(*object), buffer, length);
    if (option == INTERNET_OPTION_URL && object->kind() == Kind::Request)
        return copy_out(std::get<Request>(object->value).url, buffer, length);
    return fail(ERROR_INTERNET_INVALID_OPTION, "option not supported", FALSE);
}
