// Helpers shared by the cPDF sources.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "codecs/cPDF.h"
#include "lumtwainpro/com_error.h"

namespace pdf {

// Run-time errors the writer raises besides those ComError names.
constexpr int32_t kBadFileNumber = 52;
constexpr int32_t kDeviceIoError = 57;

[[noreturn]] void Raise(int32_t number);

// Dictionary entries of one written line, separated by a single CR.
std::string JoinCR(std::initializer_list<std::string_view> entries);

inline std::string Str(long long value) {
    return std::to_string(value);
}

// A number as content operators write it; a Single keeps its own 7 significant digits.
inline std::string F(double value) {
    return cPDF::FormatNumber(value);
}
inline std::string F(float value) {
    return cPDF::FormatNumber(value);
}

// A PDF name's characters: bytes outside the printable range and the delimiters are written
// as #xx, so that any text makes one valid name.
std::string NameText(std::string_view ansi);

// The Unicode character of a Windows-1252 code.
char32_t AnsiToUnicode(unsigned char code);

}  // namespace pdf
