// Stand-in for the parts of wininet.dll the system calls: HTTP requests read in caller-sized
// pieces and FTP sessions with whole-file transfers, over libcurl.
//
// Handles are 32-bit keys of the calling thread's internet table (platform/context.h): a
// root handle from InternetOpenA, connections below it, requests below a connection. Closing
// a handle closes everything below it; a closed or unknown handle fails with
// ERROR_INVALID_HANDLE. Every failure returns 0 or FALSE and records a WinInet error code for
// GetLastError, with the reason in words in win::GetErrorDetail.
//
// All calls are synchronous. Connecting, each wait for the server and an active-mode data
// connection are bounded by the handle's timeouts (INTERNET_OPTION_*_TIMEOUT, inherited from
// the parent when a handle is made, from the process-wide values for a root handle), so a
// silent server ends a call with ERROR_INTERNET_TIMEOUT instead of blocking.
//
// HTTPS certificates and host names are always verified, against the system's certificate
// store or the one named by LUMTWAIN_CA_FILE (a PEM bundle) or LUMTWAIN_CA_PATH (a hashed
// certificate folder). Proxies: INTERNET_OPEN_TYPE_PRECONFIG takes them from http_proxy,
// https_proxy, ftp_proxy, all_proxy and no_proxy (either case).
#pragma once

#include "lumtwainpro/export.h"
#include "lumtwainpro/wintypes.h"

LUM_BEGIN_EXPORTS

using HINTERNET = uint32_t;
using DWORD_PTR = uintptr_t;
using INTERNET_PORT = WORD;

// ---- InternetOpenA ---------------------------------------------------------------------
constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;
constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;
constexpr DWORD INTERNET_OPEN_TYPE_PROXY = 3;
constexpr DWORD INTERNET_FLAG_ASYNC = 0x10000000;  // not supported: InternetOpenA fails

// ---- InternetConnectA ------------------------------------------------------------------
constexpr INTERNET_PORT INTERNET_INVALID_PORT_NUMBER = 0;  // the service's default port
constexpr INTERNET_PORT INTERNET_DEFAULT_FTP_PORT = 21;
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTP_PORT = 80;
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTPS_PORT = 443;
constexpr DWORD INTERNET_SERVICE_FTP = 1;
constexpr DWORD INTERNET_SERVICE_GOPHER = 2;
constexpr DWORD INTERNET_SERVICE_HTTP = 3;
constexpr DWORD INTERNET_FLAG_PASSIVE = 0x08000000;

// ---- HttpOpenRequestA ------------------------------------------------------------------
constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000;
constexpr DWORD INTERNET_FLAG_SECURE = 0x00800000;
constexpr DWORD INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000;
constexpr DWORD INTERNET_FLAG_IGNORE_CERT_CN_INVALID = 0x00001000;

// ---- HttpQueryInfoA --------------------------------------------------------------------
constexpr DWORD HTTP_QUERY_CONTENT_TYPE = 1;
constexpr DWORD HTTP_QUERY_CONTENT_LENGTH = 5;
constexpr DWORD HTTP_QUERY_DATE = 9;
constexpr DWORD HTTP_QUERY_LAST_MODIFIED = 11;
constexpr DWORD HTTP_QUERY_VERSION = 18;
constexpr DWORD HTTP_QUERY_STATUS_CODE = 19;
constexpr DWORD HTTP_QUERY_STATUS_TEXT = 20;
constexpr DWORD HTTP_QUERY_RAW_HEADERS = 21;       // lines separated by NUL, ending in two
constexpr DWORD HTTP_QUERY_RAW_HEADERS_CRLF = 22;  // lines separated by CR LF, ending in two
constexpr DWORD HTTP_QUERY_CONTENT_ENCODING = 29;
constexpr DWORD HTTP_QUERY_LOCATION = 33;
constexpr DWORD HTTP_QUERY_SERVER = 37;
constexpr DWORD HTTP_QUERY_USER_AGENT = 39;
constexpr DWORD HTTP_QUERY_ETAG = 54;
constexpr DWORD HTTP_QUERY_HOST = 55;
constexpr DWORD HTTP_QUERY_TRANSFER_ENCODING = 63;
constexpr DWORD HTTP_QUERY_CUSTOM = 65535;  // the header's name is passed in the buffer
constexpr DWORD HTTP_QUERY_FLAG_REQUEST_HEADERS = 0x80000000;
constexpr DWORD HTTP_QUERY_FLAG_SYSTEMTIME = 0x40000000;  // not supported
constexpr DWORD HTTP_QUERY_FLAG_NUMBER = 0x20000000;

