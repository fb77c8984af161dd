// Moved to include/lumtwainpro/com_error.h; kept while other branches still name this path.
#pragma once
#include "lumtwainpro/com_error.h"
