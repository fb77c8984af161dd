// Symbol visibility: the libraries export their interfaces and hide everything else.
#pragma once

#define LUM_API __attribute__((visibility("default")))
// Around a header whose every declaration is part of a library's interface.
#define LUM_BEGIN_EXPORTS _Pragma("GCC visibility push(default)")
#define LUM_END_EXPORTS _Pragma("GCC visibility pop")