// ---- FtpGetFileA, FtpPutFileA ----------------------------------------------------------
constexpr DWORD FTP_TRANSFER_TYPE_UNKNOWN = 0;  // binary
constexpr DWORD FTP_TRANSFER_TYPE_ASCII = 1;
constexpr DWORD FTP_TRANSFER_TYPE_BINARY = 2;

// ---- Options ---------------------------------------------------------------------------
constexpr DWORD INTERNET_OPTION_CONNECT_TIMEOUT = 2;  // milliseconds, DWORD
constexpr DWORD INTERNET_OPTION_SEND_TIMEOUT = 5;
constexpr DWORD INTERNET_OPTION_RECEIVE_TIMEOUT = 6;
constexpr DWORD INTERNET_OPTION_HANDLE_TYPE = 9;
constexpr DWORD INTERNET_OPTION_URL = 34;  // text, requests only
constexpr DWORD INTERNET_HANDLE_TYPE_INTERNET = 1;
constexpr DWORD INTERNET_HANDLE_TYPE_CONNECT_FTP = 2;
constexpr DWORD INTERNET_HANDLE_TYPE_CONNECT_HTTP = 4;
constexpr DWORD INTERNET_HANDLE_TYPE_HTTP_REQUEST = 13;

// ---- Error codes -----------------------------------------------------------------------
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;
constexpr DWORD INTERNET_ERROR_BASE = 12000;
constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
constexpr DWORD ERROR_INTERNET_EXTENDED_ERROR = 12003;
constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
constexpr DWORD ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr DWORD ERROR_INTERNET_PROTOCOL_NOT_FOUND = 12008;
constexpr DWORD ERROR_INTERNET_INVALID_OPTION = 12009;
constexpr DWORD ERROR_INTERNET_BAD_OPTION_LENGTH = 12010;
constexpr DWORD ERROR_INTERNET_INCORRECT_USER_NAME = 12013;
constexpr DWORD ERROR_INTERNET_INCORRECT_PASSWORD = 12014;
constexpr DWORD ERROR_INTERNET_LOGIN_FAILURE = 12015;
constexpr DWORD ERROR_INTERNET_OPERATION_CANCELLED = 12017;
constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019;
constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr DWORD ERROR_INTERNET_SEC_CERT_DATE_INVALID = 12037;
constexpr DWORD ERROR_INTERNET_SEC_CERT_CN_INVALID = 12038;
constexpr DWORD ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR = 12040;
constexpr DWORD ERROR_INTERNET_INVALID_CA = 12045;
constexpr DWORD ERROR_FTP_NO_PASSIVE_MODE = 12112;
constexpr DWORD ERROR_HTTP_HEADER_NOT_FOUND = 12150;
constexpr DWORD ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr DWORD ERROR_HTTP_INVALID_HEADER = 12153;
constexpr DWORD ERROR_HTTP_INVALID_QUERY_REQUEST = 12154;
constexpr DWORD ERROR_HTTP_REDIRECT_FAILED = 12156;
constexpr DWORD ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;
constexpr DWORD ERROR_INTERNET_SEC_INVALID_CERT = 12169;
constexpr DWORD ERROR_INTERNET_DECODING_FAILED = 12175;

// ---- Functions -------------------------------------------------------------------------
// A root handle carrying the agent name (sent as User-Agent) and the proxy settings.
HINTERNET InternetOpenA(const char* agent, DWORD access_type, const char* proxy,
                        const char* proxy_bypass, DWORD flags);

// HTTP: remembers the server; nothing is sent until HttpSendRequestA. FTP: connects and logs
// in now (no user name: anonymous), in passive mode with INTERNET_FLAG_PASSIVE, else active;
// fails with ERROR_INTERNET_LOGIN_FAILURE when the server refuses the login.
HINTERNET InternetConnectA(HINTERNET internet, const char* server, INTERNET_PORT port,
                           const char* user, const char* password, DWORD service, DWORD flags,
                           DWORD_PTR context);

