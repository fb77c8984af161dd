// The engine's end of its SANE worker process: starts the program, sends requests and waits
// for each reply within a deadline, and kills a worker that stops answering or dies. Every
// worker it started is reaped, so none is left as a zombie.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "wire.h"

namespace lumtwain {

// The worker program: LUMTWAIN_SANE_WORKER, else lumtwain-sane-worker beside the engine
// library (or in ../lib from a program that links the engine statically).
std::string WorkerPath();
// Milliseconds a request may go without an answer or, while a scan runs, without progress:
// LUMTWAIN_SANE_TIMEOUT_MS (100..3600000), default 60000.
int WorkerTimeoutMs();

class WorkerClient {
  public:
    enum class Outcome { Ok, Timeout, Died, Unavailable };

    WorkerClient() = default;
    ~WorkerClient() { stop(); }
    WorkerClient(const WorkerClient&) = delete;
    WorkerClient& operator=(const WorkerClient&) = delete;

    bool running() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    // Changes every time a worker starts: what a device opened in an earlier one is not known
    // to the new one.
    uint32_t generation() const { return m_generation; }

    // Starts a worker when none runs and checks that it answers.
    [[nodiscard]] Outcome start(int timeout_ms);
    // Sends a request and waits for its reply. Progress messages of the request restart the
    // deadline. On Timeout and Died the worker has been killed and reaped.
    [[nodiscard]] Outcome call(wire::Kind kind, const std::vector<uint8_t>& body, int timeout_ms,
                               wire::Message* reply, wire::UniqueFd* fd = nullptr);
    // Asks the worker to end, waits for it briefly and kills it when it does not.
    void stop();

  private:
    Outcome await(int timeout_ms, wire::Message* reply, wire::UniqueFd* fd);
    void kill_and_reap();
    bool wait_exit(int timeout_ms);

    pid_t m_pid = -1;
    wire::UniqueFd m_socket;
    uint32_t m_seq = 0;
    uint32_t m_generation = 0;
};

}  // namespace lumtwain
