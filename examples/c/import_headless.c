/*
 * Imports one NF-e or CT-e through the call for hosts without a desktop (a
 * service, a web back-end): no window is shown, the current folder is left
 * alone, the exchange file goes to SAIDA, and the result object says what
 * happened. Linked through the import library, like import_linked.c.
 *
 *   import_headless nfe|cte CHAVE PASTA SAIDA
 *
 * Exit status: what idf_importa_* returned (0 completed, 1 not completed,
 * 2 invalid arguments).
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "integracao_docs_fiscal.h"

int main(int argc, char **argv) {
    if (argc != 5 || (strcmp(argv[1], "nfe") != 0 && strcmp(argv[1], "cte") != 0)) {
        fprintf(stderr, "usage: import_headless nfe|cte CHAVE PASTA SAIDA\n");
        return 2;
    }
    /* A blank CHAVE would import the file named by the third argument. */
    const int code = strcmp(argv[1], "nfe") == 0 ? idf_importa_nfe(argv[2], argv[3], NULL, argv[4])
                                                 : idf_importa_cte(argv[2], argv[3], NULL, argv[4]);
    printf("idf_importa_%s: %d\n", argv[1], code);

    /* The result: ask for its size, then copy it (UTF-8 JSON). */
    int size = 0;
    if (idf_ultimo_resultado(NULL, &size) == 1) {
        char *result = malloc((size_t)size);
        if (result && idf_ultimo_resultado(result, &size) == 0) printf("%s\n", result);
        free(result);
    }
    if (code == 0) printf("exchange file: %s\n", argv[4]);
    return code;
}
