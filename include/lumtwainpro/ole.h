// Stand-in for the OLE/COM pieces the system uses: IUnknown, IStream over global memory,
// picture objects, VARIANT and SAFEARRAY with their bounds, GUID text.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "lumtwainpro/export.h"
#include "lumtwainpro/wintypes.h"

LUM_BEGIN_EXPORTS

// ---- IUnknown and smart pointer ------------------------------------------------------
extern const IID IID_IUnknown;
extern const IID IID_IDispatch;
extern const IID IID_IStream;
extern const IID IID_ISequentialStream;
extern const IID IID_IPicture;
extern const IID IID_IPictureDisp;
extern const IID IID_IClassFactory;
extern const IID IID_IObjectSafety;
extern const IID IID_IPersistStorage;
extern const IID IID_IPersistStream;
extern const IID IID_IPersistPropertyBag;

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

// Owns one reference.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Adopts a reference the caller already holds.
    static ComPtr adopt(T* p) {
        ComPtr c;
        c.m_p = p;
        return c;
    }
    explicit ComPtr(T* p) : m_p(p) {
        if (m_p) m_p->AddRef();
    }
    ComPtr(const ComPtr& o) : m_p(o.m_p) {
        if (m_p) m_p->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(m_p, o.m_p);
        return *this;
    }
    ~ComPtr() {
        if (m_p) m_p->Release();
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    T** put() {
        *this = nullptr;
        return &m_p;
    }
    T* detach() { return std::exchange(m_p, nullptr); }
    template <class U>
    ComPtr<U> query(REFIID iid) const {
        ComPtr<U> out;
        if (m_p) m_p->QueryInterface(iid, reinterpret_cast<void**>(out.put()));
        return out;
    }
    friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.m_p == b.m_p; }

private:
    T* m_p = nullptr;
};

// Reference counting for the stand-in's own objects.
template <class Base>
class RefCounted : public Base {
public:
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        ULONG n = --m_refs;
        if (n == 0) delete this;
        return n;
    }

private:
    std::atomic<ULONG> m_refs{1};
};

// ---- IStream -------------------------------------------------------------------------
constexpr DWORD STREAM_SEEK_SET = 0;
constexpr DWORD STREAM_SEEK_CUR = 1;
constexpr DWORD STREAM_SEEK_END = 2;
constexpr DWORD STGTY_STREAM = 2;
constexpr DWORD STATFLAG_DEFAULT = 0;
constexpr DWORD STATFLAG_NONAME = 1;

struct STATSTG {
    std::string pwcsName;
    DWORD type = STGTY_STREAM;
    uint64_t cbSize = 0;
};

struct IStream : IUnknown {
    virtual HRESULT Read(void* buffer, ULONG count, ULONG* read) = 0;
    virtual HRESULT Write(const void* buffer, ULONG count, ULONG* written) = 0;
    virtual HRESULT Seek(int64_t move, DWORD origin, uint64_t* new_position) = 0;
    virtual HRESULT SetSize(uint64_t size) = 0;
    virtual HRESULT Stat(STATSTG* stat, DWORD flags) = 0;
    virtual HRESULT Commit(DWORD flags) = 0;
    virtual HRESULT Clone(IStream** out) = 0;
};

// A stream over a global memory block. With mem 0 a new movable block is allocated.
// With delete_on_release the block is freed when the last reference goes.
HRESULT CreateStreamOnHGlobal(HGLOBAL mem, BOOL delete_on_release, IStream** out);
HRESULT GetHGlobalFromStream(IStream* stream, HGLOBAL* out);

namespace ole {
// A stream over memory the caller keeps alive for the stream's lifetime (read-only view).
ComPtr<IStream> CreateStreamOnMemory(const void* data, size_t size);
// Reads the whole stream from its current position.
HRESULT ReadAll(IStream* stream, std::vector<uint8_t>* out);
}  // namespace ole

