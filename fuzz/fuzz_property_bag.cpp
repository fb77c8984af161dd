// The file property bag's reader: any text read line by line and every value parsed,
// pictures included (their sizes bounded, their pixels checked against the size).
#include <cstdint>
#include <string>

#include "lumtwainpro/export.h"

namespace lumfuzz {
LUM_API void ParsePropertyBagText(const std::string& text);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lumfuzz::ParsePropertyBagText(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
