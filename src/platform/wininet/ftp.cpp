// FTP sessions: InternetConnectA logs in to check the server and the credentials; each
// transfer is then one blocking libcurl perform on the connection's easy handle.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/win/file.h"
#include "platform/wininet/wininet_p.h"

namespace wininet {

namespace {

struct LastReply {
    std::string text;
    DWORD code = 0;
};
LastReply& last_reply() {
    thread_local LastReply reply;
    return reply;
}

struct Transfer {
    FtpReplies replies;
    win::OutputFile* out = nullptr;  // download
    int in = -1;                     // upload
    char error[CURL_ERROR_SIZE] = {};
};

class Fd {
  public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

  private:
    int m_fd;
};

size_t on_reply(char* data, size_t size, size_t count, void* user) {
    std::string_view line(data, size * count);
    // The goodbye to the QUIT that ends every transfer says nothing about the transfer.
    if (line.substr(0, 4) != "221 ") static_cast<Transfer*>(user)->replies.add_line(line);
    return size * count;
}

size_t on_download(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    return t.out->Write(data, size * count) ? size * count : 0;
}

size_t on_upload(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    for (;;) {
        ssize_t n = ::read(t.in, data, size * count);
        if (n >= 0) return size_t(n);
        if (errno != EINTR) return CURL_READFUNC_ABORT;
    }
}

bool has_line_break(const std::string& s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos;
}

// The URL of a remote path: relative to the login folder, or absolute when it starts with "/".
std::string ftp_url(CURL* easy, const Connection& c, std::string_view path) {
    std::string url =
        "ftp://" + c.host + ":" + std::to_string(c.port ? c.port : INTERNET_DEFAULT_FTP_PORT) + "/";
    if (!path.empty() && path.front() == '/') {
        url += "%2F";
        path.remove_prefix(1);
    }
    while (true) {
        size_t slash = path.find('/');
        std::string_view part = path.substr(0, slash);
        char* escaped = curl_easy_escape(easy, part.data(), int(part.size()));
        if (!escaped) return "";
        url += escaped;
        curl_free(escaped);
        if (slash == std::string_view::npos) break;
        url += '/';
        path.remove_prefix(slash + 1);
    }
    return url;
}

void configure(Connection& c, const Timeouts& timeouts, Transfer& t, const std::string& url) {
    CURL* e = c.ftp.get();
    curl_easy_reset(e);  // keeps the live control connection
    apply_common(e, timeouts, c.session, t.error);
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "ftp");
    if (!c.user.empty() || !c.password.empty()) {
        curl_easy_setopt(e, CURLOPT_USERNAME, c.user.empty() ? "anonymous" : c.user.c_str());
        curl_easy_setopt(e, CURLOPT_PASSWORD, c.password.c_str());
    }
    // Active mode: the server connects back to the address of the control connection.
    if (!(c.flags & INTERNET_FLAG_PASSIVE)) curl_easy_setopt(e, CURLOPT_FTPPORT, "-");
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, on_reply);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &t);
    // Every transfer logs in on a connection of its own, closed (QUIT, within the timeouts)
    // when it ends: reusing one made libcurl stall for a second and reconnect when a passive
    // data connection followed an earlier transfer, and a login costs a few round trips.
    curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
}

// Runs the transfer configured on `c`; on failure the last error, its detail and the server's
// last reply are recorded.
bool perform(Connection& c, Transfer& t) {
    CURLcode result = curl_easy_perform(c.ftp.get());
    // Nothing of `t` may be reached once it is gone.
    curl_easy_reset(c.ftp.get());
    if (t.replies.last_code() != 0)
        last_reply() = LastReply{t.replies.last_text(), DWORD(t.replies.last_code())};
    if (result == CURLE_OK) return true;
    std::string detail = curl_detail(result, t.error);
    if (!t.replies.last_text().empty() && result != CURLE_OPERATION_TIMEDOUT)
        detail += " (the server said: " + t.replies.last_text() + ")";
    set_failure(error_from_curl(result, c.ftp.get(), true, t.error), detail);
    return false;
}

Connection* ftp_connection(HINTERNET connect, InternetObject** object) {
    *object = find(connect, Kind::Connection);
    if (!*object) return nullptr;
    auto& c = std::get<Connection>((*object)->value);
    if (c.service != INTERNET_SERVICE_FTP)
        return fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE, "not an FTP connection", nullptr);
    return &c;
}

bool prepare(Connection& c, const Timeouts& timeouts, Transfer& t, const char* remote) {
    if (!remote || !*remote) return fail(ERROR_INVALID_PARAMETER, "no remote file name", false);
    std::string url = ftp_url(c.ftp.get(), c, remote);
    if (url.empty()) return fail(ERROR_NOT_ENOUGH_MEMORY, "libcurl: out of memory", false);
    if (std::strchr(remote, '\r') || std::strchr(remote, '\n'))
        return fail(ERROR_INTERNET_INVALID_URL, "a line break in a remote file name", false);
    configure(c, timeouts, t, url);
    return true;
}

}  // namespace

