// [EMITENTE], [EMISSOR NFE AVULSA] and [DESTINATARIO].
#include <gtest/gtest.h>

#include <algorithm>

#include "nfe_fixture.hpp"

namespace idf::test::nfe {
namespace {

const std::string sem_emit =
    "O Sistema não Conseguiu Ler a TAG do Emitente no Arquivo XML.\r\n\nA Importação será Abortada.";
const std::string sem_cnpj_emit =
    "O Sistema não Conseguiu Ler o CNPJ do Fornecedor no Arquivo XML.\r\n\nA Importação será Abortada.";
const std::string sem_ender_emit =
    "O Sistema não Conseguiu Ler a TAG do Endereço do Emitente no Arquivo XML.\r\n\nA Importação será Abortada.";
const std::string sem_cnpj_avulsa =
    "O Sistema não Conseguiu Ler o CNPJ do Emissor da NFe Avulsa no Arquivo XML.\r\n\nA Importação será Abortada.";
const std::string sem_dest =
    "O Sistema não Conseguiu Ler a TAG do Destinatário no Arquivo XML.\r\n\nA Importação será Abortada.";
const std::string sem_cnpj_dest =
    "O Sistema não Conseguiu Ler o CNPJ do Destinatário no Arquivo XML.\r\n\nA Importação será Abortada.";

const std::string ender = "<enderEmit><xLgr>R</xLgr><nro>1</nro><xBairro>B</xBairro><cMun>1</cMun></enderEmit>";

NFe with_emit(std::string emit) {
    NFe n;
    n.emit = std::move(emit);
    return n;
}

// The lines of [EMITENTE] without its header.
Lines emitente(const RunResult& r) {
    Lines s = section(r, "[EMITENTE]");
    return s.empty() ? s : Lines(s.begin() + 1, s.end());
}

TEST(NfeParticipantes, AbortsInOrderWithThePartyMessage) {
    struct Case {
        const char* name;
        NFe nfe;
        std::string message;
    };
    NFe sem_ender_nem_dest = with_emit("<emit><CNPJ>1</CNPJ></emit>");
    sem_ender_nem_dest.dest = "";
    NFe avulsa_sem_cnpj;
    avulsa_sem_cnpj.avulsa = "<avulsa><CPF>123</CPF></avulsa>";
    NFe avulsa_antes_de_dest = avulsa_sem_cnpj;
    avulsa_antes_de_dest.dest = "";
    NFe sem_destinatario;
    sem_destinatario.dest = "";
    NFe dest_com_cpf;
    dest_com_cpf.dest = "<dest><CPF>12345678901</CPF><xNome>Pessoa</xNome></dest>";
    NFe dest_cnpj_branco;
    dest_cnpj_branco.dest = "<dest><CNPJ> </CNPJ><xNome>Empresa</xNome></dest>";

    const Case cases[] = {
        {"no emit", with_emit(""), sem_emit},
        {"neither CNPJ nor CPF", with_emit("<emit><xNome>F</xNome>" + ender + "</emit>"), sem_cnpj_emit},
        {"blank CNPJ and CPF", with_emit("<emit><CNPJ> </CNPJ><CPF></CPF>" + ender + "</emit>"), sem_cnpj_emit},
        {"no enderEmit, checked before dest", sem_ender_nem_dest, sem_ender_emit},
        {"avulsa without CNPJ", avulsa_sem_cnpj, sem_cnpj_avulsa},
        {"avulsa checked before dest", avulsa_antes_de_dest, sem_cnpj_avulsa},
        {"no dest", sem_destinatario, sem_dest},
        {"recipient with CPF only", dest_com_cpf, sem_cnpj_dest},
        {"recipient with blank CNPJ", dest_cnpj_branco, sem_cnpj_dest},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult r = run(c.nfe);
        EXPECT_FALSE(r.completed());
        EXPECT_FALSE(r.ini.has_value());
        EXPECT_EQ(r.boxes, std::vector<std::string>{c.message});
    }
}

TEST(NfeParticipantes, IssuerNumberPrefersTheCnpjOverTheCpf) {
    struct Case {
        const char* numbers;
        const char* line;
    };
    const Case cases[] = {
        {"<CNPJ>12345678000190</CNPJ>", "CNPJ_CPF=12345678000190"},
        {"<CPF>12345678901</CPF>", "CNPJ_CPF=12345678901"},
        {"<CNPJ>12345678000190</CNPJ><CPF>12345678901</CPF>", "CNPJ_CPF=12345678000190"},
        {"<CPF>12345678901</CPF><CNPJ>12345678000190</CNPJ>", "CNPJ_CPF=12345678000190"},
        {"<CNPJ>  </CNPJ><CPF>12345678901</CPF>", "CNPJ_CPF=12345678901"},
        {"<CNPJ>12<x/></CNPJ><CPF>12345678901</CPF>", "CNPJ_CPF=12345678901"},  // unreadable CNPJ
        {"<CNPJ> 0012 </CNPJ>", "CNPJ_CPF= 0012 "},                             // written as read
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.numbers);
        const RunResult r = run(with_emit(std::string("<emit>") + c.numbers + ender + "</emit>"), "Sim");
        ASSERT_TRUE(r.completed());
        EXPECT_EQ(emitente(r).at(0), c.line);
    }
}

TEST(NfeParticipantes, MissingOptionalFieldsWriteEmptyValuesAndOnlyWhenEmptyOnesAreReported) {
    // Nothing but the number and an empty address.
    const RunResult r = run(with_emit("<emit><CNPJ>1</CNPJ><enderEmit/></emit>"), "Sim");
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(emitente(r),
              (Lines{"CNPJ_CPF=1", "Inscricao_Estadual=", "Razao_Social=", "Nome_Fantasia=", "Regime_Tributario=",
                     "Endereco=", "Numero_Endereco=", "Complemento=", "Bairro=", "Cidade=", "CEP=", "Fone=", ""}));
    EXPECT_EQ(r.result.lista_problemas,
              "- Razão Social / Nome do Fornecedor no Arquivo XML.\r\n"
              "- Endereço do Fornecedor no Arquivo XML.\r\n"
              "- Nº do Endereço do Fornecedor no Arquivo XML.\r\n"
              "- Bairro do Fornecedor no Arquivo XML.\r\n"
              "- Cidade do Fornecedor no Arquivo XML.\r\n");
}

TEST(NfeParticipantes, FailedReadsAddTheirProblemLines) {
    // Every child holds more than text, so every guarded read fails.
    const std::string bad = "<a/>b";
    const RunResult r =
        run(with_emit("<emit><CNPJ>1</CNPJ><IE>" + bad + "</IE><xNome>" + bad + "</xNome><xFant>" + bad +
                      "</xFant><CRT>x</CRT><enderEmit><xLgr>" + bad + "</xLgr><nro>" + bad + "</nro><xCpl>" + bad +
                      "</xCpl><xBairro>" + bad + "</xBairro><cMun>12a</cMun><CEP>" + bad + "</CEP><fone>" + bad +
                      "</fone></enderEmit></emit>"),
            "Sim");
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(r.result.lista_problemas,
              "- Inscrição Estadual do Fornecedor no Arquivo XML.\r\n"
              "- Razão Social / Nome do Fornecedor no Arquivo XML.\r\n"
              "- Nome Fantasia do Fornecedor no Arquivo XML.\r\n"
              "- Regime Tributário do Fornecedor no Arquivo XML.\r\n"
              "- Endereço do Fornecedor no Arquivo XML.\r\n"
              "- Nº do Endereço do Fornecedor no Arquivo XML.\r\n"
              "- Complemento do Endereço do Fornecedor no Arquivo XML.\r\n"
              "- Bairro do Fornecedor no Arquivo XML.\r\n"
              "- Cidade do Fornecedor no Arquivo XML.\r\n"
              "- Cep do Fornecedor no Arquivo XML.\r\n"
              "- Fone do Fornecedor no Arquivo XML.\r\n");
}

TEST(NfeParticipantes, TruncationsIntegersAndMasks) {
    struct Case {
        const char* child;  // a child of emit, or of enderEmit when it starts with "@"
        std::string value;
        std::string line;
        std::string problems;
    };
    const std::string s90(90, 'n');
    const Case cases[] = {
        {"xNome", s90, "Razao_Social=" + std::string(70, 'n'), ""},
        {"xNome", "  " + std::string(80, 'x'), "Razao_Social=  " + std::string(68, 'x'), ""},
        {"xFant", std::string(30, 'f'), "Nome_Fantasia=" + std::string(20, 'f'), ""},
        {"CRT", "3", "Regime_Tributario=3", ""},
        {"CRT", "x", "Regime_Tributario=", "- Regime Tributário do Fornecedor no Arquivo XML.\r\n"},
        {"@xLgr", std::string(60, 'l'), "Endereco=" + std::string(50, 'l'), ""},
        {"@nro", "12345678901", "Numero_Endereco=1234567890", ""},
        {"@xCpl", std::string(45, 'c'), "Complemento=" + std::string(40, 'c'), ""},
        {"@xBairro", std::string(45, 'b'), "Bairro=" + std::string(40, 'b'), ""},
        {"@cMun", "0042", "Cidade=42", ""},
        {"@cMun", "abc", "Cidade=", "- Cidade do Fornecedor no Arquivo XML.\r\n"},
        {"@CEP", "12345678", "CEP=12.345-678", ""},
        {"@CEP", "12345", "CEP=12.345-", ""},
        {"@CEP", "1", "CEP=1.-", ""},
        {"@fone", "1134567890", "Fone=(011)3456-7890", ""},
        {"@fone", "11987654321", "Fone=", ""},  // a mobile number: no mask, no problem
        // Ten digits decide; the pieces come from the text as read.
        {"@fone", "11-3456-7890", "Fone=(011)-345-6-78", ""},
        // Positions count UTF-16 units: U+1F600 takes two and becomes one "?".
        {"@CEP",
         "\xF0\x9F\x98\x80"
         "12345678",
         "CEP=?.123-456", ""},
        {"@fone",
         "\xF0\x9F\x98\x80"
         "8133334444",
         "Fone=(0?)8133-3344", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.child) + "=" + c.value);
        const bool address = c.child[0] == '@';
        const std::string tag = address ? c.child + 1 : c.child;
        const std::string element = "<" + tag + ">" + c.value + "</" + tag + ">";
        // The tested child replaces the fixture's one of the same name.
        std::string e = "<emit><CNPJ>1</CNPJ>";
        if (tag != "xNome") e += "<xNome>F</xNome>";
        if (!address) e += element;
        e += "<enderEmit>";
        for (const char* t : {"xLgr", "nro", "xBairro", "cMun"})
            if (tag != t) e += std::string("<") + t + ">1</" + t + ">";
        if (address) e += element;
        e += "</enderEmit></emit>";
        const RunResult r = run(with_emit(e), "Sim");
        ASSERT_TRUE(r.completed());
        const Lines lines = emitente(r);
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.line), lines.end()) << testing::PrintToString(lines);
        EXPECT_EQ(r.result.lista_problemas, c.problems);
    }
}

