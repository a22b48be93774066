// Texts of the warning boxes shared by both imports (UTF-8), and the means
// of building the others at compile time: a message that ends the import
// is its own text followed by the one tail, abortada.
#pragma once

#include <cstddef>
#include <string_view>

namespace idf::msg {

// A text fixed at compile time, a part of a message.
template <std::size_t N>
struct Text {
    char chars[N]{};  // with the closing NUL
    constexpr Text() = default;
    constexpr Text(const char (&text)[N]) {
        for (std::size_t i = 0; i < N; ++i) chars[i] = text[i];
    }
    constexpr std::string_view view() const { return {chars, N - 1}; }
};

// The parts one after the other, in static storage.
template <Text... parts>
inline constexpr auto joined = [] {
    Text<(parts.view().size() + ... + 1)> out;
    std::size_t at = 0;
    for (const std::string_view part : {parts.view()...})
        for (const char c : part) out.chars[at++] = c;
    return out;
}();

inline constexpr Text fim = "\r\n\nA Importação será Abortada.";
inline constexpr Text invalido = "Arquivo XML Inválido. ";

inline constexpr std::string_view abortada = fim.view();
inline constexpr std::string_view arquivo_invalido = invalido.view();

// A message of the abort path: the parts, then the tail.
template <Text... parts>
inline constexpr std::string_view aborta = joined<parts..., fim>.view();

// The abort message of a mandatory part of the document that cannot be
// read: "O Sistema não Conseguiu Ler <what> no Arquivo XML.".
template <Text what>
inline constexpr std::string_view nao_leu = aborta<"O Sistema não Conseguiu Ler ", what, " no Arquivo XML.">;

// The abort messages of the authorisation protocol, naming the document
// (NFe, CTe).
template <Text documento>
inline constexpr std::string_view sem_protocolo =
    aborta<invalido, "O Sistema não Conseguiu Ler o Nº do Protocolo da Autorização da ", documento, ".">;
template <Text documento>
inline constexpr std::string_view sem_chave =
    aborta<invalido, "O Sistema não Conseguiu Ler a Chave de Acesso da ", documento, ".">;

inline constexpr std::string_view caption = " A T E N Ç Ã O    ! ! !";
inline constexpr std::string_view relatorio_problemas = "O Sistema Encontrou Problemas ao Importar os Dados do:\r\r";
inline constexpr std::string_view erro_inesperado =
    "O Sistema Encontrou um Erro Inesperado ao Importar o Arquivo XML: ";
inline constexpr std::string_view erro_criar_arquivo =
    aborta<"O Sistema Encontrou Problemas ao Criar o Arquivo Integracao_Docs_Fiscal.ini.">;
inline constexpr std::string_view erro_gravar_arquivo =
    aborta<"O Sistema Encontrou Problemas ao Gravar o Arquivo Integracao_Docs_Fiscal.ini.">;
// Told to the hosts that name the exchange file's path (the headless calls,
// the tool) after the creation message when an old file could not be
// removed: the file at that path is not this import's.
inline constexpr std::string_view arquivo_anterior_mantido =
    "O Sistema Não Conseguiu Remover o Arquivo Integracao_Docs_Fiscal.ini Anterior. O Arquivo que Permanece Não é "
    "desta Importação.";

// The command-line tool's usage errors of its own.
inline constexpr std::string_view saida_igual_entrada =
    "O Arquivo Integracao_Docs_Fiscal.ini Não Pode Substituir um Arquivo XML a Importar. Escolha Outra Pasta de "
    "Saída.";
inline constexpr std::string_view chave_em_branco =
    "A Chave de Acesso Está em Branco. Informe a Chave de Acesso (--chave) ou o Arquivo XML (--arquivo).";

// No file of the folder carries the key.
inline constexpr Text nao_localizado = "O Sistema Não Conseguiu Localizar o Arquivo XML na Pasta Temporária.";
inline constexpr std::string_view nfe_nao_localizada =
    aborta<nao_localizado, "\r\n\nVerifique a Chave de Acesso Lançada na Nota Fiscal de Compra">;
inline constexpr std::string_view cte_nao_localizado = aborta<nao_localizado>;

// What the search saw when it found no document: one line per finding,
// told after the not-found message by the command-line tool. A file's
// line is "O Arquivo " + its path + the finding.
inline constexpr std::string_view o_arquivo = "O Arquivo ";
inline constexpr std::string_view achado_resumo = " Contém Apenas o Resumo do Documento. ";
inline constexpr std::string_view nfe_so_resumo =
    "Faça a Manifestação do Destinatário e Baixe o Arquivo XML Completo da Nota Fiscal.";
inline constexpr std::string_view cte_so_resumo = "Baixe o Arquivo XML Completo do Conhecimento de Transporte.";
inline constexpr std::string_view achado_sem_protocolo =
    " Contém o Documento sem o Protocolo da Autorização. Baixe o Arquivo XML Autorizado.";
inline constexpr std::string_view achado_ilegivel = " Pode Conter a Chave de Acesso, mas Não Pôde Ser Lido.";
inline constexpr std::string_view chave_invalida =
    "A Chave de Acesso é Inválida: Verifique os 44 Caracteres e o Dígito Verificador.";
// "A Chave de Acesso é do Modelo " + model + outro_modelo + the two models
// of the import, joined by " e ", + ").".
inline constexpr std::string_view chave_do_modelo = "A Chave de Acesso é do Modelo ";
inline constexpr std::string_view outro_modelo = ", que Esta Importação Não Aceita (Modelos ";
inline constexpr std::string_view chave_com_espacos = "A Chave de Acesso Contém Espaços no Início ou no Fim.";

// Abort messages and a problem line that both imports share.
inline constexpr std::string_view sem_identificacao = nao_leu<"a TAG da Identificação">;
inline constexpr std::string_view sem_emitente = nao_leu<"a TAG do Emitente">;
inline constexpr std::string_view sem_endereco_emitente = nao_leu<"a TAG do Endereço do Emitente">;
inline constexpr std::string_view sem_destinatario = nao_leu<"a TAG do Destinatário">;
inline constexpr std::string_view sem_totais = nao_leu<"a TAG dos Totais">;
inline constexpr std::string_view problema_data_emissao = "- Data da Emissão da Nota Fiscal no Arquivo XML.";

// The problem lines of the document's authenticity, after every other one.
inline constexpr std::string_view problema_conteudo = "- Conteúdo Diferente do Autorizado pela SEFAZ no Arquivo XML.";
inline constexpr std::string_view problema_assinatura = "- Assinatura Digital Inválida no Arquivo XML.";
inline constexpr std::string_view problema_certificado = "- Certificado Digital de Outro Emitente no Arquivo XML.";

}  // namespace idf::msg
