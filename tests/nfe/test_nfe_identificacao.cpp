// Protocol, [IDENTIFICACAO] and [NOTAS_REFERENCIADAS].
#include <gtest/gtest.h>

#include "nfe_fixture.hpp"

namespace idf::test::nfe {
namespace {

const std::string sem_protocolo =
    "Arquivo XML Inválido. O Sistema não Conseguiu Ler o Nº do Protocolo da Autorização da NFe.\r\n\n"
    "A Importação será Abortada.";
const std::string sem_chave =
    "Arquivo XML Inválido. O Sistema não Conseguiu Ler a Chave de Acesso da NFe.\r\n\nA Importação será Abortada.";
const std::string sem_ide =
    "O Sistema não Conseguiu Ler a TAG da Identificação no Arquivo XML.\r\n\nA Importação será Abortada.";
const std::string sem_serie =
    "O Sistema não Conseguiu Ler a Série da Nota Fiscal no Arquivo XML.\r\n\nA Importação será Abortada.";
const std::string sem_numero =
    "O Sistema não Conseguiu Ler o Número da Nota Fiscal no Arquivo XML.\r\n\nA Importação será Abortada.";

struct AbortCase {
    const char* name;
    std::string xml;
    std::string message;
};

NFe with_protocolo(std::string xml) {
    NFe n;
    n.protocolo = std::move(xml);
    return n;
}
NFe with_ide(std::string xml) {
    NFe n;
    n.ide = std::move(xml);
    return n;
}

TEST(NfeIdentificacao, AbortsInOrderWithItsMessageAndLeavesNoFile) {
    // The protocol passes, then the identification path is missing.
    const std::string sem_nfe =
        "<nfeProc xmlns=\"http://www.portalfiscal.inf.br/nfe\"><protNFe><infProt><chNFe>1</chNFe>"
        "<nProt>1</nProt></infProt></protNFe></nfeProc>";
    NFe sem_nada = with_protocolo("");
    sem_nada.ide = "";

    const AbortCase cases[] = {
        {"no protNFe", with_protocolo("").xml(), sem_protocolo},
        {"no infProt", with_protocolo("<protNFe><x/></protNFe>").xml(), sem_protocolo},
        {"no nProt", with_protocolo("<protNFe><infProt><chNFe>1</chNFe></infProt></protNFe>").xml(), sem_protocolo},
        {"blank nProt",
         with_protocolo("<protNFe><infProt><chNFe>1</chNFe><nProt> \t</nProt></infProt></protNFe>").xml(),
         sem_protocolo},
        {"protocol before ide", sem_nada.xml(), sem_protocolo},
        {"no chNFe", with_protocolo("<protNFe><infProt><nProt>1</nProt></infProt></protNFe>").xml(), sem_chave},
        {"blank chNFe", with_protocolo("<protNFe><infProt><chNFe>  </chNFe><nProt>1</nProt></infProt></protNFe>").xml(),
         sem_chave},
        {"no NFe at all", sem_nfe, sem_ide},
        {"no ide", with_ide("").xml(), sem_ide},
        {"no serie", with_ide("<ide><nNF>1</nNF></ide>").xml(), sem_serie},
        {"blank serie before bad nNF", with_ide("<ide><serie> </serie><nNF>x</nNF></ide>").xml(), sem_serie},
        {"no nNF", with_ide("<ide><serie>1</serie></ide>").xml(), sem_numero},
        {"nNF with letters", with_ide("<ide><serie>1</serie><nNF>12a</nNF></ide>").xml(), sem_numero},
        {"nNF above int32", with_ide("<ide><serie>1</serie><nNF>2147483648</nNF></ide>").xml(), sem_numero},
    };
    for (const auto& c : cases) {
        for (const char* modo : {"", "Sim"}) {
            SCOPED_TRACE(std::string(c.name) + " modo=" + modo);
            const RunResult r = run_xml(DocType::nfe, c.xml, Regional::brazilian(), modo);
            EXPECT_FALSE(r.completed());
            EXPECT_FALSE(r.ini.has_value());
            EXPECT_EQ(r.boxes, std::vector<std::string>{c.message});
        }
    }
}

// A protocol is refused, after its number and before its key, when its
// status is present and is neither 100 nor 150.
TEST(NfeIdentificacao, ProtocolWhoseStatusDoesNotAuthoriseUseIsRefused) {
    const auto infprot = [](const std::string& inner) {
        return with_protocolo("<protNFe><infProt><chNFe>" + std::string(chave) + "</chNFe>" + inner +
                              "</infProt></protNFe>");
    };
    const auto recusa = [](const std::string& situacao) {
        return "Arquivo XML Inválido. O Protocolo não Autoriza o Uso da NFe (Situação " + situacao +
               ").\r\n\nA Importação será Abortada.";
    };
    const std::string m250(250, 'm');
    const AbortCase refused[] = {
        {"denied", infprot("<nProt>1</nProt><cStat>110</cStat><xMotivo>Uso Denegado</xMotivo>").xml(),
         recusa("110 - Uso Denegado")},
        {"trimmed", infprot("<nProt>1</nProt><cStat>\t301 </cStat><xMotivo> Irregular \n</xMotivo>").xml(),
         recusa("301 - Irregular")},
        {"blank reason", infprot("<nProt>1</nProt><cStat>302</cStat><xMotivo>  </xMotivo>").xml(), recusa("302")},
        {"reason of 259 characters",
         infprot("<nProt>1</nProt><cStat>101</cStat><xMotivo>" + m250 + "ção longo</xMotivo>").xml(),
         recusa("101 - " + m250 + "ção l")},
        {"not a number", infprot("<nProt>1</nProt><cStat>OK</cStat>").xml(), recusa("OK")},
        {"before the key",
         with_protocolo("<protNFe><infProt><nProt>1</nProt><cStat>135</cStat></infProt></protNFe>").xml(),
         recusa("135")},
        {"after the number", infprot("<cStat>110</cStat>").xml(), sem_protocolo},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        const RunResult r = run_xml(DocType::nfe, c.xml, Regional::brazilian(), "Sim");
        EXPECT_FALSE(r.ini.has_value());
        EXPECT_EQ(r.boxes, std::vector<std::string>{c.message});
    }

    // Authorised, out of time, missing, blank or unreadable status, and a
    // test environment: imported.
    for (const char* inner : {"<cStat>100</cStat>", "<cStat> 150\r\n</cStat>", "", "<cStat> </cStat>",
                              "<cStat><x>110</x></cStat>", "<cStat>100</cStat><tpAmb>2</tpAmb>"}) {
        SCOPED_TRACE(inner);
        EXPECT_TRUE(run(infprot(std::string("<nProt>1</nProt>") + inner)).completed());
    }
}

TEST(NfeIdentificacao, AccessKeyLayoutOfOddLengths) {
    struct Case {
        std::string ch_nfe;
        std::string expected;
    };
    const Case cases[] = {
        {std::string(chave), "Chave_Acesso=" + std::string(chave_formatada)},        // 54 characters
        {std::string(chave) + "9", "Chave_Acesso=" + std::string(chave_formatada)},  // 45th character dropped
        {"123456", "Chave_Acesso=1234 56         "},                                 // all ten blanks stay
        {" 12345", "Chave_Acesso= 123 45         "},                                 // not trimmed
        // U+1F600 takes two of the first four positions.
        {"\xF0\x9F\x98\x80"
         "1234567",
         "Chave_Acesso=?12 3456 7        "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ch_nfe);
        const RunResult r = run(
            with_protocolo("<protNFe><infProt><chNFe>" + c.ch_nfe + "</chNFe><nProt>1</nProt></infProt></protNFe>"));
        ASSERT_TRUE(r.completed());
        EXPECT_EQ(r.lines().at(1), c.expected);
    }
}

TEST(NfeIdentificacao, SeriesAsReadAndNumberNormalised) {
    struct Case {
        const char* serie;
        const char* nnf;
        const char* serie_line;
        const char* numero_line;
    };
    const Case cases[] = {
        {"001", "000123", "Serie_Nota_Fiscal=001", "Numero_Nota_Fiscal=123"},
        {" 1 ", "+42", "Serie_Nota_Fiscal= 1 ", "Numero_Nota_Fiscal=42"},
        {"0", " 2147483647", "Serie_Nota_Fiscal=0", "Numero_Nota_Fiscal=2147483647"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nnf);
        const RunResult r = run(with_ide(std::string("<ide><serie>") + c.serie + "</serie><nNF>" + c.nnf +
                                         "</nNF><dEmi>2010-01-02</dEmi></ide>"));
        ASSERT_TRUE(r.completed());
        EXPECT_EQ(r.lines().at(2), c.serie_line);
        EXPECT_EQ(r.lines().at(3), c.numero_line);
    }
}

TEST(NfeIdentificacao, EmissionDateFromDEmiElseDhEmi) {
    const std::string problema = "- Data da Emissão da Nota Fiscal no Arquivo XML.\r\n";
    struct Case {
        const char* datas;
        const char* line;
        std::string problems;
    };
    const Case cases[] = {
        {"<dEmi>2009-03-01</dEmi>", "Data_Emissao=01/03/2009", ""},
        {"<dhEmi>2023-05-10T23:59:59-02:00</dhEmi>", "Data_Emissao=10/05/2023", ""},
        {"<dEmi>2009-03-01</dEmi><dhEmi>2023-05-10T10:00:00-03:00</dhEmi>", "Data_Emissao=01/03/2009", ""},
        {"<dEmi> </dEmi><dhEmi>2023-05-10T10:00:00-03:00</dhEmi>", "Data_Emissao=10/05/2023", ""},
        // A dEmi that fails to convert does not fall back to dhEmi.
        {"<dEmi>2023-02-30</dEmi><dhEmi>2023-05-10T10:00:00-03:00</dhEmi>", "Data_Emissao=", problema},
        {"<dhEmi>2023-13-01T00:00:00</dhEmi>", "Data_Emissao=", problema},
        {"", "Data_Emissao=", problema},
        // The built day/month/year is read as it stands: blanks only after
        // the year, which is taken as written.
        {"<dhEmi>23  -05-10</dhEmi>", "Data_Emissao=10/05/0023", ""},
        {"<dhEmi>2023-05- 9</dhEmi>", "Data_Emissao=", problema},
        {"<dhEmi>  99-12-31</dhEmi>", "Data_Emissao=", problema},
        // U+1F600 takes two positions: the day is its second half and "1".
        {"<dhEmi>2023-05\xF0\x9F\x98\x80"
         "10</dhEmi>",
         "Data_Emissao=", problema},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.datas);
        const RunResult r = run(with_ide(std::string("<ide><serie>1</serie><nNF>1</nNF>") + c.datas + "</ide>"), "Sim");
        ASSERT_TRUE(r.completed());
        EXPECT_EQ(r.lines().at(4), c.line);
        EXPECT_EQ(r.result.lista_problemas, c.problems);
        EXPECT_TRUE(r.boxes.empty());
    }
}

TEST(NfeIdentificacao, EmissionDateFollowsTheRegionalDateFormat) {
    // The XML's 10 May is written in the setting's order.
    const RunResult r = run(NFe{}, "", Regional{',', "M/d/yyyy"});
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(r.lines().at(4), "Data_Emissao=5/10/2023");
}

TEST(NfeNotasReferenciadas, NumbersOnlyTheNotesHoldingAnNFeKeyInUpperCase) {
    // The NFref walk goes on through the rest of ide's children; a refNF
    // (model 1 note) and an empty NFref take no number.
    const RunResult r =
        run(with_ide("<ide><serie>1</serie><nNF>1</nNF><dhEmi>2023-05-10</dhEmi>"
                     "<NFref><refNFe>35abc</refNFe></NFref>"
                     "<NFref><refNF><cUF>35</cUF></refNF></NFref>"
                     "<NFref/>"
                     "<NFref><refNFe>  </refNFe></NFref>"
                     "<NFref><refNFe>42ção</refNFe></NFref>"
                     "<tpImp>1</tpImp></ide>"));
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(section(r, "[NOTAS_REFERENCIADAS]"), (Lines{"[NOTAS_REFERENCIADAS]", "Nota_Fiscal_Referenciada_1=35ABC",
                                                          "Nota_Fiscal_Referenciada_2=42çãO", ""}));
}

TEST(NfeNotasReferenciadas, NoNFrefGivesTheBareHeader) {
    const RunResult r = run(NFe{});
    ASSERT_TRUE(r.completed());
    const Lines lines = r.lines();
    EXPECT_EQ(Lines(lines.begin() + 5, lines.begin() + 9), (Lines{"", "[NOTAS_REFERENCIADAS]", "", "[EMITENTE]"}));
}

TEST(NfeNotasReferenciadas, ANoteThatCannotBeReadIsSkippedWithoutProblem) {
    const RunResult r =
        run(with_ide("<ide><serie>1</serie><nNF>1</nNF><dhEmi>2023-05-10</dhEmi>"
                     "<NFref><refNFe>111<!-- x -->2</refNFe></NFref><NFref><refNFe>333</refNFe></NFref></ide>"));
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(section(r, "[NOTAS_REFERENCIADAS]"),
              (Lines{"[NOTAS_REFERENCIADAS]", "Nota_Fiscal_Referenciada_1=333", ""}));
    EXPECT_EQ(r.result.lista_problemas, "");
}

}  // namespace
}  // namespace idf::test::nfe
