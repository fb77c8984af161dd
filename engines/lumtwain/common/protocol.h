// What the engine and its SANE worker say to each other. Each request gets one Reply with
// the request's sequence number; a scan may send Progress messages before its Reply. Every
// Get* validates what it reads and returns false for anything out of shape.
//
//   Hello      -> Reply: u32 protocol version
//   ListDevices-> Reply: i32 status, devices
//   Open name  -> Reply: OpenReply
//   Scan       -> Progress*, Reply: ScanReply (+ a memfd holding the DIB when status is GOOD;
//                 the same memfd is written again for the next page)
//   EndBatch h, Close h -> Reply: i32 status
//   Exit       -> Reply, then the worker stops libsane and ends
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wire.h"

namespace lumtwain::wire {

constexpr uint32_t kProtocolVersion = 1;

struct DeviceInfo {
    std::string name;  // SANE device name, e.g. "test:0"
    std::string vendor;
    std::string model;
};

// One SANE option as the worker read it at open, with its value when it is a single number
// or a text.
struct OptionInfo {
    std::string name;
    int32_t type = 0;  // SANE_Value_Type
    int32_t size = 0;
    int32_t cap = 0;
    std::vector<std::string> strings;  // string list constraint
    std::vector<double> words;         // word list constraint
    bool has_range = false;
    double min = 0, max = 0, quant = 0;
    bool has_number = false;
    double number = 0;
    bool has_text = false;
    std::string text;
};

struct OpenReply {
    int32_t status = 0;  // SANE_Status
    uint32_t handle = 0;
    std::vector<OptionInfo> options;
};

// Millimetres.
struct Rect {
    double left = 0, top = 0, right = 0, bottom = 0;
};

struct ScanRequest {
    uint32_t handle = 0;
    int32_t pixel_type = 1;  // TWPT_BW, GRAY, RGB: the DIB the worker builds
    double dpi = 100;
    std::string source;  // the `source` option's entry to select, empty to leave it
    Rect frame, bed;
    double brightness = 0, contrast = 0, threshold = 128;
};

// Why the worker gave no page besides the backend's own status.
enum class Refusal : int32_t {
    None = 0,
    BadParameters = 1,  // the backend's frame parameters do not fit its data or our limits
    TooLarge = 2,
    NoMemory = 3,
};

struct ScanReply {
    int32_t status = 0;  // SANE_Status
    Refusal refusal = Refusal::None;
    std::string reason;      // for the debug log
    uint64_t dib_bytes = 0;  // size of the packed DIB in the memfd
    double dpi = 0;          // the resolution the device scanned at
};

void Put(Writer& w, const std::vector<DeviceInfo>& devices);
[[nodiscard]] bool Get(Reader& r, std::vector<DeviceInfo>* devices);
void Put(Writer& w, const OptionInfo& o);
[[nodiscard]] bool Get(Reader& r, OptionInfo* o);
void Put(Writer& w, const OpenReply& o);
[[nodiscard]] bool Get(Reader& r, OpenReply* o);
void Put(Writer& w, const ScanRequest& s);
[[nodiscard]] bool Get(Reader& r, ScanRequest* s);
void Put(Writer& w, const ScanReply& s);
[[nodiscard]] bool Get(Reader& r, ScanReply* s);

}  // namespace lumtwain::wire
