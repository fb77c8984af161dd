// The internet client over the WinInet stand-in.
#include "net/cInet.h"

#include <algorithm>
#include <vector>

#include "lumtwainpro/com_error.h"
#include "platform/win/file.h"

namespace {

constexpr const char* kAgent = "pelorix";
constexpr DWORD kSecureFlags = INTERNET_FLAG_SECURE;
constexpr DWORD kReloadFlags = INTERNET_FLAG_RELOAD;
constexpr size_t kFirstBlock = size_t(1) << 20;

struct ErrorText {
    int32_t code;
    const char* text;
};

// The client's own texts, returned exactly as they stand (trailing blanks included).
constexpr ErrorText kErrorTexts[] = {
    {12001, "No more handles could be generated at this time"},
    {12002, "The request has timed out."},
    {12003, "An extended error was returned from the server."},
    {12004, "An internal error has occurred."},
    {12005, "The URL is invalid."},
    {12006, "The URL scheme could not be recognized, or is not supported."},
    {12007, "The server name could not be resolved."},
    {12008, "The requested protocol could not be located."},
    {12009,
     "A request to InternetQueryOption or InternetSetOption specified an invalid option value."},
    {12010,
     "The length of an option supplied to InternetQueryOption or InternetSetOption is incorrect "
     "for the type of option specified."},
    {12011, "The request option can not be set, only queried. "},
    {12012, "The Win32 Internet support is being shutdown or unloaded."},
    {12013,
     "The request to connect and login to an FTP server could not be completed because the "
     "supplied user name is incorrect."},
    {12014,
     "The request to connect and login to an FTP server could not be completed because the "
     "supplied password is incorrect. "},
    {12015, "The request to connect to and login to an FTP server failed."},
    {12016, "The requested operation is invalid. "},
    {12017,
     "The operation was canceled, usually because the handle on which the request was operating "
     "was closed before the operation completed."},
    {12018, "The type of handle supplied is incorrect for this operation."},
    {12019,
     "The requested operation can not be carried out because the handle supplied is not in the "
     "correct state."},
    {12020, "The request can not be made via a proxy."},
    {12021, "A required registry value could not be located. "},
    {12022,
     "A required registry value was located but is an incorrect type or has an invalid value."},
    {12023, "Direct network access cannot be made at this time. "},
    {12024, "An asynchronous request could not be made because a zero context value was supplied."},
    {12025,
     "An asynchronous request could not be made because a callback function has not been set."},
    {12026,
     "The required operation could not be completed because one or more requests are pending."},
    {12027, "The format of the request is invalid."},
    {12028, "The requested item could not be located."},
    {12029, "The attempt to connect to the server failed."},
    {12030, "The connection with the server has been terminated."},
    {12031, "The connection with the server has been reset."},
    {12032, "Calls for the Win32 Internet function to redo the request."},
    {12033, "The request to the proxy was invalid."},
    {12036, "The request failed because the handle already exists."},
    {12037,
     "SSL certificate date that was received from the server is bad. The certificate is expired."},
    {12038,
     "SSL certificate common name (host name field) is incorrect. For example, the address asked "
     "for was www.example.com but the certificate was issued to www.example.org."},
    {12039, "The application is moving from a non-SSL to an SSL connection because of a redirect."},
    {12040,
     "The application is moving from an SSL to an non-SSL connection because of a redirect."},
    {12041,
     "Indicates that the content is not entirely secure. Some of the content being viewed may have "
     "come from unsecured servers."},
    {12042,
     "The application is posting and attempting to change multiple lines of text on a server that "
     "is not secure."},
    {12043, "The application is posting data to a sever that is not secure."},
    {12110,
     "The requested operation cannot be made on the FTP session handle because an operation is "
     "already in progress."},
    {12111, "The FTP operation was not completed because the session was aborted."},
    {12130, "An error was detected while parsing data returned from the gopher server."},
    {12131, "The request must be made for a file locator."},
    {12132, "An error was detected while receiving data from the gopher server."},
    {12133, "The end of the data has been reached."},
    {12134, "The supplied locator is not valid."},
    {12135, "The type of the locator is not correct for this operation."},
    {12136,
     "The requested operation can only be made against a Gopher+ server or with a locator that "
     "specifies a Gopher+ operation."},
    {12137, "The requested attribute could not be located."},
    {12138, "The locator type is unknown."},
    {12150, "The requested header could not be located."},
    {12151, "The server did not return any headers."},
    {12152, "The server response could not be parsed."},
    {12153, "The supplied header is invalid."},
    {12154, "The request made to HttpQueryInfo is invalid."},
    {12155, "The header could not be added because it already exists."},
    {12156, "The redirection failed because either the scheme changed"},
};

// A port as the platform takes it; outside 1..65535 the overflow run-time error.
INTERNET_PORT checked_port(int32_t port) {
    if (port < 1 || port > 65535) throw ComError(ComError::kOverflow, "Overflow");
    return INTERNET_PORT(port);
}

const char* or_null(const std::string& s) {
    return s.empty() ? nullptr : s.c_str();
}

std::string trim_blanks(std::string s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.back())) s.pop_back();
    size_t start = 0;
    while (start < s.size() && blank(s[start])) ++start;
    return s.substr(start);
}

// Lets the host run its pending events between chunks.
void pump_host_messages(const std::function<void()>& process) {
    if (process) process();
}

}  // namespace