// ---- Pictures ------------------------------------------------------------------------
using OLE_HANDLE = UINT;
constexpr SHORT PICTYPE_UNINITIALIZED = -1;
constexpr SHORT PICTYPE_NONE = 0;
constexpr SHORT PICTYPE_BITMAP = 1;
constexpr SHORT PICTYPE_METAFILE = 2;
constexpr SHORT PICTYPE_ICON = 3;
constexpr SHORT PICTYPE_ENHMETAFILE = 4;

struct PICTDESC {
    UINT cbSizeofstruct = sizeof(PICTDESC);
    UINT picType = 0;
    struct {
        HBITMAP hbitmap = 0;
        HPALETTE hpal = 0;
    } bmp;
    struct {
        HMETAFILE hmeta = 0;
        int xExt = 0, yExt = 0;  // HIMETRIC
    } wmf;
    struct {
        HICON hicon = 0;
    } icon;
    struct {
        HENHMETAFILE hemf = 0;
    } emf;
};

struct IPicture : IUnknown {
    virtual HRESULT get_Handle(OLE_HANDLE* handle) = 0;
    virtual HRESULT get_hPal(OLE_HANDLE* palette) = 0;
    virtual HRESULT get_Type(SHORT* type) = 0;
    virtual HRESULT get_Width(LONG* himetric) = 0;
    virtual HRESULT get_Height(LONG* himetric) = 0;
};

// The picture takes the handle and deletes it on its last release when `own` is TRUE.
// `iid` may be IID_IPicture, IID_IPictureDisp, IID_IDispatch or IID_IUnknown.
HRESULT OleCreatePictureIndirect(PICTDESC* desc, REFIID iid, BOOL own, void** out);

// ---- GUID text -----------------------------------------------------------------------
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case; returns the characters written
// including the NUL, 0 when `max` is too small.
int StringFromGUID2(REFIID guid, char* out, int max);
HRESULT CLSIDFromString(const char* text, CLSID* out);  // with braces
// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" in lower case, without braces.
std::string UuidToStringA(const GUID& guid);

namespace ole {
std::string GuidToString(const GUID& guid);  // braces, upper case
// Parses with or without braces, any case; false for malformed text.
bool ParseGuid(std::string_view text, GUID* out);
constexpr GUID MakeGuid(uint32_t d1, uint16_t d2, uint16_t d3, uint8_t a, uint8_t b, uint8_t c,
                        uint8_t d, uint8_t e, uint8_t f, uint8_t g, uint8_t h) {
    return GUID{d1, d2, d3, {a, b, c, d, e, f, g, h}};
}
}  // namespace ole

// ---- SAFEARRAY and VARIANT -----------------------------------------------------------
struct SAFEARRAYBOUND {
    ULONG cElements = 0;
    LONG lLbound = 0;
};

// A safe array of T with one or more dimensions, each with its own lower bound. Elements
// are stored with the first index varying fastest, as the platform lays them out.
template <class T>
class SafeArray {
public:
    SafeArray() = default;
    SafeArray(LONG lbound, ULONG count) { redim(lbound, count); }

    bool empty() const { return m_bounds.empty(); }
    size_t dims() const { return m_bounds.size(); }
    size_t size() const { return m_data.size(); }
    LONG lbound(size_t dim = 0) const { return m_bounds.at(dim).lLbound; }
    LONG ubound(size_t dim = 0) const {
        return m_bounds.at(dim).lLbound + LONG(m_bounds.at(dim).cElements) - 1;
    }
    const std::vector<SAFEARRAYBOUND>& bounds() const { return m_bounds; }

    // Re-dimensions to one dimension with `count` elements from `lbound`; contents reset.
    void redim(LONG lbound, ULONG count) { redim({SAFEARRAYBOUND{count, lbound}}); }
    void redim(std::vector<SAFEARRAYBOUND> bounds) {
        size_t n = 1;
        for (auto& b : bounds) n *= b.cElements;
        m_bounds = std::move(bounds);
        m_data.assign(n, T{});
    }
    void clear() {
        m_bounds.clear();
        m_data.clear();
    }

