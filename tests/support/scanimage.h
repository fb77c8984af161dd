// scanimage's output as a picture, for tests that check SANE devices against it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumtest {

// An 8-bit-per-sample picture, 1 or 3 channels, rows top-down (P4 is expanded: 0 black).
struct Picture {
    int width = 0, height = 0, channels = 0;
    std::vector<uint8_t> samples;
    const uint8_t* at(int x, int y) const {
        return &samples[(size_t(y) * size_t(width) + size_t(x)) * size_t(channels)];
    }
};

// scanimage's P4, P5 or P6 output for test:0 with the given options; nullopt on failure.
// Needs the build's liblum_deferred_cancel.so (tests/engines).
std::optional<Picture> scanimage(const std::string& args);

}  // namespace lumtest
