// HTTP requests: a libcurl multi transfer per request, pumped by the calling thread. The
// body goes straight into the caller's buffer; bytes of one libcurl callback that do not fit
// wait in a small spill buffer, and the transfer pauses until the next read.
#include <cstring>

#include "platform/win/file.h"
#include "platform/wininet/wininet_p.h"

namespace wininet {

namespace {

using Clock = std::chrono::steady_clock;

// How long one wait for the sockets may last before the transfer is looked at again.
constexpr int kPollMs = 100;
constexpr long kMaxRedirects = 10;

size_t on_header(char* data, size_t size, size_t count, void* user) {
    auto& r = *static_cast<Request*>(user);
    size_t length = size * count;
    r.head.add_line(std::string_view(data, length));
    r.last_activity = Clock::now();
    return length;
}

size_t on_body(char* data, size_t size, size_t count, void* user) {
    auto& r = *static_cast<Request*>(user);
    size_t length = size * count;
    r.last_activity = Clock::now();
    if (!r.target || r.got == r.want || r.spill_pos < r.spill.size()) {
        r.paused = true;
        return CURL_WRITEFUNC_PAUSE;  // libcurl keeps these bytes and offers them again
    }
    size_t take = std::min(length, r.want - r.got);
    std::memcpy(r.target + r.got, data, take);
    r.got += take;
    if (take < length) {
        r.spill.assign(data + take, data + length);
        r.spill_pos = 0;
    }
    return length;
}

int on_debug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    if (type != CURLINFO_HEADER_OUT) return 0;
    auto& r = *static_cast<Request*>(user);
    // A new request (after a redirect) replaces the last one's head.
    if (r.sent_head.size() >= 4 && r.sent_head.compare(r.sent_head.size() - 4, 4, "\r\n\r\n") == 0)
        r.sent_head.clear();
    r.sent_head.append(data, size);
    return 0;
}

bool is_followed_redirect(const Request& r) {
    if (r.flags & INTERNET_FLAG_NO_AUTO_REDIRECT) return false;
    int s = r.head.status();
    bool redirect = s == 300 || s == 301 || s == 302 || s == 303 || s == 307 || s == 308;
    return redirect && r.head.find("Location");
}

// The final response's head has arrived: not an interim one, not a redirect being followed.
bool head_ready(const Request& r) {
    return r.head.complete() && r.head.status() >= 200 && !is_followed_redirect(r);
}

void collect_done(Request& r) {
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(r.multi.get(), &left))
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == r.easy.get()) {
            r.done = true;
            r.result = msg->data.result;
        }
}

// Drives the transfer until `ready()` holds or the transfer has ended.
template <class Ready>
void pump(Request& r, const Timeouts& t, Ready ready) {
    // libcurl's own timeouts end a silent transfer; this bounds the loop should they not.
    auto limit = std::chrono::milliseconds(t.connect_ms) + std::chrono::milliseconds(t.receive_ms) +
                 std::chrono::seconds(5);
    while (!r.done && !ready()) {
        int running = 0;
        if (curl_multi_perform(r.multi.get(), &running) != CURLM_OK) {
            r.done = true;
            r.result = CURLE_OUT_OF_MEMORY;
        }
        collect_done(r);
        // Paused here means the body began: never wait on a paused transfer.
        if (r.done || ready() || r.paused) break;
        if (Clock::now() - r.last_activity > limit) {
            r.done = true;
            r.result = CURLE_OPERATION_TIMEDOUT;
            break;
        }
        curl_multi_poll(r.multi.get(), nullptr, 0, kPollMs, nullptr);
    }
}

DWORD request_error(const Request& r) {
    bool secure = r.flags & INTERNET_FLAG_SECURE;
    if (r.result == CURLE_UNSUPPORTED_PROTOCOL && secure && r.head.find("Location"))
        return ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR;
    return error_from_curl(r.result, r.easy.get(), false, r.error);
}

