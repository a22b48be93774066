/* A host that runs with the floating-point exceptions of a Pascal program
 * unmasked (invalid operation, division by zero, overflow), as Delphi and
 * Free Pascal hosts do:
 *
 *   idf_fp_host KEY FOLDER FILE OUTPUT
 *
 * It imports the NF-e of KEY from FOLDER and then FILE by the file way, both
 * to OUTPUT. Exit status 0 when both completed and the host's floating-point
 * environment came back as it was; a trap kills the process. */
#define _GNU_SOURCE
#include <fenv.h>
#include <stdio.h>

#include "integracao_docs_fiscal.h"

int main(int argc, char** argv) {
    if (argc != 5) return 64;
    feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    const int traps = fegetexcept();
    const int search = idf_importa_nfe(argv[1], argv[2], "", argv[4]);
    const int file = idf_importa_nfe("", "", argv[3], argv[4]);
    importa_arquivo_xml_nfe("", argv[2], "Sim");
    if (search != 0 || file != 0) {
        fprintf(stderr, "search %d, file %d\n", search, file);
        return 1;
    }
    if (fegetexcept() != traps) {
        fprintf(stderr, "the host's floating-point traps were changed\n");
        return 2;
    }
    return 0;
}
