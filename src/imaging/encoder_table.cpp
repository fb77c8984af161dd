#include "imaging/encoder_table.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <vector>

#include "platform/gdiplus/gdiplus.h"

namespace modGdiplus {
namespace {

struct EncoderTable {
    bool built = false;
    std::vector<CLSID> clsids;
    std::map<std::string, int32_t> by_pattern;  // upper-cased keys
};

EncoderTable& table() {
    thread_local EncoderTable t;
    return t;
}

std::string upper(std::string s) {
    for (char& c : s) c = char(std::toupper((unsigned char)c));
    return s;
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

}  // namespace

void BuildEncoderTable() {
    EncoderTable& t = table();
    t = EncoderTable{};
    const auto& encoders = LumGdiplusEncoders();
    for (const auto& e : encoders) t.clsids.push_back(e.Clsid);
    // Entered from the last encoder to the first, so an earlier one wins a shared key.
    for (int32_t i = int32_t(encoders.size()) - 1; i >= 0; --i) {
        const std::string& text = encoders[size_t(i)].FilenameExtension;
        std::vector<std::string> pieces;
        size_t start = 0;
        for (size_t semi; (semi = text.find(';', start)) != std::string::npos; start = semi + 1)
            pieces.push_back(text.substr(start, semi - start));
        std::string last = trim(text.substr(start));
        if (!last.empty()) pieces.push_back(last);
        for (const auto& p : pieces) t.by_pattern[upper(p)] = i;
    }
    t.built = true;
}

void ClearEncoderTable() { table() = EncoderTable{}; }

int32_t FindEncoder(const std::string& pattern) {
    const EncoderTable& t = table();
    if (!t.built) return -1;
    auto it = t.by_pattern.find(upper(pattern));
    return it == t.by_pattern.end() ? -1 : it->second;
}

const CLSID& EncoderClsid(int32_t index) { return table().clsids.at(size_t(index)); }

}  // namespace modGdiplus
