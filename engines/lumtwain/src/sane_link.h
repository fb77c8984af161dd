// SANE through the session's worker process: typed requests over WorkerClient, with the
// worker's failures turned into TWAIN condition codes. The first request starts a worker; a
// request after a worker was killed starts a fresh one.
//
// Conditions: TWCC_CHECKDEVICEONLINE (23) when the worker stopped answering within its
// deadline, TWCC_BUMMER (1) when it died or spoke out of turn, TWCC_NODS (3) when the worker
// program cannot be started, TWCC_OPERATIONERROR (5) when the backend's frame parameters
// did not fit its data.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "protocol.h"
#include "source.h"
#include "worker_client.h"

namespace lumtwain {

class SaneLink {
  public:
    SaneLink() : m_timeout_ms(WorkerTimeoutMs()) {}

    // Failures and refusals are described on standard error when set.
    bool verbose = false;

    uint32_t generation() const { return m_worker.generation(); }
    bool running() const { return m_worker.running(); }
    pid_t worker_pid() const { return m_worker.pid(); }

    // Local devices, sorted by name; empty when the worker cannot list them.
    std::vector<wire::DeviceInfo> list_devices();
    // The device opened in the current worker, or nullopt with `condition`.
    [[nodiscard]] std::optional<wire::OpenReply> open(const std::string& device, int* condition);
    // One page into a movable global block holding its DIB; `dpi` receives the resolution
    // the device scanned at.
    [[nodiscard]] TransferResult scan(const wire::ScanRequest& request, double* dpi);
    // Both do nothing when the handle belongs to an earlier worker.
    void end_batch(uint32_t handle, uint32_t generation);
    void close(uint32_t handle, uint32_t generation);
    void stop() { m_worker.stop(); }

  private:
    // The reply to a request, starting the worker first; nullopt with `condition`.
    std::optional<wire::Message> request(wire::Kind kind, const std::vector<uint8_t>& body,
                                         int* condition, wire::UniqueFd* fd = nullptr);
    int failed(WorkerClient::Outcome o, const char* what);
    void say(const std::string& text) const;

    WorkerClient m_worker;
    int m_timeout_ms;
};

// Copies a DIB the worker wrote to `fd` (`bytes` long) into a movable global block, checking
// that it is a whole, well-formed packed DIB of 1, 8 or 24 bits. 0 with `condition` when not.
[[nodiscard]] HGLOBAL ReadWorkerDib(int fd, uint64_t bytes, int* condition);
// The same check on bytes in memory (also for the fuzz target).
bool IsWholeDib(const uint8_t* data, size_t size);

}  // namespace lumtwain
