// VARIANT coercion with the platform's rules: reals round half to even, out-of-range
// values overflow, texts parse as numbers, Booleans are -1 and 0.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "lumtwainpro/ole.h"

HRESULT VariantClear(VARIANT* v) {
    if (!v) return E_INVALIDARG;
    *v = VARIANT{};
    return S_OK;
}

namespace {

bool is_integer(VARTYPE vt) { return vt == VT_I2 || vt == VT_I4 || vt == VT_UI1 || vt == VT_BOOL; }

// The numeric value of a scalar; false for a type that has none.
HRESULT to_double(const VARIANT& v, double* out) {
    switch (v.vt) {
        case VT_EMPTY: *out = 0; return S_OK;
        case VT_I2: case VT_I4: case VT_UI1: case VT_BOOL: case VT_ERROR:
            *out = v.lVal;
            return S_OK;
        case VT_R4: case VT_R8: *out = v.dblVal; return S_OK;
        case VT_BSTR: {
            const std::string& s = v.bstrVal;
            size_t b = s.find_first_not_of(" \t");
            if (b == std::string::npos) return DISP_E_TYPEMISMATCH;
            std::string t = s.substr(b, s.find_last_not_of(" \t") - b + 1);
            if (t == "True" || t == "true") { *out = -1; return S_OK; }
            if (t == "False" || t == "false") { *out = 0; return S_OK; }
            char* end = nullptr;
            errno = 0;
            double d = std::strtod(t.c_str(), &end);
            if (end != t.c_str() + t.size() || !std::isfinite(d)) return DISP_E_TYPEMISMATCH;
            *out = d;
            return S_OK;
        }
        default: return DISP_E_TYPEMISMATCH;
    }
}

HRESULT to_integer(double d, double lo, double hi, int32_t* out) {
    double r = std::nearbyint(d);  // default rounding mode: half to even
    if (!(r >= lo && r <= hi)) return DISP_E_OVERFLOW;
    *out = int32_t(r);
    return S_OK;
}

std::string format_number(const VARIANT& v) {
    if (is_integer(v.vt) || v.vt == VT_EMPTY) return std::to_string(v.lVal);
    char buf[64];
    std::snprintf(buf, sizeof buf, v.vt == VT_R4 ? "%.7g" : "%.15g", v.dblVal);
    return buf;
}

}  // namespace

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, uint16_t, VARTYPE vt) {
    if (!dest || !src) return E_INVALIDARG;
    const VARIANT& s = (src->vt == (VT_BYREF | VT_VARIANT) && src->pvarVal) ? *src->pvarVal : *src;
    if (s.vt == vt) {
        if (dest != &s) *dest = s;
        return S_OK;
    }
    VARIANT r;
    r.vt = vt;
    double d = 0;
    HRESULT hr = S_OK;
    switch (vt) {
        case VT_I2:
            if (SUCCEEDED(hr = to_double(s, &d))) hr = to_integer(d, -32768, 32767, &r.lVal);
            break;
        case VT_I4:
            if (SUCCEEDED(hr = to_double(s, &d)))
                hr = to_integer(d, -2147483648.0, 2147483647.0, &r.lVal);
            break;
        case VT_UI1:
            if (SUCCEEDED(hr = to_double(s, &d))) hr = to_integer(d, 0, 255, &r.lVal);
            break;
        case VT_BOOL:
            if (SUCCEEDED(hr = to_double(s, &d))) r.lVal = d != 0 ? -1 : 0;
            break;
        case VT_R4:
            if (SUCCEEDED(hr = to_double(s, &d))) {
                if (std::fabs(d) > std::numeric_limits<float>::max()) return DISP_E_OVERFLOW;
                r.dblVal = float(d);
            }
            break;
        case VT_R8:
            hr = to_double(s, &r.dblVal);
            break;
        case VT_BSTR:
            if (s.vt == VT_BOOL) r.bstrVal = s.lVal ? "True" : "False";
            else if (s.vt == VT_EMPTY) r.bstrVal.clear();
            else if (is_integer(s.vt) || s.vt == VT_R4 || s.vt == VT_R8) r.bstrVal = format_number(s);
            else hr = DISP_E_TYPEMISMATCH;
            break;
        case VT_UNKNOWN: case VT_DISPATCH:
            if (s.vt == VT_UNKNOWN || s.vt == VT_DISPATCH || s.vt == VT_EMPTY) r.punkVal = s.punkVal;
            else hr = DISP_E_TYPEMISMATCH;
            break;
        default:
            hr = DISP_E_TYPEMISMATCH;
    }
    if (FAILED(hr)) return hr;
    *dest = std::move(r);
    return S_OK;
}
