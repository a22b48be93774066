/* A small host program of the shared library, as a business program would
 * be: it calls the exported functions with its own argument strings and
 * then looks for the exchange file beside itself.
 *
 *   idf_c_host TYPE KEY FOLDER MODE [TYPE KEY FOLDER MODE]...
 *
 * TYPE is nfe or cte; an argument written (null) is passed as a null
 * pointer. Each group is one call, in order. Exit status 0 after the calls,
 * 3 when the library changed the caller's argument strings, 64 for a usage
 * error, 65 when the library could not be loaded. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef void (*import_fn)(const char*, const char*, const char*);

#ifdef IDF_HOST_DLOPEN
#include <dlfcn.h>
static import_fn nfe_fn;
static import_fn cte_fn;

static int load(void) {
    void* lib = dlopen(IDF_SO_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!lib) return 0;
    nfe_fn = (import_fn)dlsym(lib, "importa_arquivo_xml_nfe");
    cte_fn = (import_fn)dlsym(lib, "importa_arquivo_xml_cte");
    return nfe_fn && cte_fn;
}
#else
#include "integracao_docs_fiscal.h"
static import_fn nfe_fn = importa_arquivo_xml_nfe;
static import_fn cte_fn = importa_arquivo_xml_cte;

static int load(void) { return 1; }
#endif

/* A private copy of an argument, followed by guard bytes that must survive. */
static char* copy_argument(const char* text) {
    if (strcmp(text, "(null)") == 0) return NULL;
    size_t n = strlen(text);
    char* copy = malloc(n + 9);
    if (!copy) exit(70);
    memcpy(copy, text, n + 1);
    memcpy(copy + n + 1, "GUARDXX", 8);
    return copy;
}

static int unchanged(const char* copy, const char* original) {
    if (!copy) return 1;
    size_t n = strlen(original);
    return memcmp(copy, original, n + 1) == 0 && memcmp(copy + n + 1, "GUARDXX", 8) == 0;
}

int main(int argc, char** argv) {
    if (argc < 5 || (argc - 1) % 4 != 0) return 64;
    if (!load()) return 65;
    int status = 0;
    for (int i = 1; i + 3 < argc; i += 4) {
        char* chave = copy_argument(argv[i + 1]);
        char* pasta = copy_argument(argv[i + 2]);
        char* modo = copy_argument(argv[i + 3]);
        if (strcmp(argv[i], "nfe") == 0)
            nfe_fn(chave, pasta, modo);
        else if (strcmp(argv[i], "cte") == 0)
            cte_fn(chave, pasta, modo);
        else
            return 64;
        if (!unchanged(chave, argv[i + 1]) || !unchanged(pasta, argv[i + 2]) || !unchanged(modo, argv[i + 3]))
            status = 3;
        free(chave);
        free(pasta);
        free(modo);
    }
    return status;
}
