#include "support/scanimage.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "support/test_env.h"

namespace lumtest {
namespace {
struct PipeCloser {
    void operator()(FILE* f) const { pclose(f); }
};

}  // namespace

std::optional<Picture> scanimage(const std::string& args) {
    // scanimage runs libsane in its own process, where the test backend's reader thread can
    // be cancelled inside free() and hang it: keep its threads on deferred cancellation, as
    // the engine's SANE worker does.
    std::string preload = build_dir() + "/tests/engines/liblum_deferred_cancel.so";
    std::string cmd =
        "LD_PRELOAD=" + preload + " scanimage -d test:0 --format=pnm " + args + " 2>/dev/null";
    std::unique_ptr<FILE, PipeCloser> pipe(popen(cmd.c_str(), "r"));
    if (!pipe) return std::nullopt;
    std::string data;
    char buf[65536];
    for (size_t n; (n = fread(buf, 1, sizeof buf, pipe.get())) > 0;) data.append(buf, n);
    size_t pos = 0;
    auto token = [&]() {
        while (pos < data.size() && (isspace(uint8_t(data[pos])) || data[pos] == '#')) {
            if (data[pos] == '#')
                while (pos < data.size() && data[pos] != '\n') ++pos;
            else
                ++pos;
        }
        size_t start = pos;
        while (pos < data.size() && !isspace(uint8_t(data[pos]))) ++pos;
        return data.substr(start, pos - start);
    };
    const std::string magic = token();
    Picture pic;
    pic.channels = magic == "P6" ? 3 : 1;
    pic.width = std::atoi(token().c_str());
    pic.height = std::atoi(token().c_str());
    if (magic != "P4" && std::atoi(token().c_str()) != 255) return std::nullopt;
    if ((magic != "P4" && magic != "P5" && magic != "P6") || pic.width <= 0 || pic.height <= 0)
        return std::nullopt;
    ++pos;  // the single whitespace before the samples
    const size_t w = size_t(pic.width), h = size_t(pic.height);
    const size_t row = magic == "P4" ? (w + 7) / 8 : w * size_t(pic.channels);
    if (data.size() < pos + row * h) return std::nullopt;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(data.data()) + pos;
    if (magic != "P4") {
        pic.samples.assign(p, p + row * h);
        return pic;
    }
    pic.samples.resize(w * h);
    for (size_t y = 0; y < h; ++y)
        for (size_t x = 0; x < w; ++x)
            pic.samples[y * w + x] = (p[y * row + x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
    return pic;
}

}  // namespace lumtest
