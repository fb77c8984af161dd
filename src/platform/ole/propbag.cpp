// The file property bag. One property per line, in the order they were first written:
//
//   # LumTwain Pro property bag
//   Zoom=R8:1.5
//   ScrollBars=BOOL:-1
//   Caption=BSTR:two\nlines
//   MouseIcon=PIC:ICON:32x32:<base64 BGRA colour>:<base64 BGRA mask>
//   Picture=PIC:BMP:640x480:<base64 BGRA rows, top first>
//   Empty=PIC:NONE
//
// Types: I2, I4, UI1, R4, R8, BOOL, BSTR (\\, \n, \r escaped), PIC. A line that does not
// parse is skipped, so its property takes its reader's default.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>

#include "lumtwainpro/propbag.h"
#include "platform/number_text.h"
#include "platform/win/file.h"
#include "platform/win/window_p.h"

const IID IID_IPropertyBag =
    ole::MakeGuid(0x55272A00, 0x42CB, 0x11CE, 0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51);

namespace {

constexpr size_t kMaxFileBytes = size_t(16) << 20;
constexpr int64_t kMaxPicturePixels = int64_t(4) << 20;

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(const std::vector<uint8_t>& in) {
    std::string out;
    out.reserve((in.size() + 2) / 3 * 4);
    for (size_t i = 0; i < in.size(); i += 3) {
        uint32_t v = uint32_t(in[i]) << 16;
        if (i + 1 < in.size()) v |= uint32_t(in[i + 1]) << 8;
        if (i + 2 < in.size()) v |= in[i + 2];
        out += kBase64[v >> 18 & 63];
        out += kBase64[v >> 12 & 63];
        out += i + 1 < in.size() ? kBase64[v >> 6 & 63] : '=';
        out += i + 2 < in.size() ? kBase64[v & 63] : '=';
    }
    return out;
}

bool unbase64(std::string_view in, std::vector<uint8_t>* out) {
    if (in.size() % 4) return false;
    out->clear();
    out->reserve(in.size() / 4 * 3);
    for (size_t i = 0; i < in.size(); i += 4) {
        uint32_t v = 0;
        int pad = 0;
        for (size_t j = 0; j < 4; ++j) {
            char c = in[i + j];
            const char* at = c ? std::strchr(kBase64, c) : nullptr;
            if (c == '=' && i + 4 == in.size() && j >= 2) {
                ++pad;
                v <<= 6;
                continue;
            }
            if (!at || pad) return false;
            v = v << 6 | uint32_t(at - kBase64);
        }
        out->push_back(uint8_t(v >> 16));
        if (pad < 2) out->push_back(uint8_t(v >> 8));
        if (pad < 1) out->push_back(uint8_t(v));
    }
    return true;
}

std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

bool unescape(std::string_view s, std::string* out) {
    out->clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            *out += s[i];
            continue;
        }
        if (++i == s.size()) return false;
        if (s[i] == '\\')
            *out += '\\';
        else if (s[i] == 'n')
            *out += '\n';
        else if (s[i] == 'r')
            *out += '\r';
        else
            return false;
    }
    return true;
}

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

