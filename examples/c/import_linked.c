/*
 * Imports one NF-e or CT-e through Integracao_Docs_Fiscal.dll, linked
 * through its import library, and says whether the exchange file is there.
 *
 *   import_linked nfe|cte CHAVE PASTA [MODO_SILENCIOSO]
 *
 * The prototypes come from the public header; the import library resolves
 * them to the DLL's exports (see README.md for the build commands).
 */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "integracao_docs_fiscal.h"

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
        fprintf(stderr, "usage: import_linked nfe|cte CHAVE PASTA [MODO_SILENCIOSO]\n");
        return 2;
    }
    const char *modo_silencioso = argc == 5 ? argv[4] : "";
    if (strcmp(argv[1], "nfe") == 0)
        importa_arquivo_xml_nfe(argv[2], argv[3], modo_silencioso);
    else
        importa_arquivo_xml_cte(argv[2], argv[3], modo_silencioso);
    return report_exchange_file();
}
