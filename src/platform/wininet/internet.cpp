// Root and connection handles, closing, options, and what every transfer shares.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <mutex>

#include "platform/win/win.h"
#include "platform/wininet/wininet_p.h"

namespace wininet {

namespace {

std::atomic<DWORD> g_connect_ms{Timeouts{}.connect_ms};
std::atomic<DWORD> g_send_ms{Timeouts{}.send_ms};
std::atomic<DWORD> g_receive_ms{Timeouts{}.receive_ms};

std::atomic<DWORD>* process_timeout(DWORD option) {
    switch (option) {
        case INTERNET_OPTION_CONNECT_TIMEOUT:
            return &g_connect_ms;
        case INTERNET_OPTION_SEND_TIMEOUT:
            return &g_send_ms;
        case INTERNET_OPTION_RECEIVE_TIMEOUT:
            return &g_receive_ms;
        default:
            return nullptr;
    }
}

DWORD* handle_timeout(Timeouts& t, DWORD option) {
    switch (option) {
        case INTERNET_OPTION_CONNECT_TIMEOUT:
            return &t.connect_ms;
        case INTERNET_OPTION_SEND_TIMEOUT:
            return &t.send_ms;
        case INTERNET_OPTION_RECEIVE_TIMEOUT:
            return &t.receive_ms;
        default:
            return nullptr;
    }
}

// Closes `handle` and everything below it; the parent's list is the caller's business.
void close_tree(HINTERNET handle) {
    std::unique_ptr<InternetObject> object = table().take(handle);
    if (!object) return;
    for (HINTERNET child : object->children) close_tree(child);
}

std::string text_or_empty(const char* s) {
    return s ? s : "";
}

bool valid_host_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

bool valid_ipv6(std::string_view s) {
    if (s.empty() || s.size() > 45) return false;
    for (char c : s)
        if (!std::isxdigit((unsigned char)c) && c != ':' && c != '.') return false;
    return true;
}

}  // namespace

Timeouts process_timeouts() {
    return {g_connect_ms.load(), g_send_ms.load(), g_receive_ms.load()};
}

Request::~Request() {
    if (attached) curl_multi_remove_handle(multi.get(), easy.get());
}

platform::HandleTable<InternetObject>& table() {
    return platform::thread_table<InternetObject>(platform::HandleKind::Internet);
}

InternetObject* find(HINTERNET handle, Kind kind) {
    InternetObject* object = table().find(handle);
    if (!object) return fail(ERROR_INVALID_HANDLE, "no such internet handle", nullptr);
    if (object->kind() != kind)
        return fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE, "wrong kind of internet handle", nullptr);
    return object;
}

HINTERNET insert(std::unique_ptr<InternetObject> object, HINTERNET parent) {
    object->parent = parent;
    HINTERNET handle = table().insert(std::move(object));
    if (handle == 0) return fail(ERROR_NOT_ENOUGH_MEMORY, "no internet handle free", 0u);
    if (InternetObject* p = table().find(parent)) p->children.push_back(handle);
    return handle;
}

void set_failure(DWORD code, const std::string& detail) {
    SetLastError(code);
    win::SetErrorDetail(detail);
}

bool global_init() {
    static std::once_flag once;
    static CURLcode result = CURLE_FAILED_INIT;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    return result == CURLE_OK;
}

std::string curl_detail(CURLcode code, const char* error_buffer) {
    if (error_buffer && *error_buffer) return error_buffer;
    return curl_easy_strerror(code);
}

void apply_common(CURL* easy, const Timeouts& t, const Session& session, char* error) {
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(t.connect_ms));
    // A server that sends nothing for the receive timeout ends the transfer; a slow one that
    // keeps sending does not.
    long idle_s = long((std::max<DWORD>(t.receive_ms, 1000) + 999) / 1000);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, idle_s);
    curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, idle_s);
    curl_easy_setopt(easy, CURLOPT_ACCEPTTIMEOUT_MS, long(t.connect_ms));
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    std::string ca_file = win::GetEnvironmentString("LUMTWAIN_CA_FILE");
    std::string ca_path = win::GetEnvironmentString("LUMTWAIN_CA_PATH");
    if (!ca_file.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, ca_file.c_str());
    if (!ca_path.empty()) curl_easy_setopt(easy, CURLOPT_CAPATH, ca_path.c_str());
    if (!ca_file.empty() && ca_path.empty()) curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    if (session.access == INTERNET_OPEN_TYPE_DIRECT) {
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
    } else if (session.access == INTERNET_OPEN_TYPE_PROXY) {
        curl_easy_setopt(easy, CURLOPT_PROXY, session.proxy.c_str());
        curl_easy_setopt(easy, CURLOPT_NOPROXY, session.bypass.c_str());
    }
}

