// SANE devices as TWAIN sources. Every libsane call happens in the session's worker process
// (sane_link.h); a source keeps the device's option model in its capability table, so reads
// never wait for the worker, and it opens its device again in a fresh worker after the last
// one was stopped.
#pragma once

#include <memory>
#include <string>

#include "protocol.h"
#include "sane_link.h"
#include "source.h"

namespace lumtwain {

// False when LUMTWAIN_SANE=0: SANE is skipped entirely.
bool SaneEnabled();
// "vendor model (device)", e.g. "Noname frontend-tester (test:0)".
std::string SaneSourceName(const wire::DeviceInfo& device);

// Opens `device` through `link`; null with `condition` (TWCC_*) when it cannot be opened.
std::unique_ptr<Source> OpenSaneSource(const std::string& source_name, const std::string& device,
                                       std::shared_ptr<SaneLink> link, int* condition);

}  // namespace lumtwain
