// The names and rules of the two kinds of Windows, in WindowsKind order.
#include "win/windows_kinds.h"

// 32-bit Windows falls back to undecorated models and asks before an unsigned package; 64-bit
// Windows reads only NTamd64 models and enforces driver signing.
const WindowsKindInfo kWindowsKinds[kWindowsKindCount] = {
    {"32-bit Windows", "32-bit", "x86", "32-bit (PE32 i386)", "QZDrvPrep_x86.exe", "i386", "x86",
     "NTx86", false, false},
    {"64-bit Windows", "64-bit", "x64", "64-bit (PE32+ AMD64)", "QZDrvPrep_x64.exe", "amd64",
     "amd64", "NTamd64", true, true},
};
