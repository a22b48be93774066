// [EMITENTE], [REMETENTE] and [DESTINATARIO] of the CT-e.
#include <gtest/gtest.h>

#include <algorithm>

#include "cte/cte_fixture.hpp"

namespace idf::test::cte {
namespace {

constexpr std::string_view msg_emitente =
    "O Sistema não Conseguiu Ler a TAG do Emitente no Arquivo XML.\r\n\nA Importação será Abortada.";
constexpr std::string_view msg_cnpj_emitente =
    "O Sistema não Conseguiu Ler o CNPJ da Transportadora no Arquivo XML.\r\n\nA Importação será Abortada.";
constexpr std::string_view msg_endereco =
    "O Sistema não Conseguiu Ler a TAG do Endereço do Emitente no Arquivo XML.\r\n\nA Importação será Abortada.";
constexpr std::string_view msg_remetente =
    "O Sistema não Conseguiu Ler a TAG do Remetente no Arquivo XML.\r\n\nA Importação será Abortada.";
constexpr std::string_view msg_cnpj_remetente =
    "O Sistema não Conseguiu Ler o CNPJ do Remetente no Arquivo XML.\r\n\nA Importação será Abortada.";
constexpr std::string_view msg_destinatario =
    "O Sistema não Conseguiu Ler a TAG do Destinatário no Arquivo XML.\r\n\nA Importação será Abortada.";
constexpr std::string_view msg_cnpj_destinatario =
    "O Sistema não Conseguiu Ler o CNPJ/CPF do Destinatário no Arquivo XML.\r\n\nA Importação será Abortada.";

const std::string endereco =
    "<enderEmit><xLgr>Rua A</xLgr><nro>10</nro><xBairro>Centro</xBairro><cMun>3550308</cMun></enderEmit>";

std::string emit_with(std::string_view inner) { return "<emit>" + std::string(inner) + "</emit>"; }

struct AbortCase {
    const char* name;
    std::string emit, rem, dest;
    std::string_view message;
};

TEST(CteParticipantes, AbortConditionsInOrderLeaveNoFile) {
    const CTe ok;
    const AbortCase cases[] = {
        {"no emit, no rem", "", "", ok.dest, msg_emitente},
        {"carrier with CPF only", emit_with("<CPF>12345678909</CPF>" + endereco), ok.rem, ok.dest, msg_cnpj_emitente},
        {"blank carrier CNPJ before a missing address", emit_with("<CNPJ> </CNPJ>"), ok.rem, ok.dest,
         msg_cnpj_emitente},
        {"carrier CNPJ holding an element", emit_with("<CNPJ><a>1</a></CNPJ>" + endereco), ok.rem, ok.dest,
         msg_cnpj_emitente},
        {"no enderEmit, no rem", emit_with("<CNPJ>1</CNPJ><xNome>T</xNome>"), "", ok.dest, msg_endereco},
        {"no rem", ok.emit, "", ok.dest, msg_remetente},
        {"sender without number, no dest", ok.emit, "<rem><xNome>R</xNome></rem>", "", msg_cnpj_remetente},
        {"sender with blank CNPJ and CPF", ok.emit, "<rem><CNPJ/><CPF>  </CPF></rem>", ok.dest, msg_cnpj_remetente},
        {"no dest", ok.emit, ok.rem, "", msg_destinatario},
        {"receiver without number", ok.emit, ok.rem, "<dest><xNome>D</xNome><IE>1</IE></dest>", msg_cnpj_destinatario},
    };
    for (const AbortCase& c : cases) {
        SCOPED_TRACE(c.name);
        CTe cte;
        cte.emit = c.emit;
        cte.rem = c.rem;
        cte.dest = c.dest;
        const RunResult r = run(cte);
        EXPECT_FALSE(r.completed());
        EXPECT_FALSE(r.ini.has_value());
        EXPECT_EQ(r.boxes, std::vector<std::string>{std::string(c.message)});
    }
}

TEST(CteParticipantes, WholePartiesInOrder) {
    CTe cte;
    cte.emit =
        "<emit><CNPJ>12345678000190</CNPJ><IE>ISENTO</IE><xNome>Transportes Rápidos Ltda</xNome><xFant>Rápidos</xFant>"
        "<enderEmit><xLgr>Av. Brasil</xLgr><nro>1500</nro><xCpl>Galpão 2</xCpl><xBairro>Jardim América</xBairro>"
        "<cMun>3550308</cMun><xMun>São Paulo</xMun><CEP>01430001</CEP><UF>SP</UF><fone>1130304050</fone>"
        "</enderEmit></emit>";
    cte.rem = "<rem><CNPJ>22222222000122</CNPJ><xNome>Comércio de Peças Ltda</xNome></rem>";
    cte.dest = "<dest><CPF>12345678909</CPF><xNome>maria da silva</xNome></dest>";
    const RunResult r = run(cte);
    ASSERT_TRUE(r.completed());
    const Lines lines = r.lines();
    const auto at = std::find(lines.begin(), lines.end(), "[EMITENTE]");
    ASSERT_NE(at, lines.end());
    ASSERT_EQ(at[-1], "");
    const Lines expected = {
        "[EMITENTE]",
        "CNPJ_CPF=12345678000190",
        "Inscricao_Estadual=ISENTO",
        "Razao_Social=Transportes Rápidos Ltda",
        "Nome_Fantasia=Rápidos",
        "Endereco=Av. Brasil",
        "Numero_Endereco=1500",
        "Bairro=Jardim América",
        "Cidade=3550308",
        "CEP=01.430-001",
        "Fone=(011)3030-4050",
        "",
        "[REMETENTE]",
        "CNPJ_CPF=22222222000122",
        "Razao_Social=COMéRCIO DE PEçAS LTDA",
        "",
        "[DESTINATARIO]",
        "CNPJ_CPF=12345678909",
        "Razao_Social=MARIA DA SILVA",
        "",
        "[TOTAIS]",
    };
    ASSERT_GE(lines.end() - at, static_cast<std::ptrdiff_t>(expected.size()));
    EXPECT_EQ(Lines(at, at + static_cast<std::ptrdiff_t>(expected.size())), expected);
    EXPECT_TRUE(r.result.lista_problemas.empty());
}

TEST(CteParticipantes, CarrierKeysAndTheirProblemLines) {
    const std::string long90(90, 'x');
    const struct {
        const char* name;
        std::string emit_inner;  // after the CNPJ
        Lines expected;          // the lines after "CNPJ_CPF="
        std::string problems;
    } cases[] = {
        {"only the mandatory elements present",
         "<enderEmit/>",
         {"Inscricao_Estadual=", "Razao_Social=", "Nome_Fantasia=", "Endereco=", "Numero_Endereco=", "Bairro=",
          "Cidade=", "CEP=", "Fone="},
         "- Razão Social / Nome da Transportadora no Arquivo XML.\r\n"
         "- Endereço da Transportadora no Arquivo XML.\r\n"
         "- Nº do Endereço da Transportadora no Arquivo XML.\r\n"
         "- Bairro da Transportadora no Arquivo XML.\r\n"
         "- Cidade da Transportadora no Arquivo XML.\r\n"},
        {"blank texts count as missing",
         "<IE> </IE><xNome>  </xNome><xFant>\t</xFant><enderEmit><xLgr> </xLgr><nro>1</nro><xBairro>B</xBairro>"
         "<cMun>1</cMun><CEP> </CEP></enderEmit>",
         {"Inscricao_Estadual=", "Razao_Social=", "Nome_Fantasia=", "Endereco=", "Numero_Endereco=1", "Bairro=B",
          "Cidade=1", "CEP=", "Fone="},
         "- Razão Social / Nome da Transportadora no Arquivo XML.\r\n"
         "- Endereço da Transportadora no Arquivo XML.\r\n"},
        {"truncations, case and blanks kept",
         "<xNome>" + long90 + "</xNome><xFant> abcdefghijklmnopqrstuvwxyz</xFant><enderEmit><xLgr>" +
             std::string(60, 'L') + "</xLgr><nro>12345678901</nro><xBairro>" + std::string(45, 'b') +
             "</xBairro><cMun>0003550308</cMun></enderEmit>",
         {"Inscricao_Estadual=", "Razao_Social=" + std::string(70, 'x'), "Nome_Fantasia= abcdefghijklmnopqrs",
          "Endereco=" + std::string(50, 'L'), "Numero_Endereco=1234567890", "Bairro=" + std::string(40, 'b'),
          "Cidade=3550308", "CEP=", "Fone="},
         ""},
        {"non-numeric municipality",
         "<xNome>T</xNome><enderEmit><xLgr>R</xLgr><nro>1</nro><xBairro>B</xBairro><cMun>SP01</cMun></enderEmit>",
         {"Inscricao_Estadual=", "Razao_Social=T", "Nome_Fantasia=", "Endereco=R", "Numero_Endereco=1", "Bairro=B",
          "Cidade=", "CEP=", "Fone="},
         "- Cidade da Transportadora no Arquivo XML.\r\n"},
        {"optional elements holding elements fail on their own",
         "<IE><a>1</a></IE><xNome>T</xNome><xFant><a>1</a></xFant><enderEmit><xLgr>R</xLgr><nro>1</nro>"
         "<xBairro>B</xBairro><cMun>1</cMun><CEP><a>1</a></CEP></enderEmit>",
         {"Inscricao_Estadual=", "Razao_Social=T", "Nome_Fantasia=", "Endereco=R", "Numero_Endereco=1", "Bairro=B",
          "Cidade=1", "CEP=", "Fone="},
         "- Inscrição Estadual da Transportadora no Arquivo XML.\r\n"
         "- Nome Fantasia da Transportadora no Arquivo XML.\r\n"
         "- Cep da Transportadora no Arquivo XML.\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTe cte;
        cte.emit = emit_with("<CNPJ>12345678000190</CNPJ>" + c.emit_inner);
        const RunResult r = run(cte);
        ASSERT_TRUE(r.completed());
        Lines expected = {"CNPJ_CPF=12345678000190"};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(section(r, "[EMITENTE]"), expected);
        EXPECT_EQ(r.result.lista_problemas, c.problems);
    }
}

TEST(CteParticipantes, PostalCodeAndTelephoneMasks) {
    const struct {
        std::string_view cep, fone, cep_line, fone_line;
    } cases[] = {
        {"01430001", "1130304050", "CEP=01.430-001", "Fone=(011)3030-4050"},
        {"01430", "11303040501", "CEP=01.430-", "Fone="},
        {"01430-001", "113030405", "CEP=01.430--00", "Fone="},
        // Ten digits among other characters: the mask takes the text as read.
        {"0", "(11) 3030-4050", "CEP=0.-", "Fone=(0(1)1) 3-030-"},
        {"", "", "CEP=", "Fone="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fone);
        CTe cte;
        cte.emit = emit_with(
            "<CNPJ>1</CNPJ><IE>1</IE><xNome>T</xNome><enderEmit><xLgr>R</xLgr><nro>1</nro><xBairro>B</xBairro>"
            "<cMun>1</cMun><CEP>" +
            std::string(c.cep) + "</CEP><fone>" + std::string(c.fone) + "</fone></enderEmit>");
        const RunResult r = run(cte);
        ASSERT_TRUE(r.completed());
        const Lines lines = section(r, "[EMITENTE]");
        ASSERT_EQ(lines.size(), 10u);
        EXPECT_EQ(lines[8], c.cep_line);
        EXPECT_EQ(lines[9], c.fone_line);
        EXPECT_TRUE(r.result.lista_problemas.empty());
    }
}

TEST(CteParticipantes, SenderAndReceiverNumbers) {
    const struct {
        const char* name;
        std::string party_inner;  // inside rem and inside dest
        std::string_view line;
    } cases[] = {
        {"CNPJ", "<CNPJ>22222222000122</CNPJ>", "CNPJ_CPF=22222222000122"},
        {"CPF only", "<CPF>12345678909</CPF>", "CNPJ_CPF=12345678909"},
        // The CNPJ wins wherever it stands.
        {"both", "<CPF>12345678909</CPF><CNPJ>22222222000122</CNPJ>", "CNPJ_CPF=22222222000122"},
        {"blank CNPJ and a CPF", "<CNPJ>  </CNPJ><CPF>12345678909</CPF>", "CNPJ_CPF=12345678909"},
        {"CNPJ holding an element and a CPF", "<CNPJ><a>1</a></CNPJ><CPF>12345678909</CPF>", "CNPJ_CPF=12345678909"},
        // Written as read: no punctuation is removed.
        {"punctuated", "<CNPJ> 22.222.222/0001-22</CNPJ>", "CNPJ_CPF= 22.222.222/0001-22"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTe cte;
        cte.rem = "<rem>" + c.party_inner + "<xNome>R</xNome></rem>";
        cte.dest = "<dest>" + c.party_inner + "<xNome>D</xNome></dest>";
        const RunResult r = run(cte);
        ASSERT_TRUE(r.completed());
        EXPECT_EQ(section(r, "[REMETENTE]"), (Lines{std::string(c.line), "Razao_Social=R"}));
        EXPECT_EQ(section(r, "[DESTINATARIO]"), (Lines{std::string(c.line), "Razao_Social=D"}));
    }
}

TEST(CteParticipantes, SenderAndReceiverNames) {
    const struct {
        const char* name;
        std::string x_nome;  // the whole element, or nothing
        std::string_view line;
        bool problem;
    } cases[] = {
        {"ASCII letters upper-cased only", "<xNome>Comércio de Peças ção ltda.</xNome>",
         "Razao_Social=COMéRCIO DE PEçAS çãO LTDA.", false},
        {"first 70 characters", "<xNome>" + std::string(75, 'a') + "</xNome>", "", false},
        {"kept untrimmed", "<xNome>  ab  </xNome>", "Razao_Social=  AB  ", false},
        {"missing", "", "Razao_Social=", true},
        {"blank", "<xNome> \r\n </xNome>", "Razao_Social=", true},
        {"holding an element", "<xNome><b>x</b></xNome>", "Razao_Social=", true},
    };
    const std::string seventy = "Razao_Social=" + std::string(70, 'A');
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTe cte;
        cte.rem = "<rem><CNPJ>2</CNPJ>" + c.x_nome + "</rem>";
        cte.dest = "<dest><CNPJ>3</CNPJ>" + c.x_nome + "</dest>";
        const RunResult r = run(cte);
        ASSERT_TRUE(r.completed());
        const std::string expected = c.line.empty() ? seventy : std::string(c.line);
        EXPECT_EQ(section(r, "[REMETENTE]"), (Lines{"CNPJ_CPF=2", expected}));
        EXPECT_EQ(section(r, "[DESTINATARIO]"), (Lines{"CNPJ_CPF=3", expected}));
        EXPECT_EQ(r.result.lista_problemas, c.problem ? "- Razão Social / Nome do Remetente no Arquivo XML.\r\n"
                                                        "- Razão Social / Nome do Destinatário no Arquivo XML.\r\n"
                                                      : "");
    }
}

}  // namespace
}  // namespace idf::test::cte
