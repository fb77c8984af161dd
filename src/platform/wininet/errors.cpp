// WinInet error codes for libcurl's results, and the platform's texts for error codes.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/win/file.h"
#include "platform/wininet/wininet_p.h"

namespace wininet {

namespace {

// X.509 verification results (OpenSSL's numbering, which libcurl reports).
constexpr long kCertNotYetValid = 9;
constexpr long kCertHasExpired = 10;
constexpr long kHostnameMismatch = 62;
constexpr long kIpAddressMismatch = 64;

DWORD certificate_error(CURL* easy, const char* detail) {
    long verify = 0;
    if (easy) curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verify);
    // libcurl checks the host name itself and says so only in its message.
    bool name = detail && std::strstr(detail, "target host name");
    if (name || verify == kHostnameMismatch || verify == kIpAddressMismatch)
        return ERROR_INTERNET_SEC_CERT_CN_INVALID;
    if (verify == kCertNotYetValid || verify == kCertHasExpired)
        return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
    return ERROR_INTERNET_INVALID_CA;
}

}  // namespace

DWORD error_from_curl(CURLcode code, CURL* easy, bool ftp, const char* detail) {
    switch (code) {
        case CURLE_OK:
            return ERROR_SUCCESS;
        case CURLE_UNSUPPORTED_PROTOCOL:
            return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
        case CURLE_URL_MALFORMAT:
            return ERROR_INTERNET_INVALID_URL;
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_RESOLVE_HOST:
            return ERROR_INTERNET_NAME_NOT_RESOLVED;
        case CURLE_COULDNT_CONNECT:
            return ERROR_INTERNET_CANNOT_CONNECT;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_GOT_NOTHING:
            return ftp ? ERROR_INTERNET_EXTENDED_ERROR : ERROR_HTTP_INVALID_SERVER_RESPONSE;
        case CURLE_FTP_WEIRD_PASV_REPLY:
        case CURLE_FTP_WEIRD_227_FORMAT:
        case CURLE_FTP_CANT_GET_HOST:
            return ERROR_FTP_NO_PASSIVE_MODE;
        case CURLE_FTP_ACCEPT_FAILED:
        case CURLE_FTP_PORT_FAILED:
            return ERROR_INTERNET_CANNOT_CONNECT;
        case CURLE_FTP_ACCEPT_TIMEOUT:
        case CURLE_OPERATION_TIMEDOUT:
            return ERROR_INTERNET_TIMEOUT;
        case CURLE_LOGIN_DENIED:
            return ERROR_INTERNET_LOGIN_FAILURE;
        case CURLE_REMOTE_ACCESS_DENIED:
        case CURLE_REMOTE_FILE_NOT_FOUND:
        case CURLE_UPLOAD_FAILED:
        case CURLE_QUOTE_ERROR:
        case CURLE_FTP_COULDNT_RETR_FILE:
        case CURLE_FTP_COULDNT_SET_TYPE:
        case CURLE_REMOTE_DISK_FULL:
        case CURLE_REMOTE_FILE_EXISTS:
            return ERROR_INTERNET_EXTENDED_ERROR;
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
            return ERROR_INTERNET_CONNECTION_ABORTED;
        case CURLE_SEND_ERROR:
            return ERROR_INTERNET_CONNECTION_RESET;
        case CURLE_TOO_MANY_REDIRECTS:
            return ERROR_HTTP_REDIRECT_FAILED;
        case CURLE_ABORTED_BY_CALLBACK:
            return ERROR_INTERNET_OPERATION_CANCELLED;
        case CURLE_OUT_OF_MEMORY:
            return ERROR_NOT_ENOUGH_MEMORY;
        case CURLE_BAD_CONTENT_ENCODING:
            return ERROR_INTERNET_DECODING_FAILED;
        case CURLE_PEER_FAILED_VERIFICATION:
            return certificate_error(easy, detail);
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_USE_SSL_FAILED:
            return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
        case CURLE_READ_ERROR:
            return ERROR_READ_FAULT;
        case CURLE_WRITE_ERROR:
            return ERROR_WRITE_FAULT;
        default:
            return ERROR_INTERNET_INTERNAL_ERROR;
    }
}

}  // namespace wininet

namespace {

struct Message {
    DWORD code;
    const char* text;
};

// Sorted by code.
constexpr Message kMessages[] = {
    {0, "The operation completed successfully."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {29, "The system cannot write to the specified device."},
    {30, "The system cannot read from the specified device."},
    {32, "The process cannot access the file because it is being used by another process."},
    {80, "The file exists."},
    {87, "The parameter is incorrect."},
    {112, "There is not enough space on the disk."},
    {122, "The data area passed to a system call is too small."},
    {123, "The filename, directory name, or volume label syntax is incorrect."},
    {12001, "No more internet handles can be allocated."},
    {12002, "The operation timed out."},
    {12003, "The server returned extended information."},
    {12004, "An internal error occurred in the internet support."},
    {12005, "The URL is invalid."},
    {12006, "The URL does not use a recognized protocol."},
    {12007, "The server name or address could not be resolved."},
    {12008, "A protocol with the required capabilities was not found."},
    {12009, "The option is invalid."},
    {12010, "The length is incorrect for the option type."},
    {12015, "The login attempt failed."},
    {12017, "The operation has been canceled."},
    {12018, "The supplied handle is the wrong type for the requested operation."},
    {12019, "The handle is in the wrong state for the requested operation."},
    {12029, "A connection with the server could not be established."},
    {12030, "The connection with the server was terminated abnormally."},
    {12031, "The connection with the server was reset."},
    {12037, "The date in the certificate is invalid or has expired."},
    {12038, "The host name in the certificate is invalid or does not match."},
    {12040, "The redirection would move from a secure to a non-secure connection."},
    {12044, "The server is requesting client authentication."},
    {12045, "The certificate authority is invalid or incorrect."},
    {12112, "Passive mode is not available on the server."},
    {12150, "The requested header was not found."},
    {12152, "The server returned an invalid or unrecognized response."},
    {12153, "The supplied HTTP header is invalid."},
    {12154, "The request for an HTTP header is invalid."},
    {12156, "The HTTP redirect request failed."},
    {12157, "An error occurred in the secure channel support."},
    {12169, "The certificate is invalid."},
    {12175, "The server response could not be decoded."},
};

const char* message_text(DWORD code) {
    auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), code,
                               [](const Message& m, DWORD c) { return m.code < c; });
    return it != std::end(kMessages) && it->code == code ? it->text : nullptr;
}

}  // namespace

DWORD FormatMessageA(DWORD flags, const void* source, DWORD message_id, DWORD language_id,
                     char* buffer, DWORD size, void* arguments) {
    if ((flags & (FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING)) ||
        !(flags & (FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE)) || !buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char* text = message_text(message_id);
    if (!text) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    std::string line = std::string(text) + "\r\n";
    if (line.size() + 1 > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, line.c_str(), line.size() + 1);
    return DWORD(line.size());
}
