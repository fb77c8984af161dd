// cInet: the thin internet client of the controls. One instance serves one transfer: an
// HTTP download read in chunks with progress, or an FTP session on which the caller makes
// its file transfers (FtpGetFileA, FtpPutFileA on hSession()).
//
// Failures are results (handle 0, False); the platform's error code of the last failing call
// is kept in LastError(). A port outside 1..65535 ends Request and FtpOpenSession with the
// run-time overflow error (ComError 6).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lumtwainpro/ole.h"
#include "platform/wininet/wininet.h"

class cInet {
  public:
    // Opens the root handle with the agent "pelorix" and the environment's proxy settings;
    // hInternet() is 0 when that failed.
    cInet();
    // Closes the root handle and with it every handle of the instance.
    ~cInet();
    cInet(const cInet&) = delete;
    cInet& operator=(const cInet&) = delete;

    // Read by ReadArray before each chunk; set it (from a PacketReceieved handler or the
    // host's event loop) to end a download after the current chunk.
    bool bStopReadArray = false;
    // Bytes asked of each read.
    int32_t m_BufferSize = 1024;
    // FTP sessions open in passive mode (else active).
    bool bFtpPassiveMode = true;

    // Raised after every chunk of ReadArray: the percentage of the total still to come, the
    // bytes still to come, the total.
    std::function<void(int32_t nPercentLeft, int32_t nBytesLeft, int32_t nTotal)> PacketReceieved;
    // Called after every chunk so that the host's user interface stays live (and a stop
    // request can arrive): the host's "process pending events".
    std::function<void()> ProcessHostMessages;

    // An HTTP request for `sPath` on `sHost`, https when the port is 443. The request handle,
    // 0 on failure; the connection becomes hSession().
    HINTERNET Request(const std::string& sVerb, const std::string& sHost, const std::string& sPath,
                      int32_t nPort, int32_t nService, const std::string& sContentType);
    // An FTP session, passive when bFtpPassiveMode; 0 when the server cannot be reached or
    // refuses the login.
    HINTERNET FtpOpenSession(const std::string& sHost, int32_t nPort, const std::string& sLogin,
                             const std::string& sPassword);
    // Sends the last request with extra header lines and an optional body.
    bool SendRequest(const std::string& sHeaders, const std::string& sData = "");
    // A response header of the last request: with HTTP_QUERY_FLAG_NUMBER into nNumber, else
    // as text into sBuffer, whose length on entry is the most that may come back.
    bool QueryInfo(int32_t nInfoLevel, std::string& sBuffer, int32_t& nNumber);
    // Reads the body into arBytes (0 .. nTotal - 1) in chunks of m_BufferSize, raising
    // PacketReceieved after each. False when stopped, when the transfer fails, or when the
    // body ends before nTotal bytes (arBytes then holds the bytes that came); True at once
    // when nTotal is below 1 (arBytes untouched).
    bool ReadArray(SafeArray<uint8_t>& arBytes, int32_t nTotal);

    HINTERNET hInternet() const { return m_hInternet; }
    HINTERNET hSession() const { return m_hSession; }
    void BufferSize(int32_t nSize) { m_BufferSize = nSize; }
    // The platform's error code recorded at the last failing call, 0 when none failed.
    uint32_t LastError() const { return m_lastError; }

    // A text for a WinInet or system error code; "Unknown Error" when there is none.
    std::string TranslateErrorCode(int32_t nCode) const;

  private:
    void record_error();
    bool read_chunks(std::vector<uint8_t>& bytes, int32_t total);

    HINTERNET m_hInternet = 0;
    HINTERNET m_hSession = 0;
    HINTERNET m_hRequest = 0;
    bool m_sendResult = false;
    uint32_t m_lastError = 0;
};
