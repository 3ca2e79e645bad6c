// The real Windows calls behind the "this machine" line.
#include "check/this_machine.h"

#include "probe/probe.h"
#include "win/optional_function.h"
#include "win/winapi_seam.h"

// Windows 10 1709 and later; looked up at run time so older Windows still run the checker.
typedef BOOL(WINAPI* IsWow64Process2Fn)(HANDLE process, USHORT* process_machine,
                                        USHORT* native_machine);

MachineFacts ReadThisMachine() {
    MachineFacts facts = {HasSysWow64Directory(), 0};
    const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    const IsWow64Process2Fn is_wow64_process2 =
        kernel32 != NULL ? FindOptionalFunction<IsWow64Process2Fn>(kernel32, "IsWow64Process2")
                         : NULL;
    if (is_wow64_process2 != NULL) {
        USHORT process_machine = 0;
        USHORT native_machine = 0;
        if (is_wow64_process2(GetCurrentProcess(), &process_machine, &native_machine)) {
            facts.native_machine = native_machine;
        }
    }
    return facts;
}
