// [EMITENTE], [REMETENTE] and [DESTINATARIO] of the CT-e.
#include <gtest/gtest.h>

#include "cte/cte_fixture.hpp"

namespace idf::test::cte {
namespace {

const std::string endereco = "<enderEmit><xLgr>R</xLgr><nro>1</nro><xBairro>B</xBairro><cMun>1</cMun></enderEmit>";

TEST(CteParticipantes, AbortConditionsInOrder) {
    const CTe ok;
    const struct {
        const char* name;
        std::string emit, rem, dest;
        std::string_view text;
    } cases[] = {
        {"no emit, no rem", "", "", ok.dest, "O Sistema não Conseguiu Ler a TAG do Emitente no Arquivo XML."},
        {"carrier with CPF only", "<emit><CPF>12345678909</CPF>" + endereco + "</emit>", ok.rem, ok.dest,
         "O Sistema não Conseguiu Ler o CNPJ da Transportadora no Arquivo XML."},
        {"no enderEmit, no rem", "<emit><CNPJ>1</CNPJ></emit>", "", ok.dest,
         "O Sistema não Conseguiu Ler a TAG do Endereço do Emitente no Arquivo XML."},
        {"no rem", ok.emit, "", ok.dest, "O Sistema não Conseguiu Ler a TAG do Remetente no Arquivo XML."},
        {"sender with blank numbers, no dest", ok.emit, "<rem><CNPJ/><CPF> </CPF></rem>", "",
         "O Sistema não Conseguiu Ler o CNPJ do Remetente no Arquivo XML."},
        {"no dest", ok.emit, ok.rem, "", "O Sistema não Conseguiu Ler a TAG do Destinatário no Arquivo XML."},
        {"receiver without number", ok.emit, ok.rem, "<dest><xNome>D</xNome></dest>",
         "O Sistema não Conseguiu Ler o CNPJ/CPF do Destinatário no Arquivo XML."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTe cte;
        cte.emit = c.emit;
        cte.rem = c.rem;
        cte.dest = c.dest;
        expect_abort(run(cte), aborta(c.text));
    }
}

TEST(CteParticipantes, CarrierKeysAndProblemLines) {
    const struct {
        const char* name;
        std::string inner;  // emit after its CNPJ
        Lines expected;     // after "CNPJ_CPF="
        std::string_view problems;
    } cases[] = {
        {"only the mandatory elements",
         "<enderEmit/>",
         {"Inscricao_Estadual=", "Razao_Social=", "Nome_Fantasia=", "Endereco=", "Numero_Endereco=", "Bairro=",
          "Cidade=", "CEP=", "Fone="},
         "- Razão Social / Nome da Transportadora no Arquivo XML.\r\n- Endereço da Transportadora no Arquivo XML.\r\n"
         "- Nº do Endereço da Transportadora no Arquivo XML.\r\n- Bairro da Transportadora no Arquivo XML.\r\n"
         "- Cidade da Transportadora no Arquivo XML.\r\n"},
        // Truncations keep the case of the carrier and count leading blanks;
        // an 11-digit telephone gives an empty value and no problem line.
        {"truncations and masks",
         "<xNome>" + std::string(90, 'x') + "</xNome><xFant> abcdefghijklmnopqrstuvwxyz</xFant><enderEmit><xLgr>" +
             std::string(60, 'L') + "</xLgr><nro>12345678901</nro><xBairro>" + std::string(45, 'b') +
             "</xBairro><cMun>0003550308</cMun><CEP>01430</CEP><fone>11303040501</fone></enderEmit>",
         {"Inscricao_Estadual=", "Razao_Social=" + std::string(70, 'x'), "Nome_Fantasia= abcdefghijklmnopqrs",
          "Endereco=" + std::string(50, 'L'), "Numero_Endereco=1234567890", "Bairro=" + std::string(40, 'b'),
          "Cidade=3550308", "CEP=01.430-", "Fone="},
         ""},
        // Ten digits among other characters: the mask takes the text as read.
        {"unreadable optional values",
         "<IE><a/></IE><xNome>T</xNome><xFant><a/></xFant><enderEmit><xLgr>R</xLgr><nro>1</nro><xBairro>B</xBairro>"
         "<cMun>SP01</cMun><CEP><a/></CEP><fone>(11) 3030-4050</fone></enderEmit>",
         {"Inscricao_Estadual=", "Razao_Social=T", "Nome_Fantasia=", "Endereco=R", "Numero_Endereco=1", "Bairro=B",
          "Cidade=", "CEP=", "Fone=(0(1)1) 3-030-"},
         "- Inscrição Estadual da Transportadora no Arquivo XML.\r\n- Nome Fantasia da Transportadora no Arquivo "
         "XML.\r\n- Cidade da Transportadora no Arquivo XML.\r\n- Cep da Transportadora no Arquivo XML.\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTe cte;
        cte.emit = "<emit><CNPJ>12345678000190</CNPJ>" + c.inner + "</emit>";
        const RunResult r = run(cte);
        ASSERT_TRUE(r.completed());
        Lines expected = {"CNPJ_CPF=12345678000190"};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(section(r, "[EMITENTE]"), expected);
        EXPECT_EQ(r.result.lista_problemas, c.problems);
    }
}

TEST(CteParticipantes, SenderAndReceiverNumberAndName) {
    const struct {
        const char* name;
        std::string inner;  // inside both rem and dest
        Lines expected;
        bool problems;
    } cases[] = {
        {"CPF only",
         "<CPF>12345678909</CPF><xNome>maria</xNome>",
         {"CNPJ_CPF=12345678909", "Razao_Social=MARIA"},
         false},
        {"CNPJ wins",
         "<CPF>12345678909</CPF><CNPJ>222</CNPJ><xNome>a</xNome>",
         {"CNPJ_CPF=222", "Razao_Social=A"},
         false},
        {"blank CNPJ, then the CPF",
         "<CNPJ> </CNPJ><CPF>123</CPF><xNome>a</xNome>",
         {"CNPJ_CPF=123", "Razao_Social=A"},
         false},
        {"ASCII letters upper-cased only",
         "<CNPJ>2</CNPJ><xNome>Comércio de Peças Ltda</xNome>",
         {"CNPJ_CPF=2", "Razao_Social=COMéRCIO DE PEçAS LTDA"},
         false},
        {"first 70 characters",
         "<CNPJ>2</CNPJ><xNome>" + std::string(75, 'a') + "</xNome>",
         {"CNPJ_CPF=2", "Razao_Social=" + std::string(70, 'A')},
         false},
        {"missing name", "<CNPJ>2</CNPJ>", {"CNPJ_CPF=2", "Razao_Social="}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTe cte;
        cte.rem = "<rem>" + c.inner + "</rem>";
        cte.dest = "<dest>" + c.inner + "</dest>";
        const RunResult r = run(cte);
        ASSERT_TRUE(r.completed());
        EXPECT_EQ(section(r, "[REMETENTE]"), c.expected);
        EXPECT_EQ(section(r, "[DESTINATARIO]"), c.expected);
        EXPECT_EQ(r.result.lista_problemas, c.problems ? "- Razão Social / Nome do Remetente no Arquivo XML.\r\n"
                                                         "- Razão Social / Nome do Destinatário no Arquivo XML.\r\n"
                                                       : "");
    }
}

}  // namespace
}  // namespace idf::test::cte
