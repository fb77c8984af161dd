// Download throughput over the WinInet stand-in from local servers (tests/support/
// net_servers.py on 127.0.0.1): InternetReadFile at several read sizes, cInet::ReadArray
// with its default 1024-byte chunks, and FtpGetFileA.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "net/cInet.h"

extern char** environ;

namespace {

constexpr size_t kBodySize = 4 << 20;

// One server for the whole run, stopped at exit.
struct Server {
    pid_t pid = -1;
    int port = 0;
    ~Server() {
        if (pid > 0) ::kill(pid, SIGTERM), ::waitpid(pid, nullptr, 0);
    }
};

std::string folder() {
    static std::string dir = [] {
        std::string d = (std::filesystem::temp_directory_path() / "lum-bench-net").string();
        std::filesystem::create_directories(d);
        std::vector<char> body(kBodySize);
        for (size_t i = 0; i < body.size(); ++i) body[i] = char(i * 2654435761u >> 13);
        std::ofstream(d + "/body.bin", std::ios::binary)
            .write(body.data(), std::streamsize(body.size()));
        return d;
    }();
    return dir;
}

Server start(const char* kind) {
    Server s;
    const char* source = std::getenv("LUM_SOURCE_DIR");
    std::string root = source ? source : LUM_SOURCE_DIR;
    std::string script = root + "/tests/support/net_servers.py";
    std::string dir = folder(), k = kind, py = "/usr/bin/python3", life = "--lifetime",
                secs = "600";
    char* argv[] = {py.data(),   script.data(), k.data(), dir.data(),
                    life.data(), secs.data(),   nullptr};
    int out[2];
    if (::pipe(out) != 0) return s;
    posix_spawn_file_actions_t a;
    posix_spawn_file_actions_init(&a);
    posix_spawn_file_actions_adddup2(&a, out[1], 1);
    if (posix_spawn(&s.pid, argv[0], &a, nullptr, argv, environ) != 0) s.pid = -1;
    posix_spawn_file_actions_destroy(&a);
    ::close(out[1]);
    pollfd p{out[0], POLLIN, 0};
    char line[64] = {};
    if (s.pid > 0 && ::poll(&p, 1, 10000) > 0 && ::read(out[0], line, sizeof line - 1) > 6)
        s.port = std::atoi(line + 6);
    ::close(out[0]);
    return s;
}

Server& http() {
    static Server s = start("http");
    return s;
}

Server& ftp() {
    static Server s = start("ftp");
    return s;
}

void BM_InternetReadFile(benchmark::State& state) {
    if (http().port == 0) return state.SkipWithError("no HTTP server");
    DWORD chunk = DWORD(state.range(0));
    std::vector<uint8_t> buffer(chunk);
    HINTERNET root = InternetOpenA("bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    for (auto _ : state) {
        HINTERNET c = InternetConnectA(root, "127.0.0.1", INTERNET_PORT(http().port), nullptr,
                                       nullptr, INTERNET_SERVICE_HTTP, 0, 0);
        HINTERNET r =
            HttpOpenRequestA(c, "GET", "/files/body.bin", "HTTP/1.0", nullptr, nullptr, 0, 0);
        HttpSendRequestA(r, nullptr, 0, nullptr, 0);
        DWORD n = 0;
        size_t total = 0;
        while (InternetReadFile(r, buffer.data(), chunk, &n) && n > 0) total += n;
        if (total != kBodySize) state.SkipWithError("short body");
        InternetCloseHandle(c);
    }
    InternetCloseHandle(root);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBodySize));
}
BENCHMARK(BM_InternetReadFile)->Arg(1024)->Arg(16384)->Arg(262144)->Unit(benchmark::kMillisecond);

void BM_CInetReadArray(benchmark::State& state) {
    if (http().port == 0) return state.SkipWithError("no HTTP server");
    for (auto _ : state) {
        cInet inet;
        inet.Request("GET", "127.0.0.1", "/files/body.bin", http().port, 3, "*/*");
        inet.SendRequest("");
        std::string unused;
        int32_t length = 0;
        inet.QueryInfo(0x20000005, unused, length);
        SafeArray<uint8_t> bytes;
        if (!inet.ReadArray(bytes, length) || size_t(length) != kBodySize)
            state.SkipWithError("download failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBodySize));
}
BENCHMARK(BM_CInetReadArray)->Unit(benchmark::kMillisecond);

void BM_FtpGetFile(benchmark::State& state) {
    if (ftp().port == 0) return state.SkipWithError("no FTP server");
    HINTERNET root = InternetOpenA("bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET s = InternetConnectA(root, "127.0.0.1", INTERNET_PORT(ftp().port), "user", "secret",
                                   INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0);
    std::string local = folder() + "/got.bin";
    for (auto _ : state)
        if (!FtpGetFileA(s, "body.bin", local.c_str(), FALSE, 0, 0, 0))
            state.SkipWithError("download failed");
    InternetCloseHandle(root);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBodySize));
}
BENCHMARK(BM_FtpGetFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
