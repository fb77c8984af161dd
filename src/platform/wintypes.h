// Moved to include/lumtwainpro/wintypes.h; kept while other branches still name this path.
#pragma once
#include "lumtwainpro/wintypes.h"
