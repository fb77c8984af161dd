// The engine's encoder table: encoder CLSIDs in the platform's order, and a lookup from
// file-name pattern ("*.jpg") to that index. Built by the first engine start-up.
#pragma once

#include <string>

#include "lumtwainpro/wintypes.h"

namespace modGdiplus {

void BuildEncoderTable();
void ClearEncoderTable();
// Index of the encoder listing the pattern (case-insensitive), or -1.
int32_t FindEncoder(const std::string& pattern);
// The CLSID of an index FindEncoder returned.
const CLSID& EncoderClsid(int32_t index);

}  // namespace modGdiplus
