#include "net/net_server.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "support/test_env.h"

extern char** environ;

namespace lumtest {

namespace {

using Clock = std::chrono::steady_clock;

// Reads "READY <port>" from `fd` within `limit`; 0 when it does not come.
int read_port(int fd, std::chrono::milliseconds limit) {
    std::string text;
    auto end = Clock::now() + limit;
    while (Clock::now() < end && text.find('\n') == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        int left =
            int(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
        if (::poll(&p, 1, std::max(left, 1)) <= 0) continue;
        char buf[64];
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        text.append(buf, size_t(n));
    }
    if (text.rfind("READY ", 0) != 0) return 0;
    return std::atoi(text.c_str() + 6);
}

bool wait_exit(pid_t pid, std::chrono::milliseconds limit) {
    auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

int run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str());
}

}  // namespace

NetServer::NetServer(const std::vector<std::string>& args) {
    std::string script = source_dir() + "/tests/support/net_servers.py";
    std::vector<std::string> argv_s = {"/usr/bin/python3", script};
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_s) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (m_pid > 0) m_port = read_port(out[0], std::chrono::seconds(10));
    ::close(out[0]);
}

NetServer::~NetServer() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGTERM);
    if (!wait_exit(m_pid, std::chrono::seconds(5))) {
        ::kill(m_pid, SIGKILL);
        wait_exit(m_pid, std::chrono::seconds(5));
    }
}

TestCertificates make_certificates(const std::string& dir) {
    TestCertificates c;
    c.ca = dir + "/ca.pem";
    c.good_cert = dir + "/good.pem";
    c.good_key = dir + "/good.key";
    c.wrong_name_cert = dir + "/wrong.pem";
    c.wrong_name_key = dir + "/wrong.key";
    std::string ca_key = dir + "/ca.key";
    bool ok = run("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=LumTest-CA"
                  " -keyout " +
                  ca_key + " -out " + c.ca) == 0;
    auto issue = [&](const std::string& cert, const std::string& key, const std::string& san) {
        std::string csr = cert + ".csr", ext = cert + ".ext";
        std::ofstream(ext) << "subjectAltName=" << san << "\n";
        return run("openssl req -newkey rsa:2048 -nodes -subj /CN=lumtest -keyout " + key +
                   " -out " + csr) == 0 &&
               run("openssl x509 -req -days 2 -in " + csr + " -CA " + c.ca + " -CAkey " + ca_key +
                   " -CAcreateserial -extfile " + ext + " -out " + cert) == 0;
    };
    ok = ok && issue(c.good_cert, c.good_key, "IP:127.0.0.1,DNS:localhost");
    ok = ok && issue(c.wrong_name_cert, c.wrong_name_key, "DNS:other.example");
    c.ok = ok;
    return c;
}

}  // namespace lumtest
