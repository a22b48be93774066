/*
 * What the Wine runs do to files the way a Windows program does it, by the
 * wide functions, whatever the names hold:
 *
 *   idf_file_tool rewrite FILE SOURCE   writes SOURCE's bytes over FILE in
 *       place (same size), then sets FILE's times back to what they were
 *       (SetFileTime), as a copy that keeps times does;
 *   idf_file_tool replace FILE SOURCE   writes SOURCE's bytes to a new file
 *       beside FILE with FILE's times, then moves it onto FILE
 *       (MoveFileExW, replacing);
 *   idf_file_tool list FOLDER [ROUNDS]  lists FOLDER with FindFirstFileExA
 *       and with GetFileInformationByHandleEx (FileIdBothDirectoryInfo),
 *       ROUNDS times each (5 when not given), and prints the entries and
 *       the best time of each.
 *
 * Exit status 0 when done, 1 when a step failed (with its error), 2 for
 * bad arguments.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
/* After windows.h, which it needs. */
#include <shellapi.h>

static int failed(const char *step) {
    fprintf(stderr, "idf_file_tool: %s failed (error %lu)\n", step, (unsigned long)GetLastError());
    return 1;
}

static char *read_all(const wchar_t *path, DWORD *size) {
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE) return NULL;
    *size = GetFileSize(h, NULL);
    char *bytes = malloc(*size ? *size : 1);
    DWORD got = 0;
    if (!bytes || !ReadFile(h, bytes, *size, &got, NULL) || got != *size) {
        CloseHandle(h);
        free(bytes);
        return NULL;
    }
    CloseHandle(h);
    return bytes;
}

static int write_all(HANDLE h, const char *bytes, DWORD size) {
    DWORD done = 0;
    return WriteFile(h, bytes, size, &done, NULL) && done == size;
}

static int rewrite(const wchar_t *file, const wchar_t *source) {
    DWORD size = 0;
    char *bytes = read_all(source, &size);
    if (!bytes) return failed("reading the source");
    HANDLE h = CreateFileW(file, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE) return failed("opening the file");
    FILETIME created, accessed, written;
    if (GetFileSize(h, NULL) != size) {
        fprintf(stderr, "idf_file_tool: the file and the source differ in size\n");
        return 1;
    }
    if (!GetFileTime(h, &created, &accessed, &written)) return failed("GetFileTime");
    if (!write_all(h, bytes, size) || !SetEndOfFile(h)) return failed("writing");
    if (!SetFileTime(h, &created, &accessed, &written)) return failed("SetFileTime");
    CloseHandle(h);
    return 0;
}

static int replace(const wchar_t *file, const wchar_t *source) {
    DWORD size = 0;
    char *bytes = read_all(source, &size);
    if (!bytes) return failed("reading the source");
    HANDLE old = CreateFileW(file, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (old == INVALID_HANDLE_VALUE) return failed("opening the file");
    FILETIME created, accessed, written;
    if (!GetFileTime(old, &created, &accessed, &written)) return failed("GetFileTime");
    CloseHandle(old);
    const size_t n = wcslen(file);
    wchar_t *temporary = malloc(sizeof(wchar_t) * (n + 6));
    if (!temporary) return 1;
    memcpy(temporary, file, sizeof(wchar_t) * n);
    memcpy(temporary + n, L".novo", sizeof(wchar_t) * 6);
    HANDLE h = CreateFileW(temporary, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) return failed("creating the new file");
    if (!write_all(h, bytes, size)) return failed("writing");
    if (!SetFileTime(h, &created, &accessed, &written)) return failed("SetFileTime");
    CloseHandle(h);
    if (!MoveFileExW(temporary, file, MOVEFILE_REPLACE_EXISTING)) return failed("MoveFileExW");
    return 0;
}

static double seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
    return (double)(to.QuadPart - from.QuadPart) / (double)frequency.QuadPart;
}

static long find_ex(const char *folder) {
    char pattern[MAX_PATH * 2];
    snprintf(pattern, sizeof pattern, "%s\\*.xml", folder);
    WIN32_FIND_DATAA found;
    HANDLE h =
        FindFirstFileExA(pattern, FindExInfoBasic, &found, FindExSearchNameMatch, NULL, FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) return -1;
    long n = 0;
    do n += !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    while (FindNextFileA(h, &found));
    FindClose(h);
    return n;
}

static long by_handle(const wchar_t *folder) {
    HANDLE h = CreateFileW(folder, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (h == INVALID_HANDLE_VALUE) return -1;
    static ULONGLONG buffer[64 * 1024 / sizeof(ULONGLONG)];
    long n = 0;
    FILE_INFO_BY_HANDLE_CLASS request = FileIdBothDirectoryRestartInfo;
    while (GetFileInformationByHandleEx(h, request, buffer, sizeof buffer)) {
        request = FileIdBothDirectoryInfo;
        const unsigned char *at = (const unsigned char *)buffer;
        for (;;) {
            const FILE_ID_BOTH_DIR_INFO *entry = (const FILE_ID_BOTH_DIR_INFO *)at;
            n += !(entry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY);
            if (!entry->NextEntryOffset) break;
            at += entry->NextEntryOffset;
        }
    }
    CloseHandle(h);
    return n;
}

static int list(const char *folder, int rounds) {
    LARGE_INTEGER frequency, t0, t1;
    QueryPerformanceFrequency(&frequency);
    double best_find = 1e9, best_handle = 1e9;
    long n_find = 0, n_handle = 0;
    wchar_t wfolder[MAX_PATH * 2];
    MultiByteToWideChar(CP_ACP, 0, folder, -1, wfolder, MAX_PATH * 2);
    for (int i = 0; i < rounds; ++i) {
        QueryPerformanceCounter(&t0);
        n_find = find_ex(folder);
        QueryPerformanceCounter(&t1);
        if (seconds(t0, t1, frequency) < best_find) best_find = seconds(t0, t1, frequency);
        QueryPerformanceCounter(&t0);
        n_handle = by_handle(wfolder);
        QueryPerformanceCounter(&t1);
        if (seconds(t0, t1, frequency) < best_handle) best_handle = seconds(t0, t1, frequency);
    }
    printf("FindFirstFileExA: %ld files, %.0f ms\n", n_find, best_find * 1000);
    printf("GetFileInformationByHandleEx: %ld entries, %.0f ms\n", n_handle, best_handle * 1000);
    return n_find < 0 || n_handle < 0;
}

int main(int argc, char **argv) {
    if (argc >= 3 && strcmp(argv[1], "list") == 0) return list(argv[2], argc > 3 ? atoi(argv[3]) : 5);
    if (argc != 4) {
        fprintf(stderr, "usage: idf_file_tool rewrite|replace FILE SOURCE | list FOLDER [ROUNDS]\n");
        return 2;
    }
    int n = 0;
    wchar_t **wargv = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!wargv || n != 4) return 2;
    if (strcmp(argv[1], "rewrite") == 0) return rewrite(wargv[2], wargv[3]);
    if (strcmp(argv[1], "replace") == 0) return replace(wargv[2], wargv[3]);
    return 2;
}
