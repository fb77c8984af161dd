// The stand-in's handle objects and the libcurl plumbing its files share.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "platform/context.h"
#include "platform/wininet/responses.h"
#include "platform/wininet/wininet.h"

namespace wininet {

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyPtr = std::unique_ptr<CURL, EasyDeleter>;
using MultiPtr = std::unique_ptr<CURLM, MultiDeleter>;
using SlistPtr = std::unique_ptr<curl_slist, SlistDeleter>;

struct Timeouts {
    DWORD connect_ms = 30000;
    DWORD send_ms = 60000;
    DWORD receive_ms = 60000;
};

// What a new root handle starts with (InternetSetOptionA on handle 0 changes it).
Timeouts process_timeouts();

struct Session {
    std::string agent;
    DWORD access = INTERNET_OPEN_TYPE_PRECONFIG;
    std::string proxy;
    std::string bypass;
};

struct Connection {
    DWORD service = 0;
    std::string host;  // as it goes into a URL (an IPv6 address in brackets)
    INTERNET_PORT port = 0;
    std::string user;
    std::string password;
    DWORD flags = 0;
    Session session;  // the root's settings, copied so that the connection stands alone
    EasyPtr ftp;      // the easy handle of an FTP connection's transfers
};

// An HTTP request and its transfer, pumped by the calling thread through a multi handle.
struct Request {
    Request() = default;
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;
    ~Request();

    std::string url;
    std::string verb;
    DWORD flags = 0;
    bool http10 = false;
    Session session;
    std::string referrer;
    std::string accept;

    EasyPtr easy;
    MultiPtr multi;
    bool attached = false;  // easy is in multi
    SlistPtr header_list;
    std::string body;  // what HttpSendRequestA was given to send
    char error[CURL_ERROR_SIZE] = {};

    // The transfer.
    bool sent = false;
    bool done = false;
    CURLcode result = CURLE_OK;
    std::string sent_head;  // the request head as libcurl sent it
    HttpHead head;          // the response head
    bool paused = false;
    uint8_t* target = nullptr;  // the caller's buffer during InternetReadFile
    size_t want = 0;
    size_t got = 0;
    std::vector<uint8_t> spill;  // bytes of the last callback that did not fit the caller's
    size_t spill_pos = 0;
    std::chrono::steady_clock::time_point last_activity;
};

enum class Kind { Session, Connection, Request };

struct InternetObject {
    HINTERNET parent = 0;
    std::vector<HINTERNET> children;
    Timeouts timeouts;
    std::variant<Session, Connection, Request> value;

    Kind kind() const { return Kind(value.index()); }
};

platform::HandleTable<InternetObject>& table();
// The object of `handle` of `kind`; null, with the last error set, when there is none.
InternetObject* find(HINTERNET handle, Kind kind);
// Registers `object` under `parent` (0 for a root); 0 when the table is full.
HINTERNET insert(std::unique_ptr<InternetObject> object, HINTERNET parent);

// Sets the last error and its detail in words.
void set_failure(DWORD code, const std::string& detail);
// The same, returning `result`.
template <class R>
R fail(DWORD code, const std::string& detail, R result) {
    set_failure(code, detail);
    return result;
}

// libcurl's own initialisation, once per process.
bool global_init();
// The WinInet code for a libcurl result of a transfer on `easy`, whose error buffer holds
// `detail`.
DWORD error_from_curl(CURLcode code, CURL* easy, bool ftp, const char* detail);
// The reason in words: libcurl's message, or its text for the code.
std::string curl_detail(CURLcode code, const char* error_buffer);

// Options every transfer shares: timeouts, certificate store, proxy, no signals.
void apply_common(CURL* easy, const Timeouts& timeouts, const Session& session, char* error);

// Connects and logs in to the FTP server of `c`, keeping the control connection in c.ftp.
bool ftp_login(Connection& c, const Timeouts& timeouts);

// A host name as it goes into a URL, or empty when it cannot be one.
std::string url_host(const char* server);
// Text percent-encoded where a URL does not allow it as it stands (for a request target).
std::string escape_target(std::string_view path);

}  // namespace wininet
