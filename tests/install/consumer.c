/* A host program that uses the library as an integrator would: it includes
 * the public header, links the shared library and calls both functions.
 *
 *   consumer KEY FOLDER
 *
 * First the CT-e import with a blank key (on Linux that ends at once, as a
 * cancelled dialog, leaving no exchange file), then the NF-e import of KEY
 * from FOLDER: the exchange file lands beside this program. */
#include <integracao_docs_fiscal.h>
#include <stdio.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: consumer KEY FOLDER\n");
        return 64;
    }
    importa_arquivo_xml_cte("", argv[2], "Sim");
    importa_arquivo_xml_nfe(argv[1], argv[2], "Sim");
    return 0;
}
