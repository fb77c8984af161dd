// lumtwain-sane-worker: the process that loads libsane for the TWAIN engine, so that a
// backend that hangs or crashes takes only this process with it. The engine starts it with
// one end of a SOCK_SEQPACKET socket pair as `--fd N` and its own pid as `--parent P`, sends
// requests (common/protocol.h) and kills it when it stops answering.
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver.h"
#include "wire.h"

namespace lumtwain {
namespace {

using Clock = std::chrono::steady_clock;

// The pages' memory, shared with the engine: one memfd that grows to the largest page and is
// written again for each page, so that its memory is faulted in once, not for every page.
// The engine copies a page out (with pread, so it never maps the file) before it asks for the
// next one.
class PageMemory {
  public:
    ~PageMemory() { unmap(); }
    uint8_t* reserve(size_t bytes) {
        if (!m_fd) m_fd.reset(memfd_create("lumtwain-page", MFD_CLOEXEC));
        if (!m_fd) return nullptr;
        if (bytes > m_size) {
            unmap();
            if (ftruncate(m_fd.get(), off_t(bytes)) != 0) return nullptr;
            void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd.get(), 0);
            if (p == MAP_FAILED) return nullptr;
            m_map = static_cast<uint8_t*>(p);
            m_size = bytes;
        }
        return m_map;
    }
    int fd() const { return m_fd.get(); }

  private:
    void unmap() {
        if (m_map) munmap(m_map, m_size);
        m_map = nullptr;
        m_size = 0;
    }
    wire::UniqueFd m_fd;
    uint8_t* m_map = nullptr;
    size_t m_size = 0;
};

class Worker {
  public:
    explicit Worker(int socket) : m_socket(socket) {}
    void run();

  private:
    bool reply(uint32_t seq, const wire::Writer& w, int fd = -1) {
        return wire::Send(m_socket, {wire::Kind::Reply, seq, w.bytes()}, fd);
    }
    bool status_reply(uint32_t seq, int32_t status) {
        wire::Writer w;
        w.i32(status);
        return reply(seq, w);
    }
    bool handle(const wire::Message& m);
    bool scan(const wire::Message& m);

    int m_socket;
    SaneDriver m_driver;
    PageMemory m_pages;
};

bool Worker::scan(const wire::Message& m) {
    wire::Reader r(m.body);
    wire::ScanRequest request;
    if (!wire::Get(r, &request)) return status_reply(m.seq, SANE_STATUS_INVAL);
    Clock::time_point last = Clock::now();
    // Progress keeps the engine's deadline from running out while data arrives.
    auto progress = [&](uint64_t bytes) {
        if (Clock::now() - last < std::chrono::milliseconds(100)) return;
        last = Clock::now();
        wire::Writer w;
        w.u32(uint32_t(bytes));
        // An engine that went away shows at the reply.
        (void)wire::Send(m_socket, {wire::Kind::Progress, m.seq, w.bytes()});
    };
    wire::ScanReply result = m_driver.scan(
        request, [&](size_t bytes) { return m_pages.reserve(bytes); }, progress);
    wire::Writer w;
    wire::Put(w, result);
    return reply(m.seq, w, result.status == SANE_STATUS_GOOD ? m_pages.fd() : -1);
}

bool Worker::handle(const wire::Message& m) {
    wire::Reader r(m.body);
    wire::Writer w;
    switch (m.kind) {
        case wire::Kind::Hello:
            w.u32(wire::kProtocolVersion);
            return reply(m.seq, w);
        case wire::Kind::ListDevices: {
            std::vector<wire::DeviceInfo> devices;
            w.i32(m_driver.list(&devices));
            wire::Put(w, devices);
            return reply(m.seq, w);
        }
        case wire::Kind::Open: {
            std::string device = r.text();
            wire::OpenReply opened;
            opened.status = SANE_STATUS_INVAL;
            if (r.at_end()) opened = m_driver.open(device);
            wire::Put(w, opened);
            return reply(m.seq, w);
        }
        case wire::Kind::Scan:
            return scan(m);
        case wire::Kind::EndBatch:
            m_driver.end_batch(r.u32());
            return status_reply(m.seq, SANE_STATUS_GOOD);
        case wire::Kind::Close:
            m_driver.close(r.u32());
            return status_reply(m.seq, SANE_STATUS_GOOD);
        default:
            return status_reply(m.seq, SANE_STATUS_UNSUPPORTED);
    }
}

void Worker::run() {
    wire::Message m;
    while (wire::Receive(m_socket, &m, nullptr)) {
        if (m.kind == wire::Kind::Exit) {
            m_driver.shutdown();
            status_reply(m.seq, SANE_STATUS_GOOD);
            return;
        }
        if (!handle(m)) break;
    }
    m_driver.shutdown();  // the engine is gone
}

}  // namespace
}  // namespace lumtwain

int main(int argc, char** argv) {
    int fd = -1;
    long parent = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--fd") == 0) fd = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--parent") == 0) parent = std::atol(argv[i + 1]);
    }
    if (fd < 0) {
        std::fprintf(stderr, "usage: lumtwain-sane-worker --fd N [--parent PID]\n");
        return 2;
    }
    // A worker stuck in a backend still ends with the engine's process.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (parent != 0 && getppid() != pid_t(parent)) return 1;
    signal(SIGPIPE, SIG_IGN);
    lumtwain::Worker(fd).run();
    std::fflush(nullptr);
    // No exit handlers: backends leave threads and state behind that they would trip over.
    _exit(0);
}