// A request for `object` (a path, with a query if any) on an HTTP connection; https with
// INTERNET_FLAG_SECURE. `version` "HTTP/1.0" speaks HTTP/1.0, anything else HTTP/1.1.
// Redirects to http or https are followed unless INTERNET_FLAG_NO_AUTO_REDIRECT, never from
// https to http (ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR).
HINTERNET HttpOpenRequestA(HINTERNET connect, const char* verb, const char* object,
                           const char* version, const char* referrer, const char** accept_types,
                           DWORD flags, DWORD_PTR context);

// Sends the request (extra header lines, CR LF separated; length (DWORD)-1 for a
// NUL-terminated text) with an optional body, and returns once the response's status line
// and headers have arrived. Any HTTP status is a success: query HTTP_QUERY_STATUS_CODE. A
// second call sends the request again.
BOOL HttpSendRequestA(HINTERNET request, const char* headers, DWORD headers_length,
                      const void* optional, DWORD optional_length);

// A header of the response (or, with HTTP_QUERY_FLAG_REQUEST_HEADERS, of the request as it
// was sent). Text: `*length` is the buffer's size in bytes; on success it becomes the text's
// length without the NUL; a buffer too small fails with ERROR_INSUFFICIENT_BUFFER and sets
// `*length` to the size needed. HTTP_QUERY_FLAG_NUMBER: a DWORD into `buffer`. `index`, when
// given, picks the n-th header of that name and is advanced to the next.
BOOL HttpQueryInfoA(HINTERNET request, DWORD info_level, void* buffer, DWORD* length, DWORD* index);

// Reads up to `to_read` bytes of the body, blocking until that many have arrived or the body
// ended; TRUE with 0 bytes at the end. A body that ends before its announced length, or a
// connection that breaks, fails with ERROR_INTERNET_CONNECTION_ABORTED (after the bytes
// that did arrive have been returned).
BOOL InternetReadFile(HINTERNET file, void* buffer, DWORD to_read, DWORD* read);

// Closes the handle and every handle below it.
BOOL InternetCloseHandle(HINTERNET handle);

// Downloads a remote file (a path relative to the login folder, or absolute from "/") to a
// local file, which is replaced only when the whole file arrived; with `fail_if_exists` an
// existing local file fails with ERROR_FILE_EXISTS.
BOOL FtpGetFileA(HINTERNET connect, const char* remote_file, const char* new_file,
                 BOOL fail_if_exists, DWORD attributes, DWORD flags, DWORD_PTR context);
// Uploads a local file. A server that refuses it fails with ERROR_INTERNET_EXTENDED_ERROR;
// InternetGetLastResponseInfoA then gives the server's reply.
BOOL FtpPutFileA(HINTERNET connect, const char* local_file, const char* new_remote_file,
                 DWORD flags, DWORD_PTR context);

// The last reply of an FTP server on this thread ("550 Permission denied."), its code in
// `*error`. Lengths as for HttpQueryInfoA.
BOOL InternetGetLastResponseInfoA(DWORD* error, char* buffer, DWORD* length);

// Timeouts (DWORD milliseconds) of a handle, or with handle 0 the process-wide values that
// new root handles take (defaults: connect 30 s, send and receive 60 s). The receive timeout
// bounds the time without progress in either direction; the send timeout is only kept.
BOOL InternetSetOptionA(HINTERNET handle, DWORD option, const void* buffer, DWORD length);
BOOL InternetQueryOptionA(HINTERNET handle, DWORD option, void* buffer, DWORD* length);

// ---- FormatMessageA --------------------------------------------------------------------
constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;  // not supported
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;  // not supported
constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;

// The platform's text for a system or WinInet error code, ending in CR LF, into `buffer` of
// `size` bytes; the length written (without the NUL), or 0 with ERROR_MR_MID_NOT_FOUND for
// a code without a text and ERROR_INSUFFICIENT_BUFFER when it does not fit.
DWORD FormatMessageA(DWORD flags, const void* source, DWORD message_id, DWORD language_id,
                     char* buffer, DWORD size, void* arguments);

LUM_END_EXPORTS
