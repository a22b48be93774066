#include "search/diagnostico.hpp"

#include "common/messages.hpp"
#include "values/text.hpp"

namespace idf {

bool chave_valida(std::string_view chave) {
    if (chave.size() != 44 || !is_ascii_digit(chave[43])) return false;
    int soma = 0;
    int peso = 2;
    for (std::size_t i = 43; i-- > 0;) {
        const char c = chave[i];
        const bool cnpj = i >= 6 && i < 18;
        if (!is_ascii_digit(c) && !(cnpj && c >= 'A' && c <= 'Z')) return false;
        soma += (c - '0') * peso;
        peso = peso == 9 ? 2 : peso + 1;
    }
    const int dv = 11 - soma % 11;
    return chave[43] - '0' == (dv >= 10 ? 0 : dv);
}

Diagnostico diagnostico_da_chave(std::string_view dada, const DocumentType& type) {
    Diagnostico diagnostico;
    const std::string_view chave = trim(dada);
    diagnostico.espacos_na_chave = chave.size() != dada.size();
    diagnostico.chave_valida = chave_valida(chave);
    if (chave.size() >= 22) {
        diagnostico.modelo = cp1252_to_utf8(chave.substr(20, 2));
        for (const std::string_view modelo : type.modelos)
            if (*diagnostico.modelo == modelo) diagnostico.tipo_esperado = true;
    }
    return diagnostico;
}

Diagnostico diagnostico_da_busca(std::string_view dada, const DocumentType& type, ScanResult&& varredura) {
    Diagnostico diagnostico = diagnostico_da_chave(dada, type);
    diagnostico.resumos = std::move(varredura.resumos);
    diagnostico.sem_protocolo = std::move(varredura.sem_protocolo);
    // Every file recorded was one the quick check could not rule out: a
    // file that cannot be read never is, and only files it let through are
    // parsed.
    for (ArquivoIlegivel& arquivo : varredura.ilegiveis) diagnostico.ilegiveis.push_back(std::move(arquivo.arquivo));
    return diagnostico;
}

std::vector<std::string> linhas_do_diagnostico(const Diagnostico& diagnostico, const DocumentType& type) {
    std::vector<std::string> linhas;
    if (!diagnostico.chave_valida) linhas.emplace_back(msg::chave_invalida);
    if (diagnostico.modelo && !diagnostico.tipo_esperado)
        linhas.push_back(std::string(msg::chave_do_modelo) + *diagnostico.modelo + std::string(msg::outro_modelo) +
                         std::string(type.modelos[0]) + " e " + std::string(type.modelos[1]) + ").");
    if (diagnostico.espacos_na_chave) linhas.emplace_back(msg::chave_com_espacos);
    const auto arquivo = [&](const std::string& path, std::string_view achado, std::string_view depois = {}) {
        linhas.push_back(std::string(msg::o_arquivo) + path + std::string(achado) + std::string(depois));
    };
    for (const std::string& path : diagnostico.resumos) arquivo(path, msg::achado_resumo, type.messages.so_resumo);
    for (const std::string& path : diagnostico.sem_protocolo) arquivo(path, msg::achado_sem_protocolo);
    for (const std::string& path : diagnostico.ilegiveis) arquivo(path, msg::achado_ilegivel);
    return linhas;
}

}  // namespace idf
