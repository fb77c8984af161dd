// LumTwain Pro for Linux: the scanning control and what a host uses with its results.
#pragma once

#include "lumtwainpro/com_error.h"
#include "lumtwainpro/host.h"
#include "lumtwainpro/ole.h"
#include "lumtwainpro/twain.h"
#include "lumtwainpro/wintypes.h"
