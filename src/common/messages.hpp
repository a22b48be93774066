// Texts of the warning boxes shared by both imports (UTF-8).
#pragma once

#include <string_view>

namespace idf::msg {

inline constexpr std::string_view caption = " A T E N Ç Ã O    ! ! !";
inline constexpr std::string_view abortada = "\r\n\nA Importação será Abortada.";

inline constexpr std::string_view erro_criar_arquivo =
    "O Sistema Encontrou Problemas ao Criar o Arquivo Integracao_Docs_Fiscal.ini.\r\n\nA Importação será Abortada.";
inline constexpr std::string_view erro_gravar_arquivo =
    "O Sistema Encontrou Problemas ao Gravar o Arquivo Integracao_Docs_Fiscal.ini.\r\n\nA Importação será Abortada.";
inline constexpr std::string_view relatorio_problemas = "O Sistema Encontrou Problemas ao Importar os Dados do:\r\r";
inline constexpr std::string_view arquivo_invalido = "Arquivo XML Inválido. ";
inline constexpr std::string_view erro_inesperado = "O Sistema Encontrou um Erro Inesperado ao Importar o Arquivo XML: ";

inline constexpr std::string_view nfe_nao_localizada =
    "O Sistema Não Conseguiu Localizar o Arquivo XML na Pasta Temporária.\r\n\nVerifique a Chave de Acesso Lançada "
    "na Nota Fiscal de Compra\r\n\nA Importação será Abortada.";
inline constexpr std::string_view cte_nao_localizado =
    "O Sistema Não Conseguiu Localizar o Arquivo XML na Pasta Temporária.\r\n\nA Importação será Abortada.";

}  // namespace idf::msg
