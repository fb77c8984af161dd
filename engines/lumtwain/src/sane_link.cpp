#include "sane_link.h"

#include <sane/sane.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "codes.h"
#include "dib.h"
#include "dib_view.h"
#include "lumtwainpro/host.h"

namespace lumtwain {
namespace {

TransferResult failure(int condition) {
    return {TransferResult::Kind::Failed, condition, 0};
}

// What a scan's SANE status means for the transfer.
TransferResult from_status(int status) {
    switch (status) {
        case SANE_STATUS_NO_DOCS:
            return {TransferResult::Kind::NoMedia, kTwccNoMedia, 0};
        case SANE_STATUS_CANCELLED:
            return {TransferResult::Kind::UserClosed, 0, 0};
        case SANE_STATUS_JAMMED:
            return failure(kTwccPaperJam);
        case SANE_STATUS_NO_MEM:
            return failure(kTwccLowMemory);
        case SANE_STATUS_DEVICE_BUSY:
            return failure(kTwccCheckDeviceOnline);
        default:
            return failure(kTwccOperationError);
    }
}

// libsane's own texts stay in the worker: the engine never loads libsane.
const char* status_text(int status) {
    static const char* const kTexts[] = {"success",
                                         "operation not supported",
                                         "operation was cancelled",
                                         "device busy",
                                         "invalid argument",
                                         "end of file reached",
                                         "document feeder jammed",
                                         "document feeder out of documents",
                                         "scanner cover is open",
                                         "error during device I/O",
                                         "out of memory",
                                         "access to resource has been denied"};
    return status >= 0 && size_t(status) < std::size(kTexts) ? kTexts[status] : "unknown status";
}

bool read_all(int fd, uint8_t* dst, size_t bytes) {
    size_t done = 0;
    while (done < bytes) {
        ssize_t n = pread(fd, dst + done, bytes - done, off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

}  // namespace

bool IsWholeDib(const uint8_t* data, size_t size) {
    std::optional<DibView> v = ParseDib(data, size);
    if (!v) return false;
    const BITMAPINFOHEADER& h = v->header;
    DibFormat format{h.biWidth, h.biHeight, h.biBitCount, 100, 100, false};
    std::optional<DibLayout> layout = ComputeDibLayout(format);
    return h.biSize == sizeof(BITMAPINFOHEADER) && h.biHeight > 0 && h.biPlanes == 1 && layout &&
           layout->total == size && v->palette.size() == layout->palette_entries;
}

HGLOBAL ReadWorkerDib(int fd, uint64_t bytes, int* condition) {
    struct stat st {};
    *condition = kTwccOperationError;
    if (fd < 0 || bytes < sizeof(BITMAPINFOHEADER) || bytes > kMaxDibBytes || fstat(fd, &st) != 0 ||
        uint64_t(st.st_size) < bytes)
        return 0;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size_t(bytes));
    auto* dst = block ? static_cast<uint8_t*>(GlobalLock(block)) : nullptr;
    if (!dst) {
        if (block) GlobalFree(block);
        *condition = kTwccLowMemory;
        return 0;
    }
    bool ok = read_all(fd, dst, size_t(bytes)) && IsWholeDib(dst, size_t(bytes));
    GlobalUnlock(block);
    if (ok) return block;
    GlobalFree(block);
    return 0;
}

void SaneLink::say(const std::string& text) const {
    if (verbose) std::fprintf(stderr, "lumtwain: %s\n", text.c_str());
}

int SaneLink::failed(WorkerClient::Outcome o, const char* what) {
    switch (o) {
        case WorkerClient::Outcome::Timeout:
            say(std::string("the SANE worker gave no answer to ") + what + " within " +
                std::to_string(m_timeout_ms) + " ms and was stopped");
            return kTwccCheckDeviceOnline;
        case WorkerClient::Outcome::Unavailable:
            say("the SANE worker " + WorkerPath() + " could not be started");
            return kTwccNoDs;
        default:
            say(std::string("the SANE worker ended during ") + what);
            return kTwccBummer;
    }
}

std::optional<wire::Message> SaneLink::request(wire::Kind kind, const std::vector<uint8_t>& body,
                                               int* condition, wire::UniqueFd* fd) {
    static const char* const kNames[] = {"",       "hello",    "the device list", "an open",
                                         "a scan", "a cancel", "a close",         "exit"};
    const char* what = kNames[std::min<size_t>(size_t(kind), 7)];
    WorkerClient::Outcome o = m_worker.start(m_timeout_ms);
    if (o != WorkerClient::Outcome::Ok) return *condition = failed(o, "its start"), std::nullopt;
    wire::Message reply;
    o = m_worker.call(kind, body, m_timeout_ms, &reply, fd);
    if (o != WorkerClient::Outcome::Ok) return *condition = failed(o, what), std::nullopt;
    return reply;
}

std::vector<wire::DeviceInfo> SaneLink::list_devices() {
    int condition = 0;
    std::vector<wire::DeviceInfo> devices;
    std::optional<wire::Message> m = request(wire::Kind::ListDevices, {}, &condition);
    if (!m) return devices;
    wire::Reader r(m->body);
    int32_t status = r.i32();
    if (!wire::Get(r, &devices) || !r.at_end()) {
        say("the SANE worker sent a device list out of shape");
        m_worker.stop();
        devices.clear();
    } else if (status != SANE_STATUS_GOOD) {
        say(std::string("listing SANE devices: ") + status_text(status));
    }
    return devices;
}

std::optional<wire::OpenReply> SaneLink::open(const std::string& device, int* condition) {
    wire::Writer w;
    w.text(device);
    std::optional<wire::Message> m = request(wire::Kind::Open, w.take(), condition);
    if (!m) return std::nullopt;
    wire::Reader r(m->body);
    wire::OpenReply reply;
    if (!wire::Get(r, &reply) || !r.at_end()) {
        say("the SANE worker answered an open out of shape");
        m_worker.stop();
        return *condition = kTwccBummer, std::nullopt;
    }
    if (reply.status == SANE_STATUS_GOOD) return reply;
    *condition = reply.status == SANE_STATUS_DEVICE_BUSY ? 4 /* TWCC_MAXCONNECTIONS */ : kTwccNoDs;
    return std::nullopt;
}

TransferResult SaneLink::scan(const wire::ScanRequest& request_, double* dpi) {
    wire::Writer w;
    wire::Put(w, request_);
    wire::UniqueFd fd;
    int condition = 0;
    std::optional<wire::Message> m = request(wire::Kind::Scan, w.take(), &condition, &fd);
    if (!m) return failure(condition);
    wire::Reader r(m->body);
    wire::ScanReply reply;
    if (!wire::Get(r, &reply) || !r.at_end()) {
        say("the SANE worker answered a scan out of shape");
        m_worker.stop();
        return failure(kTwccBummer);
    }
    if (!reply.reason.empty()) say("scan refused: " + reply.reason);
    if (reply.status != SANE_STATUS_GOOD)
        return reply.refusal == wire::Refusal::BadParameters ? failure(kTwccOperationError)
                                                             : from_status(reply.status);
    HGLOBAL block = ReadWorkerDib(fd.get(), reply.dib_bytes, &condition);
    if (!block) {
        say("the SANE worker's page is not a whole DIB");
        return failure(condition);
    }
    *dpi = reply.dpi;
    return {TransferResult::Kind::Image, 0, block};
}

void SaneLink::end_batch(uint32_t handle, uint32_t generation) {
    if (!running() || generation != m_worker.generation()) return;
    wire::Writer w;
    w.u32(handle);
    wire::Message reply;
    WorkerClient::Outcome o = m_worker.call(wire::Kind::EndBatch, w.take(), m_timeout_ms, &reply);
    if (o != WorkerClient::Outcome::Ok) failed(o, "a cancel");
}

void SaneLink::close(uint32_t handle, uint32_t generation) {
    if (!running() || generation != m_worker.generation()) return;
    wire::Writer w;
    w.u32(handle);
    wire::Message reply;
    WorkerClient::Outcome o = m_worker.call(wire::Kind::Close, w.take(), m_timeout_ms, &reply);
    if (o != WorkerClient::Outcome::Ok) failed(o, "a close");
}

}  // namespace lumtwain
