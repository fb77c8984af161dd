// Moved to include/lumtwainpro/ole.h; kept while other branches still name this path.
#pragma once
#include "lumtwainpro/ole.h"
