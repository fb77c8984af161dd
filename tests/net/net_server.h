// The internet tests' servers (tests/support/net_servers.py), each started by a test on
// 127.0.0.1 and stopped by it, and the certificates of the HTTPS tests.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace lumtest {

class NetServer {
  public:
    // Starts `net_servers.py args...` and waits (at most 10 s) for it to listen; port() is
    // 0 when it did not come up.
    explicit NetServer(const std::vector<std::string>& args);
    // SIGTERM, a bounded wait, then SIGKILL.
    ~NetServer();
    NetServer(const NetServer&) = delete;
    NetServer& operator=(const NetServer&) = delete;

    int port() const { return m_port; }

  private:
    pid_t m_pid = -1;
    int m_port = 0;
};

// A test CA and two server certificates it signed, made with the openssl command in `dir`:
// one for 127.0.0.1 and localhost, one for another name only.
struct TestCertificates {
    std::string ca;  // PEM
    std::string good_cert, good_key;
    std::string wrong_name_cert, wrong_name_key;
    bool ok = false;
};
TestCertificates make_certificates(const std::string& dir);

}  // namespace lumtest
