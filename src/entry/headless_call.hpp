// What the exports for hosts without a desktop share on every system: their
// arguments and the calling thread's last result with the copy protocol of
// idf_ultimo_resultado.
#pragma once

#include <string>

#include "common/import.hpp"

namespace idf::entry {

// The return codes of idf_importa_nfe and idf_importa_cte.
inline constexpr int concluida = 0;
inline constexpr int nao_concluida = 1;
inline constexpr int argumentos_invalidos = 2;

// The four arguments, copied; a null pointer is the empty text.
struct HeadlessArguments {
    HeadlessArguments(const char* chave_acesso, const char* pasta_temporaria, const char* arquivo_xml,
                      const char* arquivo_saida);
    // arquivo_saida is not blank, and chave_acesso or arquivo_xml is not.
    bool valid() const;
    // A blank key takes the dialog way, answered by arquivo_xml.
    bool dialog_way() const;
    // The import's arguments: never silent, as the not-found message and
    // the problem report are part of the result.
    ImportArguments import_arguments() const { return {chave_acesso, pasta_temporaria, {}}; }

    std::string chave_acesso;
    std::string pasta_temporaria;
    std::string arquivo_xml;
    std::string arquivo_saida;
};

// The calling thread's last result: the command-line tool's --json object
// for the same import (result_json).
void store_result(std::string json);
void forget_result();
// idf_ultimo_resultado: 0 copied, 1 buffer null or too small (or tamanho
// null), 2 no result on this thread.
int copy_result(char* buffer, int* tamanho);

}  // namespace idf::entry
