// Lists a catalog's members as Windows' own catalog API reads them (CryptCATOpen,
// CryptCATEnumerateMember): one reference tag a line, so that a test can compare them with
// what driversetup-catalog wrote. Usage: catalog_members_on_windows CATALOG
// Exit codes: 0 listed, 1 the catalog could not be opened, 2 a usage error.
#include <stdio.h>
#include <windows.h>
#include <mscat.h>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        fprintf(stderr, "usage: catalog_members_on_windows CATALOG\n");
        return 2;
    }
    WCHAR path[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, argv[1], -1, path, MAX_PATH) == 0) {
        return 2;
    }
    HANDLE catalog = CryptCATOpen(path, CRYPTCAT_OPEN_EXISTING, 0, 0, 0);
    if (catalog == INVALID_HANDLE_VALUE || catalog == NULL) {
        fprintf(stderr, "CryptCATOpen failed: %lu\n", GetLastError());
        return 1;
    }
    CRYPTCATMEMBER* member = NULL;
    while ((member = CryptCATEnumerateMember(catalog, member)) != NULL) {
        char tag[256];
        WideCharToMultiByte(CP_UTF8, 0, member->pwszReferenceTag, -1, tag, sizeof tag, NULL, NULL);
        printf("%s\n", tag);
    }
    CryptCATClose(catalog);
    return 0;
}