bool set_method(Request& r, const void* optional, DWORD optional_length) {
    CURL* e = r.easy.get();
    r.body.clear();
    if (optional) r.body.assign(static_cast<const char*>(optional), optional_length);
    if (r.verb == "GET" && r.body.empty()) return curl_easy_setopt(e, CURLOPT_HTTPGET, 1L) == 0;
    if (r.verb == "HEAD") return curl_easy_setopt(e, CURLOPT_NOBODY, 1L) == 0;
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(r.body.size()));
    curl_easy_setopt(e, CURLOPT_POSTFIELDS, r.body.data());
    if (r.verb != "POST") curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, r.verb.c_str());
    return true;
}

// Extra header lines of HttpSendRequestA, CR LF or LF separated.
bool add_headers(Request& r, std::string_view extra) {
    curl_slist* list = nullptr;
    auto add = [&](const std::string& line) {
        curl_slist* next = curl_slist_append(list, line.c_str());
        if (!next) return false;
        list = next;
        return true;
    };
    bool ok = r.accept.empty() || add("Accept: " + r.accept);
    while (ok && !extra.empty()) {
        size_t end = extra.find('\n');
        std::string_view line = chomp(extra.substr(0, end));
        extra.remove_prefix(end == std::string_view::npos ? extra.size() : end + 1);
        if (!line.empty()) ok = add(std::string(line));
    }
    r.header_list.reset(list);
    return ok;
}

void configure(Request& r, const Timeouts& t) {
    CURL* e = r.easy.get();
    curl_easy_reset(e);
    apply_common(e, t, r.session, r.error);
    curl_easy_setopt(e, CURLOPT_URL, r.url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    bool secure = r.flags & INTERNET_FLAG_SECURE;
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION,
                     (r.flags & INTERNET_FLAG_NO_AUTO_REDIRECT) ? 0L : 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION,
                     r.http10 ? long(CURL_HTTP_VERSION_1_0) : long(CURL_HTTP_VERSION_1_1));
    if (!r.session.agent.empty()) curl_easy_setopt(e, CURLOPT_USERAGENT, r.session.agent.c_str());
    if (!r.referrer.empty()) curl_easy_setopt(e, CURLOPT_REFERER, r.referrer.c_str());
    if (r.flags & INTERNET_FLAG_IGNORE_CERT_CN_INVALID)
        curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, on_header);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &r);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, on_body);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &r);
    curl_easy_setopt(e, CURLOPT_DEBUGFUNCTION, on_debug);
    curl_easy_setopt(e, CURLOPT_DEBUGDATA, &r);
    curl_easy_setopt(e, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, r.header_list.get());
}

void restart(Request& r) {
    if (r.attached) curl_multi_remove_handle(r.multi.get(), r.easy.get());
    r.attached = false;
    r.sent = r.done = r.paused = false;
    r.result = CURLE_OK;
    r.sent_head.clear();
    r.head.clear();
    r.target = nullptr;
    r.want = r.got = 0;
    r.spill.clear();
    r.spill_pos = 0;
    r.error[0] = 0;
}

size_t take_spill(Request& r, uint8_t* out, size_t size) {
    size_t n = std::min(size, r.spill.size() - r.spill_pos);
    if (n == 0) return 0;
    std::memcpy(out, r.spill.data() + r.spill_pos, n);
    r.spill_pos += n;
    if (r.spill_pos == r.spill.size()) {
        r.spill.clear();
        r.spill_pos = 0;
    }
    return n;
}

}  // namespace

}  // namespace wininet

using namespace wininet;

