// SANE devices as TWAIN sources. Every libsane call runs on one worker thread of the process
// (libsane is not thread-safe); sources hold their option model in their capability table, so
// reads never reach libsane.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "source.h"

namespace lumtwain {

struct SaneDeviceInfo {
    std::string name;  // SANE device name, e.g. "test:0"
    std::string vendor;
    std::string model;
    std::string source_name() const { return vendor + " " + model + " (" + name + ")"; }
};

// False when LUMTWAIN_SANE=0: SANE is skipped entirely.
bool SaneEnabled();
// Local devices, sorted by device name. Starts libsane (sane_init) when it is not running and
// counts the caller as a user until ReleaseSane.
std::vector<SaneDeviceInfo> AcquireSaneDevices();
// One user fewer; the last one stops libsane (sane_exit), so a new SANE_CONFIG_DIR is read on
// the next start.
void ReleaseSane();

// Opens `device`; null with `condition` (TWCC_*) when it cannot be opened.
std::unique_ptr<Source> OpenSaneSource(const std::string& source_name, const std::string& device,
                                       int* condition);

}  // namespace lumtwain
