// The run-time error that ends an automation member: an HRESULT and the classic error
// number. The dispatch layer turns it into a failing result carrying both.
#pragma once

#include <stdexcept>
#include <string>

#include "lumtwainpro/export.h"
#include "lumtwainpro/wintypes.h"

LUM_BEGIN_EXPORTS

class ComError : public std::runtime_error {
public:
    // Classic run-time error numbers.
    static constexpr int32_t kInvalidProcedureCall = 5;
    static constexpr int32_t kOverflow = 6;
    static constexpr int32_t kOutOfMemory = 7;
    static constexpr int32_t kSubscriptOutOfRange = 9;
    static constexpr int32_t kDivisionByZero = 11;
    static constexpr int32_t kTypeMismatch = 13;
    static constexpr int32_t kErrorLoadingLibrary = 48;
    static constexpr int32_t kFileNotFound = 53;
    static constexpr int32_t kEntryPointNotFound = 453;

    ComError(int32_t number, std::string description)
        : std::runtime_error(description), m_number(number),
          m_hresult(HRESULT(0x800A0000u | uint32_t(number & 0xFFFF))) {}
    ComError(HRESULT hr, int32_t number, std::string description)
        : std::runtime_error(description), m_number(number), m_hresult(hr) {}

    int32_t number() const { return m_number; }
    HRESULT hresult() const { return m_hresult; }

private:
    int32_t m_number;
    HRESULT m_hresult;
};

LUM_END_EXPORTS