bool ftp_login(Connection& c, const Timeouts& timeouts) {
    if (has_line_break(c.user))
        return fail(ERROR_INTERNET_INCORRECT_USER_NAME, "a line break in the user name", false);
    if (has_line_break(c.password))
        return fail(ERROR_INTERNET_INCORRECT_PASSWORD, "a line break in the password", false);
    c.ftp.reset(curl_easy_init());
    if (!c.ftp) return fail(ERROR_NOT_ENOUGH_MEMORY, "libcurl: out of memory", false);
    Transfer t;
    std::string url = ftp_url(c.ftp.get(), c, "");
    configure(c, timeouts, t, url);
    curl_easy_setopt(c.ftp.get(), CURLOPT_NOBODY, 1L);  // log in, list nothing
    return perform(c, t);
}

}  // namespace wininet

using namespace wininet;

BOOL FtpGetFileA(HINTERNET connect, const char* remote_file, const char* new_file,
                 BOOL fail_if_exists, DWORD attributes, DWORD flags, DWORD_PTR context) {
    InternetObject* object = nullptr;
    Connection* c = ftp_connection(connect, &object);
    if (!c) return FALSE;
    if (!new_file || !*new_file) return fail(ERROR_INVALID_PARAMETER, "no local file name", FALSE);
    Transfer t;
    if (!prepare(*c, object->timeouts, t, remote_file)) return FALSE;
    // The exclusive placeholder keeps a file that appears meanwhile from being replaced.
    bool placeholder = fail_if_exists && win::CreateNewFile(new_file);
    if (fail_if_exists && !placeholder) return FALSE;
    std::unique_ptr<win::OutputFile> out = win::CreateReplacement(new_file);
    bool ok = false;
    if (out) {
        t.out = out.get();
        CURL* e = c->ftp.get();
        curl_easy_setopt(e, CURLOPT_TRANSFERTEXT, (flags & 3) == FTP_TRANSFER_TYPE_ASCII ? 1L : 0L);
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, on_download);
        curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
        ok = perform(*c, t) && out->Commit();
    }
    if (!ok && placeholder) {
        DWORD error = GetLastError();
        std::string detail = win::GetErrorDetail();
        DeleteFileA(new_file);
        set_failure(error, detail);
    }
    return ok ? TRUE : FALSE;
}

BOOL FtpPutFileA(HINTERNET connect, const char* local_file, const char* new_remote_file,
                 DWORD flags, DWORD_PTR context) {
    InternetObject* object = nullptr;
    Connection* c = ftp_connection(connect, &object);
    if (!c) return FALSE;
    if (!local_file || !*local_file)
        return fail(ERROR_INVALID_PARAMETER, "no local file name", FALSE);
    Fd in(::open(local_file, O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (in.get() < 0 || ::fstat(in.get(), &st) != 0) {
        win::SetLastErrorFromErrno(errno, "open", local_file);
        return FALSE;
    }
    if (!S_ISREG(st.st_mode))
        return fail(ERROR_ACCESS_DENIED, "not a file: " + std::string(local_file), FALSE);
    Transfer t;
    if (!prepare(*c, object->timeouts, t, new_remote_file)) return FALSE;
    t.in = in.get();
    CURL* e = c->ftp.get();
    curl_easy_setopt(e, CURLOPT_TRANSFERTEXT, (flags & 3) == FTP_TRANSFER_TYPE_ASCII ? 1L : 0L);
    curl_easy_setopt(e, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(e, CURLOPT_READFUNCTION, on_upload);
    curl_easy_setopt(e, CURLOPT_READDATA, &t);
    curl_easy_setopt(e, CURLOPT_INFILESIZE_LARGE, curl_off_t(st.st_size));
    return perform(*c, t) ? TRUE : FALSE;
}

BOOL InternetGetLastResponseInfoA(DWORD* error, char* buffer, DWORD* length) {
    if (!error || !length) return fail(ERROR_INVALID_PARAMETER, "no output", FALSE);
    const LastReply& reply = last_reply();
    *error = reply.code;
    if (!buffer || *length < reply.text.size() + 1) {
        *length = DWORD(reply.text.size() + 1);
        return fail(ERROR_INSUFFICIENT_BUFFER, "buffer too small", FALSE);
    }
    std::memcpy(buffer, reply.text.c_str(), reply.text.size() + 1);
    *length = DWORD(reply.text.size());
    return TRUE;
}
