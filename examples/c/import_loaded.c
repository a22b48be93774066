/*
 * Imports one NF-e or CT-e through Integracao_Docs_Fiscal.dll, loaded at run
 * time (no import library: LoadLibrary and GetProcAddress by the exported
 * names), and says whether the exchange file is there.
 *
 *   import_loaded nfe|cte CHAVE PASTA [MODO_SILENCIOSO]
 */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "integracao_docs_fiscal.h" /* for IDF_CALL: stdcall on 32-bit Windows */

typedef void(IDF_CALL *importa_fn)(const char *chave_acesso, const char *pasta_temporaria, const char *modo_silencioso);

/* The exchange file is written in the folder of the host's executable. */
static int report_exchange_file(void) {
    char path[MAX_PATH + 32];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    char *slash = strrchr(path, '\\');
    if (length == 0 || length >= MAX_PATH || !slash) return 3;
    strcpy(slash + 1, "Integracao_Docs_Fiscal.ini");
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        printf("no exchange file: the import did not complete\n");
        return 1;
    }
    printf("exchange file: %s\n", path);
    return 0;
}

int main(int argc, char **argv) {
    if (argc < 4 || argc > 5 || (strcmp(argv[1], "nfe") != 0 && strcmp(argv[1], "cte") != 0)) {
        fprintf(stderr, "usage: import_loaded nfe|cte CHAVE PASTA [MODO_SILENCIOSO]\n");
        return 2;
    }
    HMODULE dll = LoadLibraryA("Integracao_Docs_Fiscal.dll");
    if (!dll) {
        fprintf(stderr,
                "Integracao_Docs_Fiscal.dll not loaded (error %lu): is it the DLL of this "
                "process's architecture, beside the executable?\n",
                (unsigned long)GetLastError());
        return 3;
    }
    const char *name = strcmp(argv[1], "nfe") == 0 ? "importa_arquivo_xml_nfe" : "importa_arquivo_xml_cte";
    importa_fn importa = (importa_fn)(void (*)(void))GetProcAddress(dll, name);
    if (!importa) {
        fprintf(stderr, "%s not found in Integracao_Docs_Fiscal.dll\n", name);
        FreeLibrary(dll);
        return 3;
    }
    importa(argv[2], argv[3], argc == 5 ? argv[4] : "");
    const int status = report_exchange_file();
    FreeLibrary(dll);
    return status;
}
