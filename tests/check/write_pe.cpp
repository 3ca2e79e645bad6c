// Writes a small PE file of a given kind, so that host tests can lay a distribution folder
// without a Windows compiler. Usage: write_pe KIND PATH (KIND: x86-gui, x64-gui, x86-dll).
#include <stdio.h>
#include <string.h>

#include <vector>

#include "pe/pe_builder.h"

struct Kind {
    const char* name;
    PeLayout layout;
};

static const Kind kKinds[] = {
    {"x86-gui", {0x014c, 0x10b, kExeCharacteristics, 2, 0x80, 2, 0}},
    {"x64-gui", {0x8664, 0x20b, kExeCharacteristics, 2, 0x80, 2, 0}},
    {"x86-dll", {0x014c, 0x10b, kDllCharacteristics, 2, 0x80, 2, 0}},
};

int main(int argc, char* argv[]) {
    if (argc != 3) {
        fprintf(stderr, "usage: write_pe x86-gui|x64-gui|x86-dll PATH\n");
        return 2;
    }
    for (const Kind& kind : kKinds) {
        if (strcmp(kind.name, argv[1]) != 0) {
            continue;
        }
        const std::vector<unsigned char> bytes = BuildPe(kind.layout);
        FILE* out = fopen(argv[2], "wb");
        if (out == NULL || fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() ||
            fclose(out) != 0) {
            perror(argv[2]);
            return 1;
        }
        return 0;
    }
    fprintf(stderr, "write_pe: unknown kind %s\n", argv[1]);
    return 2;
}