HINTERNET HttpOpenRequestA(HINTERNET connect, const char* verb, const char* object,
                           const char* version, const char* referrer, const char** accept_types,
                           DWORD flags, DWORD_PTR context) {
    InternetObject* parent = find(connect, Kind::Connection);
    if (!parent) return 0;
    auto& c = std::get<Connection>(parent->value);
    if (c.service != INTERNET_SERVICE_HTTP)
        return fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE, "not an HTTP connection", 0u);
    auto holder = std::make_unique<InternetObject>();
    holder->timeouts = parent->timeouts;
    auto& r = holder->value.emplace<Request>();
    r.verb = verb && *verb ? verb : "GET";
    r.flags = flags;
    r.http10 = version && iequals(version, "HTTP/1.0");
    r.session = c.session;
    r.referrer = referrer ? referrer : "";
    for (const char** a = accept_types; a && *a; ++a)
        r.accept += (r.accept.empty() ? "" : ", ") + std::string(*a);
    bool secure = flags & INTERNET_FLAG_SECURE;
    INTERNET_PORT port = c.port   ? c.port
                         : secure ? INTERNET_DEFAULT_HTTPS_PORT
                                  : INTERNET_DEFAULT_HTTP_PORT;
    std::string target = object && *object ? object : "/";
    if (target.front() != '/') target.insert(0, "/");
    r.url = std::string(secure ? "https://" : "http://") + c.host + ":" + std::to_string(port) +
            escape_target(target);
    r.easy.reset(curl_easy_init());
    r.multi.reset(curl_multi_init());
    if (!r.easy || !r.multi) return fail(ERROR_NOT_ENOUGH_MEMORY, "libcurl: out of memory", 0u);
    return insert(std::move(holder), connect);
}

BOOL HttpSendRequestA(HINTERNET request, const char* headers, DWORD headers_length,
                      const void* optional, DWORD optional_length) {
    InternetObject* object = find(request, Kind::Request);
    if (!object) return FALSE;
    auto& r = std::get<Request>(object->value);
    restart(r);
    std::string_view extra;
    if (headers)
        extra = headers_length == DWORD(-1) ? std::string_view(headers)
                                            : std::string_view(headers, headers_length);
    if (!add_headers(r, extra))
        return fail(ERROR_NOT_ENOUGH_MEMORY, "libcurl: out of memory", FALSE);
    configure(r, object->timeouts);
    if (!set_method(r, optional, optional_length) ||
        curl_multi_add_handle(r.multi.get(), r.easy.get()) != CURLM_OK)
        return fail(ERROR_INTERNET_INTERNAL_ERROR, "libcurl did not take the request", FALSE);
    r.attached = true;
    r.sent = true;
    r.last_activity = Clock::now();
    pump(r, object->timeouts, [&] { return head_ready(r); });
    if (head_ready(r) || (r.done && r.result == CURLE_OK && r.head.complete())) return TRUE;
    if (r.done && r.result != CURLE_OK)
        return fail(request_error(r), curl_detail(r.result, r.error), FALSE);
    return fail(ERROR_HTTP_INVALID_SERVER_RESPONSE, "the server sent no response head", FALSE);
}

BOOL InternetReadFile(HINTERNET file, void* buffer, DWORD to_read, DWORD* read) {
    if (read) *read = 0;
    InternetObject* object = find(file, Kind::Request);
    if (!object) return FALSE;
    auto& r = std::get<Request>(object->value);
    if (!read || (!buffer && to_read))
        return fail(ERROR_INVALID_PARAMETER, "no buffer to read into", FALSE);
    if (!r.sent || !r.head.complete())
        return fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE, "the request was not sent", FALSE);
    auto* out = static_cast<uint8_t*>(buffer);
    size_t got = take_spill(r, out, to_read);
    if (got < to_read && !r.done) {
        r.target = out;
        r.want = to_read;
        r.got = got;
        r.last_activity = Clock::now();
        if (r.paused) {
            r.paused = false;
            curl_easy_pause(r.easy.get(), CURLPAUSE_CONT);  // may deliver bytes right here
        }
        pump(r, object->timeouts, [&] { return r.got == r.want; });
        got = r.got;
        r.target = nullptr;
        r.want = r.got = 0;
    }
    *read = DWORD(got);
    if (got > 0 || !r.done || r.result == CURLE_OK) return TRUE;
    return fail(request_error(r), curl_detail(r.result, r.error), FALSE);
}