cInet::cInet() {
    m_hInternet = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (m_hInternet == 0) record_error();
}

cInet::~cInet() {
    if (m_hInternet != 0) InternetCloseHandle(m_hInternet);
}

void cInet::record_error() {
    m_lastError = GetLastError();
}

HINTERNET cInet::Request(const std::string& sVerb, const std::string& sHost,
                         const std::string& sPath, int32_t nPort, int32_t nService,
                         const std::string& sContentType) {
    INTERNET_PORT port = checked_port(nPort);
    HINTERNET session =
        InternetConnectA(m_hInternet, sHost.c_str(), port, nullptr, nullptr, DWORD(nService), 0, 0);
    if (session == 0) {
        record_error();
        return 0;
    }
    m_hSession = session;
    // Port 443 is https, with the certificate and its host name verified.
    DWORD flags = port == INTERNET_DEFAULT_HTTPS_PORT ? kSecureFlags : kReloadFlags;
    m_hRequest = HttpOpenRequestA(session, sVerb.c_str(), sPath.c_str(), "HTTP/1.0", nullptr,
                                  nullptr, flags, 0);
    if (m_hRequest == 0) record_error();
    return m_hRequest;
}

HINTERNET cInet::FtpOpenSession(const std::string& sHost, int32_t nPort, const std::string& sLogin,
                                const std::string& sPassword) {
    INTERNET_PORT port = checked_port(nPort);
    DWORD flags = bFtpPassiveMode ? INTERNET_FLAG_PASSIVE : 0;
    HINTERNET session = InternetConnectA(m_hInternet, sHost.c_str(), port, or_null(sLogin),
                                         or_null(sPassword), INTERNET_SERVICE_FTP, flags, 0);
    if (session == 0) {
        record_error();
        return 0;
    }
    m_hSession = session;
    return session;
}

bool cInet::SendRequest(const std::string& sHeaders, const std::string& sData) {
    m_sendResult = HttpSendRequestA(m_hRequest, or_null(sHeaders), DWORD(sHeaders.size()),
                                    or_null(sData), DWORD(sData.size())) != FALSE;
    if (!m_sendResult) record_error();
    return m_sendResult;
}

bool cInet::QueryInfo(int32_t nInfoLevel, std::string& sBuffer, int32_t& nNumber) {
    DWORD level = DWORD(nInfoLevel);
    if (level & HTTP_QUERY_FLAG_NUMBER) {
        DWORD value = 0, length = sizeof value;
        if (!HttpQueryInfoA(m_hRequest, level, &value, &length, nullptr)) {
            record_error();
            return false;
        }
        nNumber = int32_t(value);
        return true;
    }
    // The caller's text sets the room the answer may take.
    std::string room = sBuffer;
    room.push_back('\0');
    DWORD length = DWORD(room.size());
    if (!HttpQueryInfoA(m_hRequest, level, room.data(), &length, nullptr)) {
        record_error();
        return false;
    }
    sBuffer.assign(room.data(), length);
    return true;
}

bool cInet::ReadArray(SafeArray<uint8_t>& arBytes, int32_t nTotal) {
    bStopReadArray = false;
    if (nTotal <= 0) return true;
    std::vector<uint8_t> bytes;
    bool ok = false;
    try {
        ok = read_chunks(bytes, nTotal);
    } catch (const std::bad_alloc&) {
        m_lastError = ERROR_NOT_ENOUGH_MEMORY;
    }
    arBytes = SafeArray<uint8_t>::from(std::move(bytes), 0);
    return ok;
}

bool cInet::read_chunks(std::vector<uint8_t>& bytes, int32_t total) {
    int32_t size = m_BufferSize > 0 ? m_BufferSize : 1024;  // no chunk of nothing
    int32_t remaining = total;
    while (true) {
        int32_t chunk = std::min(size, remaining);
        size_t at = size_t(total - remaining);
        // The array grows as the body arrives, so that a length a server merely announces
        // cannot make the client take gigabytes up front.
        if (bytes.size() < at + size_t(chunk))
            bytes.resize(std::min(size_t(total),
                                  std::max(at + size_t(chunk), 2 * bytes.size() + kFirstBlock)));
        DWORD read = 0;
        if (!InternetReadFile(m_hRequest, bytes.data() + at, DWORD(chunk), &read)) {
            record_error();
            bytes.resize(at);
            return false;
        }
        // A body that ends before its announced length is a failed transfer, not an image
        // with a zero tail.
        if (read < 1) {
            m_lastError = ERROR_INTERNET_CONNECTION_ABORTED;
            bytes.resize(at);
            return false;
        }
        remaining -= int32_t(read);
        if (PacketReceieved)
            PacketReceieved(int32_t(int64_t(remaining) * 100 / total), remaining, total);
        pump_host_messages(ProcessHostMessages);
        if (remaining < 1 || bStopReadArray) break;
    }
    bytes.resize(size_t(total - remaining));
    return !bStopReadArray;
}

std::string cInet::TranslateErrorCode(int32_t nCode) const {
    for (const auto& e : kErrorTexts)
        if (e.code == nCode) return e.text;
    char text[256] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             DWORD(nCode), 0, text, sizeof text, nullptr);
    std::string message = trim_blanks(std::string(text, n));
    return message.empty() ? "Unknown Error" : message;
}
