/*
 * Prints the version resource of a DLL as the system reads it, one
 * "name=value" line each: the fixed file and product versions and the
 * strings of the first translation.
 *
 *   idf_version_info FILE.dll
 */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: idf_version_info FILE.dll\n");
        return 2;
    }
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(argv[1], &handle);
    if (size == 0) {
        printf("no version resource (error %lu)\n", (unsigned long)GetLastError());
        return 1;
    }
    void *data = malloc(size);
    if (!data || !GetFileVersionInfoA(argv[1], 0, size, data)) return 1;

    VS_FIXEDFILEINFO *fixed = NULL;
    UINT length = 0;
    if (!VerQueryValueA(data, "\\", (void **)&fixed, &length) || length < sizeof *fixed) return 1;
    printf("FILEVERSION=%lu.%lu.%lu.%lu\n", (unsigned long)HIWORD(fixed->dwFileVersionMS),
           (unsigned long)LOWORD(fixed->dwFileVersionMS), (unsigned long)HIWORD(fixed->dwFileVersionLS),
           (unsigned long)LOWORD(fixed->dwFileVersionLS));
    printf("PRODUCTVERSION=%lu.%lu.%lu.%lu\n", (unsigned long)HIWORD(fixed->dwProductVersionMS),
           (unsigned long)LOWORD(fixed->dwProductVersionMS), (unsigned long)HIWORD(fixed->dwProductVersionLS),
           (unsigned long)LOWORD(fixed->dwProductVersionLS));
    printf("FILETYPE=%s\n", fixed->dwFileType == VFT_DLL ? "DLL" : "other");

    WORD *translation = NULL;
    if (!VerQueryValueA(data, "\\VarFileInfo\\Translation", (void **)&translation, &length) || length < 4) return 1;
    static const char *const names[] = {"FileDescription",  "FileVersion", "InternalName",
                                        "OriginalFilename", "ProductName", "ProductVersion"};
    for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
        char query[128];
        snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", translation[0], translation[1], names[i]);
        char *value = NULL;
        if (VerQueryValueA(data, query, (void **)&value, &length) && value)
            printf("%s=%s\n", names[i], value);
        else
            printf("%s is missing\n", names[i]);
    }
    free(data);
    return 0;
}
