// GdiplusStartup / GdiplusShutdown, counted per thread, and the file version.
#include <algorithm>
#include <cstdlib>
#include <optional>

#include "platform/gdiplus/image_p.h"

namespace {

struct Session {
    std::vector<ULONG> tokens;
    ULONG next_token = 1;
};

Session& session() {
    thread_local Session s;
    return s;
}

}  // namespace

namespace gdip {
bool session_started() { return !session().tokens.empty(); }
}  // namespace gdip

GpStatus GdiplusStartup(ULONG* token, const GdiplusStartupInput* input,
                        GdiplusStartupOutput* output) {
    if (!token || !input) return Gdiplus::InvalidParameter;
    if (input->GdiplusVersion < 1 || input->GdiplusVersion > 3)
        return Gdiplus::UnsupportedGdiplusVersion;
    if (input->SuppressBackgroundThread && !output) return Gdiplus::InvalidParameter;
    if (output) *output = GdiplusStartupOutput{};
    Session& s = session();
    *token = s.next_token++;
    s.tokens.push_back(*token);
    return Gdiplus::Ok;
}

void GdiplusShutdown(ULONG token) {
    Session& s = session();
    auto it = std::find(s.tokens.begin(), s.tokens.end(), token);
    if (it == s.tokens.end()) return;
    s.tokens.erase(it);
    if (!s.tokens.empty()) return;
    // The last shutdown on the thread invalidates every image object, as GDI+ does.
    std::vector<uint32_t> live = gdip::images().ordered();
    for (auto it = live.rbegin(); it != live.rend(); ++it) gdip::images().erase(*it);
}

void LumGdiplusSetFileVersion(const std::string& version) { win::SetGdiplusFileVersion(version); }

std::string LumGdiplusFileVersion() { return win::GdiplusFileVersion(); }
