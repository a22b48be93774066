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
inline constexpr std::string_view erro_inesperado =
    "O Sistema Encontrou um Erro Inesperado ao Importar o Arquivo XML: ";

inline constexpr std::string_view nfe_nao_localizada =
    "O Sistema Não Conseguiu Localizar o Arquivo XML na Pasta Temporária.\r\n\nVerifique a Chave de Acesso Lançada "
    "na Nota Fiscal de Compra\r\n\nA Importação será Abortada.";
inline constexpr std::string_view cte_nao_localizado =
    "O Sistema Não Conseguiu Localizar o Arquivo XML na Pasta Temporária.\r\n\nA Importação será Abortada.";

// Abort messages and a problem line that both imports share.
inline constexpr std::string_view sem_identificacao =
    "O Sistema não Conseguiu Ler a TAG da Identificação no Arquivo XML.\r\n\nA Importação será Abortada.";
inline constexpr std::string_view sem_serie =
    "O Sistema não Conseguiu Ler a Série da Nota Fiscal no Arquivo XML.\r\n\nA Importação será Abortada.";
inline constexpr std::string_view sem_numero =
    "O Sistema não Conseguiu Ler o Número da Nota Fiscal no Arquivo XML.\r\n\nA Importação será Abortada.";
inline constexpr std::string_view sem_emitente =
    "O Sistema não Conseguiu Ler a TAG do Emitente no Arquivo XML.\r\n\nA Importação será Abortada.";
inline constexpr std::string_view sem_endereco_emitente =
    "O Sistema não Conseguiu Ler a TAG do Endereço do Emitente no Arquivo XML.\r\n\nA Importação será Abortada.";
inline constexpr std::string_view sem_destinatario =
    "O Sistema não Conseguiu Ler a TAG do Destinatário no Arquivo XML.\r\n\nA Importação será Abortada.";
inline constexpr std::string_view sem_totais =
    "O Sistema não Conseguiu Ler a TAG dos Totais no Arquivo XML.\r\n\nA Importação será Abortada.";
inline constexpr std::string_view problema_data_emissao = "- Data da Emissão da Nota Fiscal no Arquivo XML.";

}  // namespace idf::msg
