// FTP upload of the native image through a temporary file, and the passive-mode setting.
#include <cctype>
#include <chrono>
#include <random>

#include "net/cInet.h"
#include "platform/win/win.h"
#include "lumtwainpro/twain.h"

namespace {

// GDI+'s status for a file that cannot be written, and the internet failures.
constexpr int32_t kWin32Error = 7;
constexpr int32_t kInternetOpenError = 100;
constexpr int32_t kInternetConnectError = 101;
constexpr int32_t kInternetFtpWriteFileError = 108;

// The upload's temporary file: the temporary folder and random digits, no extension, made
// exclusively (never an existing file or a link) and removed however the upload ends.
class UploadFile {
  public:
    UploadFile() {
        using Clock = std::chrono::high_resolution_clock;
        std::mt19937 rng(uint32_t(Clock::now().time_since_epoch().count()) ^
                         std::random_device{}());
        std::uniform_int_distribution<int32_t> number(0, 99999999);
        std::string folder = win::GetTempFolder();
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string path = folder + std::to_string(number(rng));
            if (win::CreateNewFile(path)) {
                m_path = std::move(path);
                return;
            }
            if (GetLastError() != ERROR_FILE_EXISTS) return;
        }
    }
    ~UploadFile() {
        if (!m_path.empty()) DeleteFileA(m_path.c_str());
    }
    UploadFile(const UploadFile&) = delete;
    UploadFile& operator=(const UploadFile&) = delete;

    // Empty when no file could be made.
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

// Backslashes become slashes; trimmed; at most two leading slashes dropped.
std::string remote_path(const std::string& path) {
    std::string p = path;
    for (char& c : p)
        if (c == '\\') c = '/';
    size_t first = p.find_first_not_of(' ');
    p = first == std::string::npos ? "" : p.substr(first, p.find_last_not_of(' ') - first + 1);
    for (int i = 0; i < 2 && !p.empty() && p.front() == '/'; ++i) p.erase(0, 1);
    return p;
}

std::string format_key(const std::string& format) {
    size_t first = format.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    std::string key = format.substr(first, format.find_last_not_of(' ') - first + 1);
    for (char& c : key) c = char(std::toupper((unsigned char)c));
    return key;
}

}  // namespace

int32_t twain::SaveToFTP(const std::string& sImageFormat, int32_t nEncoderParameter,
                         const std::string& sHost, const std::string& sPath,
                         const std::string& sLogin, const std::string& sPassword,
                         int32_t nFTPPort) {
    if (m_nativeImageID == 0) return no_native_image();
    std::string remote = remote_path(sPath);
    cInet inet;
    if (inet.hInternet() == 0) return store(kInternetOpenError);
    inet.bFtpPassiveMode = m_ftpPassiveMode;
    HINTERNET session = inet.FtpOpenSession(sHost, nFTPPort, sLogin, sPassword);
    if (session == 0) return store(kInternetConnectError);
    UploadFile file;
    if (file.path().empty()) return store(kWin32Error);
    std::string key = format_key(sImageFormat);
    const std::string& f = file.path();
    if (key == "BMP")
        SaveAsBmp(f);
    else if (key == "JPG")
        SaveAsJpeg(f, nEncoderParameter);
    else if (key == "TIF")
        SaveAsTiff(f, nEncoderParameter, 0);
    else if (key == "PNG")
        SaveAsPng(f);
    else if (key == "PDF")
        store(SaveAsPdf(f) ? LumTwainOk : LumTwainGenericError);
    else if (key == "GIF")
        SaveAsGif(f);
    else
        SaveAsJpeg(f, 75);
    if (m_lastStatus != LumTwainOk) return m_lastStatus;
    bool sent = FtpPutFileA(session, f.c_str(), remote.c_str(), FTP_TRANSFER_TYPE_UNKNOWN, 0);
    return store(sent ? LumTwainOk : kInternetFtpWriteFileError);
}

void twain::SetFtpPassiveMode(bool bPassiveMode) {
    m_ftpPassiveMode = bPassiveMode;
}