TEST(NfeParticipantes, StandAloneIssuerSectionOnlyWhenAvulsaExists) {
    NFe n;
    n.avulsa = "<avulsa><CNPJ>00394460000141</CNPJ><xOrgao>Secretaria</xOrgao></avulsa>";
    const RunResult com = run(n);
    ASSERT_TRUE(com.completed());
    EXPECT_EQ(section(com, "[EMISSOR NFE AVULSA]"), (Lines{"[EMISSOR NFE AVULSA]", "CNPJ_CPF=00394460000141", ""}));
    // Between the issuer's last line and the recipient.
    const Lines lines = com.lines();
    const auto at = std::find(lines.begin(), lines.end(), "[EMISSOR NFE AVULSA]");
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(*(at - 2), "Fone=");
    EXPECT_EQ(*(at + 3), "[DESTINATARIO]");

    const RunResult sem = run(NFe{});
    ASSERT_TRUE(sem.completed());
    EXPECT_TRUE(section(sem, "[EMISSOR NFE AVULSA]").empty());
}

TEST(NfeParticipantes, RecipientNameInAsciiUpperCase) {
    struct Case {
        std::string dest;
        Lines section;
        std::string problems;
    };
    const std::string problema = "- Razão Social / Nome do Destinatário no Arquivo XML.\r\n";
    const Case cases[] = {
        {"<dest><CNPJ>9</CNPJ><xNome>Comércio de Peças Ltda</xNome><enderDest><xLgr>x</xLgr></enderDest></dest>",
         {"[DESTINATARIO]", "CNPJ_CPF=9", "Razao_Social=COMéRCIO DE PEçAS LTDA", ""},
         ""},
        {"<dest><CNPJ>9</CNPJ><xNome>" + std::string(75, 'a') + "</xNome></dest>",
         {"[DESTINATARIO]", "CNPJ_CPF=9", "Razao_Social=" + std::string(70, 'A'), ""},
         ""},
        {"<dest><CNPJ>9</CNPJ></dest>", {"[DESTINATARIO]", "CNPJ_CPF=9", "Razao_Social=", ""}, problema},
        {"<dest><CNPJ>9</CNPJ><xNome><b/></xNome></dest>",
         {"[DESTINATARIO]", "CNPJ_CPF=9", "Razao_Social=", ""},
         problema},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dest);
        NFe n;
        n.dest = c.dest;
        const RunResult r = run(n, "Sim");
        ASSERT_TRUE(r.completed());
        EXPECT_EQ(section(r, "[DESTINATARIO]"), c.section);
        EXPECT_EQ(r.result.lista_problemas, c.problems);
    }
}

}  // namespace
}  // namespace idf::test::nfe
