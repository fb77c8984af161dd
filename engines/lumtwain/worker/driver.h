// libsane as the worker drives it: the device list, open devices by handle number, option
// settings and scans into a DIB. Not thread-safe (nor is libsane): one thread calls it.
// The benchmark also runs it in-process, as the engine did before it had a worker.
#pragma once

#include <sane/sane.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "protocol.h"
#include "sane_frame.h"
#include "sane_options.h"

namespace lumtwain {

// Where a scan's DIB goes: asked for `bytes`, returns memory to write them to, or null.
using DibSink = std::function<uint8_t*(size_t bytes)>;
// Told the bytes read so far while a scan runs.
using ProgressFn = std::function<void(uint64_t bytes)>;

class SaneDriver {
  public:
    SaneDriver() = default;
    ~SaneDriver();
    SaneDriver(const SaneDriver&) = delete;
    SaneDriver& operator=(const SaneDriver&) = delete;

    // Local devices, sorted by name; starts libsane first.
    SANE_Status list(std::vector<wire::DeviceInfo>* devices);
    wire::OpenReply open(const std::string& device);
    void end_batch(uint32_t handle);
    void close(uint32_t handle);
    // Scans one page. On SANE_STATUS_GOOD the DIB has been written to the sink and the reply
    // says its size; on any other status the scan has been cancelled.
    wire::ScanReply scan(const wire::ScanRequest& request, const DibSink& sink,
                         const ProgressFn& progress);
    // Closes every device and stops libsane.
    void shutdown();

  private:
    struct Device {
        SANE_Handle handle = nullptr;
        std::unique_ptr<SaneOptions> options;
        bool scanning = false;
        double dpi = 0;
    };
    bool start();
    Device* find(uint32_t handle);
    void apply(Device& d, const wire::ScanRequest& r);
    SANE_Status read_frames(Device& d, FrameSet* frames, wire::ScanReply* reply,
                            const ProgressFn& progress);
    SANE_Status read_frame(Device& d, std::vector<uint8_t>* data, const ProgressFn& progress,
                           uint64_t* total);

    bool m_started = false;
    uint32_t m_next_handle = 1;
    std::map<uint32_t, Device> m_devices;
};

// The options of an open device as the engine sees them.
std::vector<wire::OptionInfo> DescribeOptions(const SaneOptions& options);

}  // namespace lumtwain