template <class T>
bool parse_number(std::string_view s, T* out) {
    if (s.empty()) return false;
    auto r = std::from_chars(s.data(), s.data() + s.size(), *out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// "WxH:" then the base64 of W*H BGRA pixels.
bool parse_pixels(std::string_view s, int* w, int* h, std::vector<uint8_t>* bgra,
                  std::string_view* rest) {
    size_t x = s.find('x'), colon = s.find(':');
    if (x == std::string_view::npos || colon == std::string_view::npos || x > colon) return false;
    if (!parse_number(s.substr(0, x), w) || !parse_number(s.substr(x + 1, colon - x - 1), h))
        return false;
    if (*w <= 0 || *h <= 0 || int64_t(*w) * *h > kMaxPicturePixels) return false;
    s = s.substr(colon + 1);
    size_t end = s.find(':');
    if (!unbase64(s.substr(0, end), bgra) || bgra->size() != size_t(*w) * size_t(*h) * 4)
        return false;
    *rest = end == std::string_view::npos ? std::string_view() : s.substr(end + 1);
    return true;
}

ComPtr<IPicture> make_picture(PICTDESC& desc) {
    ComPtr<IPicture> p;
    if (FAILED(
            OleCreatePictureIndirect(&desc, IID_IPicture, TRUE, reinterpret_cast<void**>(p.put()))))
        return nullptr;
    return p;
}

bool parse_picture(std::string_view s, VARIANT* v) {
    if (s == "NONE") {
        *v = VARIANT::Unknown(nullptr);
        return true;
    }
    bool icon = s.starts_with("ICON:");
    if (!icon && !s.starts_with("BMP:")) return false;
    int w = 0, h = 0, mw = 0, mh = 0;
    std::vector<uint8_t> color, mask;
    std::string_view rest;
    if (!parse_pixels(s.substr(icon ? 5 : 4), &w, &h, &color, &rest)) return false;
    PICTDESC desc;
    if (!icon) {
        if (!rest.empty()) return false;
        desc.picType = PICTYPE_BITMAP;
        desc.bmp.hbitmap = win::bitmap_from_bgra(w, h, color);
        if (!desc.bmp.hbitmap) return false;
    } else {
        std::string_view none;
        std::string text = std::to_string(w) + "x" + std::to_string(h) + ":" + std::string(rest);
        if (!parse_pixels(text, &mw, &mh, &mask, &none) || !none.empty()) return false;
        ICONINFO info{TRUE, 0, 0, win::bitmap_from_bgra(mw, mh, mask),
                      win::bitmap_from_bgra(w, h, color)};
        desc.picType = PICTYPE_ICON;
        desc.icon.hicon = info.hbmMask && info.hbmColor ? CreateIconIndirect(&info) : 0;
        DeleteObject(info.hbmMask);
        DeleteObject(info.hbmColor);
        if (!desc.icon.hicon) return false;
    }
    ComPtr<IPicture> p = make_picture(desc);
    if (!p) return false;
    *v = VARIANT::Unknown(ComPtr<IUnknown>(p.get()));
    return true;
}

bool parse_value(std::string_view text, VARIANT* v) {
    size_t colon = text.find(':');
    if (colon == std::string_view::npos) return false;
    std::string_view type = text.substr(0, colon), s = text.substr(colon + 1);
    int32_t n = 0;
    double d = 0;
    if (type == "I2" && parse_number(s, &n) && n >= -32768 && n <= 32767)
        *v = VARIANT::I2(int16_t(n));
    else if (type == "I4" && parse_number(s, &n))
        *v = VARIANT::I4(n);
    else if (type == "UI1" && parse_number(s, &n) && n >= 0 && n <= 255)
        *v = VARIANT::UI1(uint8_t(n));
    else if (type == "BOOL" && parse_number(s, &n))
        *v = VARIANT::Bool(n != 0);
    else if (type == "R4" && platform::ParseReal(s, &d))
        *v = VARIANT::R4(float(d));
    else if (type == "R8" && platform::ParseReal(s, &d))
        *v = VARIANT::R8(d);
    else if (type == "BSTR") {
        std::string str;
        if (!unescape(s, &str)) return false;
        *v = VARIANT::Str(std::move(str));
    } else if (type == "PIC")
        return parse_picture(s, v);
    else
        return false;
    return true;
}

std::string pixels_text(HBITMAP bm) {
    int w = 0, h = 0;
    std::vector<uint8_t> bgra;
    if (!win::bitmap_to_bgra(bm, &w, &h, &bgra)) return {};
    return std::to_string(w) + "x" + std::to_string(h) + ":" + base64(bgra);
}

// "PIC:..." for a picture; empty when it cannot be stored.
std::string picture_text(IUnknown* unknown) {
    if (!unknown) return "PIC:NONE";
    ComPtr<IPicture> p = ComPtr<IUnknown>(unknown).query<IPicture>(IID_IPicture);
    SHORT type = 0;
    OLE_HANDLE h = 0;
    if (!p || FAILED(p->get_Type(&type)) || FAILED(p->get_Handle(&h))) return {};
    if (type == PICTYPE_NONE || type == PICTYPE_UNINITIALIZED) return "PIC:NONE";
    if (type == PICTYPE_BITMAP) {
        std::string px = pixels_text(HBITMAP(h));
        return px.empty() ? px : "PIC:BMP:" + px;
    }
    ICONINFO info{};
    if (type != PICTYPE_ICON || !GetIconInfo(HICON(h), &info)) return {};
    std::string color = info.hbmColor ? pixels_text(info.hbmColor) : "";
    std::string mask = pixels_text(info.hbmMask);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    size_t colon = mask.find(':');
    if (color.empty() || colon == std::string::npos) return {};
    return "PIC:ICON:" + color + ":" + mask.substr(colon + 1);
}

std::string value_text(const VARIANT& v) {
    switch (v.vt) {
        case VT_I2:
            return "I2:" + std::to_string(v.lVal);
        case VT_I4:
            return "I4:" + std::to_string(v.lVal);
        case VT_UI1:
            return "UI1:" + std::to_string(v.lVal);
        case VT_BOOL:
            return "BOOL:" + std::to_string(v.lVal ? -1 : 0);
        case VT_R4:
            return "R4:" + platform::RealText(v.dblVal);
        case VT_R8:
            return "R8:" + platform::RealText(v.dblVal);
        case VT_BSTR:
            return "BSTR:" + escape(v.bstrVal);
        case VT_UNKNOWN:
        case VT_DISPATCH:
            return picture_text(v.punkVal.get());
        case VT_EMPTY:
            return "PIC:NONE";
        default:
            return {};
    }
}

class FileBag final : public RefCounted<IPropertyBag> {
  public:
    explicit FileBag(std::string path) : m_path(std::move(path)) {}

    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!(iid == IID_IUnknown) && !(iid == IID_IPropertyBag)) return E_NOINTERFACE;
        *out = static_cast<IPropertyBag*>(this);
        AddRef();
        return S_OK;
    }

    HRESULT Read(const char* name, VARIANT* value, IErrorLog*) override {
        if (!name || !value) return E_POINTER;
        auto it = m_index.find(lower(name));
        if (it == m_index.end()) return E_INVALIDARG;
        VARIANT v;
        if (!parse_value(m_lines[it->second].second, &v)) return E_INVALIDARG;
        *value = std::move(v);
        return S_OK;
    }

    HRESULT Write(const char* name, const VARIANT* value) override {
        if (!name || !*name || !value) return E_POINTER;
        if (std::strpbrk(name, "=\n\r#") || std::isspace(static_cast<unsigned char>(*name)))
            return E_INVALIDARG;
        std::string text = value_text(*value);
        if (text.empty()) return E_INVALIDARG;
        auto [it, added] = m_index.emplace(lower(name), m_lines.size());
        if (added)
            m_lines.emplace_back(name, std::move(text));
        else
            m_lines[it->second].second = std::move(text);
        return S_OK;
    }

    HRESULT load() {
        std::FILE* f = std::fopen(m_path.c_str(), "rb");
        if (!f) {
            if (errno == ENOENT) return S_OK;
            win::SetLastErrorFromErrno(errno, "open", m_path);
            return STG_E_INVALIDFUNCTION;
        }
        std::string text;
        char buf[65536];
        size_t n = 0;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && text.size() <= kMaxFileBytes)
            text.append(buf, n);
        bool failed = std::ferror(f) != 0;
        std::fclose(f);
        if (failed || text.size() > kMaxFileBytes) {
            SetLastError(failed ? ERROR_READ_FAULT : ERROR_FILE_TOO_LARGE);
            win::SetErrorDetail("property bag " + m_path +
                                (failed ? ": read error" : ": too large"));
            return STG_E_INVALIDFUNCTION;
        }
        parse(text);
        return S_OK;
    }

    void parse(std::string_view text) {
        while (!text.empty()) {
            size_t nl = text.find('\n');
            std::string_view line = text.substr(0, nl);
            text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            size_t eq = line.find('=');
            if (line.empty() || line[0] == '#' || eq == 0 || eq == std::string_view::npos) continue;
            std::string name(line.substr(0, eq));
            auto [it, added] = m_index.emplace(lower(name), m_lines.size());
            if (added)
                m_lines.emplace_back(name, std::string(line.substr(eq + 1)));
            else
                m_lines[it->second].second = std::string(line.substr(eq + 1));
        }
    }

    // Every stored line read back as a value (for the fuzz target).
    void read_every() const {
        for (auto& line : m_lines) {
            VARIANT v;
            (void)parse_value(line.second, &v);
        }
    }

    HRESULT save() const {
        if (m_path.empty()) return E_INVALIDARG;
        std::string text = "# LumTwain Pro property bag\n";
        for (auto& [name, value] : m_lines) text += name + "=" + value + "\n";
        auto out = win::CreateReplacement(m_path);
        if (!out || !out->Write(text.data(), text.size()) || !out->Commit()) return E_FAIL;
        return S_OK;
    }

  private:
    std::string m_path;
    std::vector<std::pair<std::string, std::string>> m_lines;
    std::map<std::string, size_t> m_index;
};

}  // namespace

namespace ole {

HRESULT CreateFilePropertyBag(const std::string& path, IPropertyBag** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* bag = new FileBag(path);
    if (!path.empty()) {
        HRESULT hr = bag->load();
        if (FAILED(hr)) {
            bag->Release();
            return hr;
        }
    }
    *out = bag;
    return S_OK;
}

HRESULT SaveFilePropertyBag(IPropertyBag* bag) {
    auto* file = dynamic_cast<FileBag*>(bag);
    return file ? file->save() : E_INVALIDARG;
}

}  // namespace ole

namespace lumfuzz {
// The bag's line parser, for the fuzz target: every line read back as a value.
LUM_API void ParsePropertyBagText(const std::string& text) {
    auto* bag = new FileBag("");
    bag->parse(text);
    bag->read_every();
    bag->Release();
}
}  // namespace lumfuzz
