// Looks up a Windows function that older Windows lacks, so that a program still starts there.
#ifndef DRIVERSETUP_WIN_OPTIONAL_FUNCTION_H
#define DRIVERSETUP_WIN_OPTIONAL_FUNCTION_H

#include <stddef.h>

#include "win/winapi_seam.h"

// The function `name` of an already loaded `module` as the pointer type Fn, or null where
// this Windows has no such function. GetProcAddress hands back a generic function pointer;
// going through void (*)(void) is the cast that compilers accept between unrelated function
// types without a warning.
template <typename Fn>
Fn FindOptionalFunction(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(GetProcAddress(module, name)));
}

#endif
