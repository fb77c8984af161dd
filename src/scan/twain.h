// Moved to include/lumtwainpro/twain.h; kept while other branches still name this path.
#pragma once
#include "lumtwainpro/twain.h"