std::string url_host(const char* server) {
    std::string host = text_or_empty(server);
    if (host.empty() || host.size() > 253) return "";
    if (host.front() == '[' && host.back() == ']')
        return valid_ipv6(std::string_view(host).substr(1, host.size() - 2)) ? host : "";
    if (host.find(':') != std::string::npos) return valid_ipv6(host) ? "[" + host + "]" : "";
    for (char c : host)
        if (!valid_host_char(c)) return "";
    return host;
}

std::string escape_target(std::string_view path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : path) {
        unsigned char c = (unsigned char)ch;
        bool keep = c > 0x20 && c < 0x7F && c != '"' && c != '<' && c != '>' && c != '\\' &&
                    c != '^' && c != '`' && c != '{' && c != '|' && c != '}' && c != '#';
        if (keep) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace wininet

using namespace wininet;

HINTERNET InternetOpenA(const char* agent, DWORD access_type, const char* proxy,
                        const char* proxy_bypass, DWORD flags) {
    if (access_type != INTERNET_OPEN_TYPE_PRECONFIG && access_type != INTERNET_OPEN_TYPE_DIRECT &&
        access_type != INTERNET_OPEN_TYPE_PROXY)
        return fail(ERROR_INVALID_PARAMETER, "unknown proxy access type", 0u);
    if (flags & INTERNET_FLAG_ASYNC)
        return fail(ERROR_INVALID_PARAMETER, "asynchronous internet handles are not supported", 0u);
    if (!global_init()) return fail(ERROR_INTERNET_INTERNAL_ERROR, "libcurl did not start", 0u);
    auto object = std::make_unique<InternetObject>();
    object->timeouts = process_timeouts();
    Session session{text_or_empty(agent), access_type, text_or_empty(proxy), ""};
    // The platform's bypass list separates entries with blanks or ';'; "<local>" is any
    // plain host name, of which the loopback names are the ones that matter here.
    std::string bypass = text_or_empty(proxy_bypass), entry;
    for (size_t i = 0; i <= bypass.size(); ++i) {
        if (i < bypass.size() && bypass[i] != ' ' && bypass[i] != ';') {
            entry += bypass[i];
            continue;
        }
        if (entry == "<local>") entry = "localhost,127.0.0.1,::1";
        if (!entry.empty()) session.bypass += (session.bypass.empty() ? "" : ",") + entry;
        entry.clear();
    }
    object->value = std::move(session);
    return insert(std::move(object), 0);
}

HINTERNET InternetConnectA(HINTERNET internet, const char* server, INTERNET_PORT port,
                           const char* user, const char* password, DWORD service, DWORD flags,
                           DWORD_PTR context) {
    InternetObject* root = find(internet, Kind::Session);
    if (!root) return 0;
    if (service != INTERNET_SERVICE_HTTP && service != INTERNET_SERVICE_FTP)
        return fail(ERROR_INTERNET_PROTOCOL_NOT_FOUND, "only HTTP and FTP are supported", 0u);
    Connection c;
    c.service = service;
    c.host = url_host(server);
    if (c.host.empty())
        return fail(ERROR_INTERNET_INVALID_URL,
                    "not a host name: \"" + text_or_empty(server) + "\"", 0u);
    c.port = port;
    c.user = text_or_empty(user);
    c.password = text_or_empty(password);
    c.flags = flags;
    c.session = std::get<Session>(root->value);
    auto object = std::make_unique<InternetObject>();
    object->timeouts = root->timeouts;
    if (service == INTERNET_SERVICE_FTP) {
        if (!ftp_login(c, object->timeouts)) return 0;
    }
    object->value = std::move(c);
    return insert(std::move(object), internet);
}

BOOL InternetCloseHandle(HINTERNET handle) {
    InternetObject* object = table().find(handle);
    if (!object) return fail(ERROR_INVALID_HANDLE, "no such internet handle", FALSE);
    if (InternetObject* parent = table().find(object->parent)) std::erase(parent->children, handle);
    close_tree(handle);
    return TRUE;
}

BOOL InternetSetOptionA(HINTERNET handle, DWORD option, const void* buffer, DWORD length) {
    if (!buffer) return fail(ERROR_INVALID_PARAMETER, "no option value", FALSE);
    if (length < sizeof(DWORD) && process_timeout(option))
        return fail(ERROR_INTERNET_BAD_OPTION_LENGTH, "a timeout is a DWORD", FALSE);
    DWORD value = 0;
    if (process_timeout(option)) std::memcpy(&value, buffer, sizeof value);
    if (handle == 0) {
        std::atomic<DWORD>* slot = process_timeout(option);
        if (!slot) return fail(ERROR_INTERNET_INVALID_OPTION, "option not supported", FALSE);
        slot->store(value);
        return TRUE;
    }
    InternetObject* object = table().find(handle);
    if (!object) return fail(ERROR_INVALID_HANDLE, "no such internet handle", FALSE);
    DWORD* slot = handle_timeout(object->timeouts, option);
    if (!slot) return fail(ERROR_INTERNET_INVALID_OPTION, "option not supported", FALSE);
    *slot = value;
    return TRUE;
}