    // Element at index i of a one-dimensional array (with its lower bound).
    T& at(LONG i) { return m_data.at(size_t(i - lbound())); }
    const T& at(LONG i) const { return m_data.at(size_t(i - lbound())); }
    T* data() { return m_data.data(); }
    const T* data() const { return m_data.data(); }
    std::vector<T>& values() { return m_data; }
    const std::vector<T>& values() const { return m_data; }

    // Builds a 1-D array from values.
    static SafeArray from(std::vector<T> values, LONG lbound = 0) {
        SafeArray a;
        a.m_bounds = {SAFEARRAYBOUND{ULONG(values.size()), lbound}};
        a.m_data = std::move(values);
        return a;
    }
    friend bool operator==(const SafeArray& a, const SafeArray& b) {
        return a.m_data == b.m_data && a.m_bounds.size() == b.m_bounds.size();
    }

private:
    std::vector<SAFEARRAYBOUND> m_bounds;
    std::vector<T> m_data;
};

enum VARENUM : uint16_t {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_UI1 = 17,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
};
using VARTYPE = uint16_t;

// A VARIANT: the tag says which field holds the value. Texts are UTF-8. A by-reference
// argument (VT_BYREF | VT_VARIANT) points at the caller's VARIANT, which receives the output.
struct VARIANT {
    using Array = std::variant<std::monostate, SafeArray<uint8_t>, SafeArray<int16_t>,
                               SafeArray<int32_t>, SafeArray<float>, SafeArray<double>,
                               SafeArray<std::string>>;

    VARTYPE vt = VT_EMPTY;
    int32_t lVal = 0;           // VT_I2, VT_I4, VT_BOOL (-1 or 0), VT_UI1, VT_ERROR
    double dblVal = 0;          // VT_R4, VT_R8
    std::string bstrVal;        // VT_BSTR
    ComPtr<IUnknown> punkVal;   // VT_UNKNOWN, VT_DISPATCH
    Array parray;               // VT_ARRAY | element type
    VARIANT* pvarVal = nullptr; // VT_BYREF | VT_VARIANT

    static VARIANT I2(int16_t v) { return scalar(VT_I2, v); }
    static VARIANT I4(int32_t v) { return scalar(VT_I4, v); }
    static VARIANT UI1(uint8_t v) { return scalar(VT_UI1, v); }
    static VARIANT Bool(bool v) { return scalar(VT_BOOL, v ? -1 : 0); }
    static VARIANT R4(float v) { return real(VT_R4, v); }
    static VARIANT R8(double v) { return real(VT_R8, v); }
    static VARIANT Str(std::string v) {
        VARIANT r;
        r.vt = VT_BSTR;
        r.bstrVal = std::move(v);
        return r;
    }
    static VARIANT Unknown(ComPtr<IUnknown> p, bool dispatch = false) {
        VARIANT r;
        r.vt = dispatch ? VT_DISPATCH : VT_UNKNOWN;
        r.punkVal = std::move(p);
        return r;
    }
    static VARIANT ByRef(VARIANT* target) {
        VARIANT r;
        r.vt = VT_BYREF | VT_VARIANT;
        r.pvarVal = target;
        return r;
    }
    template <class T>
    static VARIANT FromArray(VARTYPE element, SafeArray<T> a) {
        VARIANT r;
        r.vt = VT_ARRAY | element;
        r.parray = std::move(a);
        return r;
    }
    bool is_empty() const { return vt == VT_EMPTY; }
    bool is_missing() const { return vt == VT_ERROR && uint32_t(lVal) == 0x80020004u; }
    static VARIANT Missing() { return scalar(VT_ERROR, int32_t(0x80020004u)); }

private:
    static VARIANT scalar(VARTYPE t, int32_t v) {
        VARIANT r;
        r.vt = t;
        r.lVal = v;
        return r;
    }
    static VARIANT real(VARTYPE t, double v) {
        VARIANT r;
        r.vt = t;
        r.dblVal = v;
        return r;
    }
};

HRESULT VariantClear(VARIANT* v);
// Converts in place to `vt` with the platform's rules (rounding half to even, overflow ->
// DISP_E_OVERFLOW, text <-> numbers, Boolean -1/0).
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, uint16_t flags, VARTYPE vt);

LUM_END_EXPORTS
