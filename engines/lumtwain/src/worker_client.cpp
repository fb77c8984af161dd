#include "worker_client.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "protocol.h"

extern char** environ;

namespace lumtwain {
namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kWorkerName = "lumtwain-sane-worker";
constexpr int kExitWaitMs = 2000;

std::string folder_of(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The file this code was loaded from: the engine library, or the program it is linked into.
std::string own_file() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&WorkerPath), &info) && info.dli_fname &&
        std::strstr(info.dli_fname, ".so")) {
        char resolved[PATH_MAX];
        if (realpath(info.dli_fname, resolved)) return resolved;
    }
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    return n > 0 ? std::string(exe, size_t(n)) : std::string();
}

// A spawned program starts with default signal handling and nothing blocked, whatever the
// host has set up for itself.
struct SpawnAttributes {
    posix_spawnattr_t attr;
    SpawnAttributes() {
        posix_spawnattr_init(&attr);
        sigset_t all, none;
        sigfillset(&all);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attr, &all);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attr); }
};

// The worker's end of the socket becomes its fd 3; it reads nothing of the host's input and
// writes its output to the host's standard error.
struct SpawnFiles {
    posix_spawn_file_actions_t actions;
    explicit SpawnFiles(int socket) {
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, socket, 3);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, 2, 1);
    }
    ~SpawnFiles() { posix_spawn_file_actions_destroy(&actions); }
};

}  // namespace

std::string WorkerPath() {
    if (const char* p = std::getenv("LUMTWAIN_SANE_WORKER"); p && *p) return p;
    std::string dir = folder_of(own_file());
    std::string beside = dir + "/" + kWorkerName;
    if (access(beside.c_str(), X_OK) == 0) return beside;
    std::string lib = dir + "/../lib/" + kWorkerName;
    return access(lib.c_str(), X_OK) == 0 ? lib : beside;
}

int WorkerTimeoutMs() {
    const char* v = std::getenv("LUMTWAIN_SANE_TIMEOUT_MS");
    int ms = 0;
    if (v && std::from_chars(v, v + std::strlen(v), ms).ec == std::errc() && ms >= 100 &&
        ms <= 3600000)
        return ms;
    return 60000;
}

WorkerClient::Outcome WorkerClient::start(int timeout_ms) {
    if (running()) return Outcome::Ok;
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv) != 0) return Outcome::Unavailable;
    wire::UniqueFd ours(sv[0]), theirs(sv[1]);
    std::string path = WorkerPath(), parent = std::to_string(getpid());
    std::string fd = "3";
    char* argv[] = {path.data(),   const_cast<char*>("--fd"),
                    fd.data(),     const_cast<char*>("--parent"),
                    parent.data(), nullptr};
    SpawnAttributes attr;
    SpawnFiles files(theirs.get());
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), &files.actions, &attr.attr, argv, environ) != 0)
        return Outcome::Unavailable;
    m_pid = pid;
    m_socket = std::move(ours);
    ++m_generation;
    wire::Message reply;
    Outcome o = call(wire::Kind::Hello, {}, timeout_ms, &reply);
    if (o != Outcome::Ok) return o;
    wire::Reader r(reply.body);
    if (r.u32() != wire::kProtocolVersion || !r.at_end()) {
        kill_and_reap();
        return Outcome::Unavailable;
    }
    return Outcome::Ok;
}

WorkerClient::Outcome WorkerClient::call(wire::Kind kind, const std::vector<uint8_t>& body,
                                         int timeout_ms, wire::Message* reply, wire::UniqueFd* fd) {
    if (!running()) return Outcome::Died;
    if (!wire::Send(m_socket.get(), {kind, ++m_seq, body})) {
        kill_and_reap();
        return Outcome::Died;
    }
    return await(timeout_ms, reply, fd);
}

WorkerClient::Outcome WorkerClient::await(int timeout_ms, wire::Message* reply,
                                          wire::UniqueFd* fd) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{m_socket.get(), POLLIN, 0};
        int n = left.count() > 0 ? poll(&p, 1, int(left.count())) : 0;
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) {
            kill_and_reap();
            return Outcome::Timeout;
        }
        if (n < 0 || !wire::Receive(m_socket.get(), reply, fd)) {
            kill_and_reap();
            return Outcome::Died;
        }
        if (reply->seq != m_seq) continue;  // nothing older can arrive, but never take it
        if (reply->kind == wire::Kind::Reply) return Outcome::Ok;
        if (reply->kind == wire::Kind::Progress)
            deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    }
}

void WorkerClient::kill_and_reap() {
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        int status;
        // ECHILD: the host ignores SIGCHLD and the system reaped it already.
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    m_pid = -1;
    m_socket.reset();
}

bool WorkerClient::wait_exit(int timeout_ms) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        int status;
        pid_t r = waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid || (r < 0 && errno == ECHILD)) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void WorkerClient::stop() {
    if (!running()) return;
    wire::Message reply;
    if (call(wire::Kind::Exit, {}, kExitWaitMs, &reply) != Outcome::Ok) return;
    m_socket.reset();
    if (wait_exit(kExitWaitMs)) {
        m_pid = -1;
        return;
    }
    kill_and_reap();
}

}  // namespace lumtwain
