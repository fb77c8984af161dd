// Display sources over the internet: an HTTP download read in chunks with DataReceived
// progress and a stop request, and an FTP download to a temporary file deleted with its
// image.
#include <cctype>
#include <chrono>
#include <random>

#include "net/cInet.h"
#include "platform/win/file.h"
#include "viewer/viewer_p.h"

using State = LumViewer::State;

namespace viewer {
std::string normalise_path(const std::string& path);
}

namespace {

std::string trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

bool starts_with_nocase(const std::string& s, const char* prefix) {
    size_t n = std::char_traits<char>::length(prefix);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
    return true;
}

// The running transfer of a viewer, ended however the member ends.
struct TransferScope {
    State& s;
    cInet& client;
    TransferScope(State& st, cInet& c) : s(st), client(c) {
        s.transfer_running = true;
        s.transfer = &client;
    }
    ~TransferScope() {
        s.transfer_running = false;
        s.transfer = nullptr;
    }
};

int32_t download(State& s, cInet& client, const std::string& host, const std::string& path,
                 int32_t port, SafeArray<uint8_t>& bytes) {
    if (client.Request("GET", host, path, port, 3, "*/*") == 0)
        return client.hSession() ? ViewerInternetHttpOpenRequestError : ViewerInternetConnectError;
    if (!client.SendRequest("", "")) return ViewerInternetHttpSendRequestError;
    std::string none;
    int32_t length = 0;
    if (!client.QueryInfo(int32_t(HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER), none,
                          length))
        return ViewerInternetHttpQueryError;
    if (length < 1) return ViewerInternetHttpInvalidFileLength;
    if (!client.ReadArray(bytes, length)) return ViewerInternetHttpTransferError;
    return 0;
}

// The local file of an FTP download: the temporary folder, random digits and the remote
// path's last three characters, made exclusively so that no existing file is taken over.
std::string download_file_name(const std::string& remote) {
    using Clock = std::chrono::high_resolution_clock;
    std::mt19937 rng(uint32_t(Clock::now().time_since_epoch().count()) ^ std::random_device{}());
    std::uniform_int_distribution<int32_t> number(0, 99999999);
    std::string tail = remote.size() > 2 ? "." + remote.substr(remote.size() - 3) : "";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = win::GetTempFolder() + std::to_string(number(rng)) + tail;
        if (win::CreateNewFile(path)) return path;
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    return {};
}

}  // namespace

int32_t LumViewer::DisplayFromURL(const std::string& sHost, const std::string& sPath,
                                  int32_t nHTTPPort) {
    State& s = *m;
    s.ReleasePdfIfShown();
    if (s.transfer_running) return s.last_status;
    cInet client;
    client.PacketReceieved = [&s](int32_t percent_left, int32_t left, int32_t total) {
        int32_t received = 100 - percent_left;
        s.raise([&](LumViewerEvents& e) { e.DataReceived(received, left, total); });
    };
    client.ProcessHostMessages = [] { win::PumpMessages(); };
    s.ResetDisplayState(false, false);
    s.temp_copy_in_use = false;
    if (client.hInternet() == 0) return s.last_status = ViewerInternetOpenError;
    TransferScope scope(s, client);
    client.BufferSize(s.http_buffer_size);
    std::string host = trimmed(sHost);
    if (starts_with_nocase(host, "HTTP://")) host = host.substr(7);
    if (starts_with_nocase(host, "HTTPS://")) host = host.substr(8);
    SafeArray<uint8_t> bytes;
    int32_t status = download(s, client, host, sPath, nHTTPPort, bytes);
    if (status != 0) return s.last_status = status;
    GpImage image = 0;
    status = modGdiplus::LoadImageFromBytes(image, bytes, true);
    s.current = status == 0 ? image : 0;
    return s.ShowLoaded(status);
}

void LumViewer::DisplayFromURLStop() {
    if (m->transfer_running && m->transfer) m->transfer->bStopReadArray = true;
}

int32_t LumViewer::DisplayFromFTP(const std::string& sHost, const std::string& sPath,
                                  const std::string& sLogin, const std::string& sPassword,
                                  int32_t nFTPPort) {
    State& s = *m;
    cInet client;
    s.ReleasePdfIfShown();
    s.ResetDisplayState(false, false);
    if (client.hInternet() == 0) return s.last_status = ViewerInternetOpenError;
    client.bFtpPassiveMode = s.ftp_passive;
    HINTERNET session = client.FtpOpenSession(sHost, nFTPPort, sLogin, sPassword);
    if (session == 0) return s.last_status = ViewerInternetConnectError;
    std::string remote = sPath;
    for (char& c : remote)
        if (c == '\\') c = '/';
    remote = trimmed(remote);
    std::string local = download_file_name(remote);
    if (local.empty() || !FtpGetFileA(session, remote.c_str(), local.c_str(), FALSE, 0,
                                      FTP_TRANSFER_TYPE_UNKNOWN, 0)) {
        if (!local.empty()) DeleteFileA(local.c_str());
        InternetCloseHandle(session);
        return s.last_status = ViewerInternetFtpGetFileError;
    }
    int32_t status = DisplayFromFile(local);
    if (status != 0)
        DeleteFileA(local.c_str());
    else
        modGdiplus::MarkTempFile(GpImage(m->current), local);
    InternetCloseHandle(session);
    return s.last_status;
}
