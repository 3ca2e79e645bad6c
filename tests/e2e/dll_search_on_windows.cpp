// RestrictDllSearch against the real loader, run under Wine beside planted.dll: without the
// restriction the planted DLL loads by name, with it the loader must not take it.
// Usage: dll_search_on_windows default|restricted
#include <stdio.h>
#include <string.h>

#include "win/dll_search.h"
#include "win/winapi_seam.h"

static const char kPlantedDll[] = "planted.dll";

int main(int argc, char* argv[]) {
    if (argc != 2 || (strcmp(argv[1], "default") != 0 && strcmp(argv[1], "restricted") != 0)) {
        fprintf(stderr, "usage: dll_search_on_windows default|restricted\n");
        return 2;
    }
    const bool restricted = strcmp(argv[1], "restricted") == 0;
    if (restricted) {
        RestrictDllSearch();
    }
    const bool loaded = LoadLibraryA(kPlantedDll) != NULL;
    const bool ok = loaded != restricted;
    printf("%s search: %s %s\n", argv[1], kPlantedDll, loaded ? "loaded" : "not loaded");
    printf("%d passed, %d failed\n", ok ? 1 : 0, ok ? 0 : 1);
    return ok ? 0 : 1;
}
