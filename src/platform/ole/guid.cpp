// Interface identifiers and GUID text.
#include <cctype>
#include <cstdio>

#include "lumtwainpro/ole.h"

namespace {
constexpr GUID com_iid(uint32_t d1) {
    return ole::MakeGuid(d1, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
}
}  // namespace

const IID IID_IUnknown = com_iid(0x00000000);
const IID IID_IDispatch = com_iid(0x00020400);
const IID IID_IStream = com_iid(0x0000000C);
const IID IID_ISequentialStream =
    ole::MakeGuid(0x0C733A30, 0x2A1C, 0x11CE, 0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D);
const IID IID_IPicture =
    ole::MakeGuid(0x7BF80980, 0xBF32, 0x101A, 0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB);
const IID IID_IPictureDisp =
    ole::MakeGuid(0x7BF80981, 0xBF32, 0x101A, 0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB);
const IID IID_IClassFactory = com_iid(0x00000001);
const IID IID_IObjectSafety =
    ole::MakeGuid(0xCB5BDC81, 0x93C1, 0x11CF, 0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64);
const IID IID_IPersistStorage = com_iid(0x0000010A);
const IID IID_IPersistStream = com_iid(0x00000109);
const IID IID_IPersistPropertyBag =
    ole::MakeGuid(0x37D84F60, 0x42CB, 0x11CE, 0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51);

namespace ole {

std::string GuidToString(const GUID& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1,
                  g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

bool ParseGuid(std::string_view text, GUID* out) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}')
        text = text.substr(1, 36);
    if (text.size() != 36) return false;
    uint8_t bytes[16];
    int n = 0;
    for (size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') return false;
            ++i;
            continue;
        }
        if (!std::isxdigit((unsigned char)text[i]) || !std::isxdigit((unsigned char)text[i + 1]))
            return false;
        bytes[n++] = uint8_t(std::stoi(std::string(text.substr(i, 2)), nullptr, 16));
        i += 2;
    }
    GUID g;
    g.Data1 = uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 |
              bytes[3];
    g.Data2 = uint16_t(bytes[4] << 8 | bytes[5]);
    g.Data3 = uint16_t(bytes[6] << 8 | bytes[7]);
    std::memcpy(g.Data4, bytes + 8, 8);
    if (out) *out = g;
    return true;
}

}  // namespace ole

int StringFromGUID2(REFIID guid, char* out, int max) {
    std::string s = ole::GuidToString(guid);
    if (!out || max < int(s.size()) + 1) return 0;
    std::memcpy(out, s.c_str(), s.size() + 1);
    return int(s.size()) + 1;
}

HRESULT CLSIDFromString(const char* text, CLSID* out) {
    if (!text || !out) return E_INVALIDARG;
    std::string_view t(text);
    if (t.size() != 38 || t.front() != '{') return static_cast<HRESULT>(0x800401F3u);
    return ole::ParseGuid(t, out) ? S_OK : static_cast<HRESULT>(0x800401F3u);  // CO_E_CLASSSTRING
}

std::string UuidToStringA(const GUID& guid) {
    std::string s = ole::GuidToString(guid).substr(1, 36);
    for (char& c : s) c = char(std::tolower((unsigned char)c));
    return s;
}
