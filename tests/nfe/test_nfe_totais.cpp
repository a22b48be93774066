// [TOTAIS], [TRANSPORTADORA], [VENCIMENTOS], [OBSERVACOES] and [DIRETORIO].
#include <gtest/gtest.h>

#include <algorithm>

#include "nfe/uimporta_arquivo_xml_nfe.hpp"
#include "nfe_fixture.hpp"

namespace idf::test::nfe {
namespace {

const std::string sem_totais =
    "O Sistema não Conseguiu Ler a TAG dos Totais no Arquivo XML.\r\n\nA Importação será Abortada.";
const std::string sem_transp =
    "O Sistema não Conseguiu Ler a TAG da Transportadora no Arquivo XML.\r\n\nA Importação será Abortada.";

// The lines between two markers (both excluded).
Lines between(const RunResult& r, std::string_view after, std::string_view before) {
    const Lines lines = r.lines();
    auto begin = std::find(lines.begin(), lines.end(), after);
    auto end = std::find(begin, lines.end(), before);
    if (begin == lines.end() || end == lines.end()) return {"<missing marker>"};
    return {begin + 1, end};
}

TEST(NfeTotais, AbortsWithoutTotalsOrTransport) {
    struct Case {
        const char* name;
        std::string total;
        std::string transp;
        std::string message;
    };
    const Case cases[] = {
        {"no total", "", "<transp/>", sem_totais},
        {"total without ICMSTot", "<total><ISSQNtot/></total>", "<transp/>", sem_totais},
        {"totals checked before transport", "", "", sem_totais},
        {"no transp", "<total><ICMSTot/></total>", "", sem_transp},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NFe n;
        n.total = c.total;
        n.transp = c.transp;
        const RunResult r = run(n);
        EXPECT_FALSE(r.completed());
        EXPECT_FALSE(r.ini.has_value());
        EXPECT_EQ(r.boxes, std::vector<std::string>{c.message});
    }
}

TEST(NfeTotais, ElevenAmountsInOrderWithTwoDecimals) {
    NFe n;
    n.total =
        "<total><ICMSTot><vBC>100</vBC><vICMS>18.0</vICMS><vICMSDeson>9</vICMSDeson><vBCST>1.005</vBCST>"
        "<vST>-1.5</vST><vProd>1234.5</vProd><vFrete> 7.25 </vFrete><vSeg>0.004</vSeg><vDesc>3</vDesc>"
        "<vII>0</vII><vIPI>2.5</vIPI><vPIS>0</vPIS><vCOFINS>0</vCOFINS><vOutro>4.444</vOutro>"
        "<vNF>1234.50</vNF></ICMSTot></total>";
    const RunResult r = run(n);
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(section(r, "[TOTAIS]"),
              (Lines{"[TOTAIS]", "Base_Icms=100,00", "Valor_Icms=18,00", "Base_ST=1,01", "Valor_ST=-1,50",
                     "Total_Produto=1234,50", "Valor_Frete=7,25", "Valor_Seguro=0,00", "Valor_Despesa=4,44",
                     "Valor_Desconto=3,00", "Valor_IPI=2,50", "Total_Nota_Fiscal=1234,50", ""}));
    EXPECT_EQ(r.result.lista_problemas, "");
}

TEST(NfeTotais, MissingAmountsAreZeroSilentlyAndBadOnesAreReported) {
    NFe n;
    n.total = "<total><ICMSTot><vDesc>abc</vDesc><vOutro>1,5</vOutro><vNF><x/></vNF></ICMSTot></total>";
    const RunResult r = run(n, "Sim");
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(section(r, "[TOTAIS]"),
              (Lines{"[TOTAIS]", "Base_Icms=0,00", "Valor_Icms=0,00", "Base_ST=0,00", "Valor_ST=0,00",
                     "Total_Produto=0,00", "Valor_Frete=0,00", "Valor_Seguro=0,00", "Valor_Despesa=0,00",
                     "Valor_Desconto=0,00", "Valor_IPI=0,00", "Total_Nota_Fiscal=0,00", ""}));
    EXPECT_EQ(r.result.lista_problemas,
              "- Valor da Despesa da Nota Fiscal no Arquivo XML.\r\n"
              "- Valor do Desconto da Nota Fiscal no Arquivo XML.\r\n"
              "- Total da Nota Fiscal no Arquivo XML.\r\n");
}

TEST(NfeTotais, PointDecimalSettingWritesEveryAmountWithAPoint) {
    NFe n;
    n.total = "<total><ICMSTot><vBC>10</vBC><vNF>10.5</vNF><vIPI>1,5</vIPI></ICMSTot></total>";
    const RunResult r = run(n, "Sim", Regional{'.', "dd/MM/yyyy"});
    ASSERT_TRUE(r.completed());
    const Lines totais = section(r, "[TOTAIS]");
    EXPECT_EQ(totais.at(1), "Base_Icms=10.00");
    EXPECT_EQ(totais.at(10), "Valor_IPI=0.00");
    EXPECT_EQ(totais.at(11), "Total_Nota_Fiscal=10.50");
    EXPECT_EQ(r.result.lista_problemas, "- Valor do IPI da Nota Fiscal no Arquivo XML.\r\n");
}

TEST(NfeTransportadora, CarrierLinesAndFreightMode) {
    struct Case {
        const char* name;
        std::string transp;
        Lines lines;  // after the header
        std::string problems;
    };
    const Case cases[] = {
        {"whole carrier",
         "<transp><modFrete>0</modFrete><transporta><CNPJ>11222333000181</CNPJ><xNome>Transportes "
         "Rápidos</xNome><IE>123</IE><xEnder>Rod. BR 116</xEnder><xMun>Curitiba</xMun><UF>PR</UF></transporta>"
         "<vol><qVol>1</qVol></vol></transp>",
         {"CNPJ_CPF=11222333000181", "Razao_Social=Transportes Rápidos", "Inscricao_Estadual=123",
          "Endereco=Rod. BR 116", "Nome_Cidade=Curitiba", "Estado=PR", "Modalidade_Frete=0", ""},
         ""},
        {"no transporta", "<transp><modFrete>9</modFrete></transp>", {"Modalidade_Frete=9", ""}, ""},
        {"carrier with a CPF, no IE, long name",
         "<transp><modFrete>09</modFrete><transporta><CPF>12345678901</CPF><xNome>" + std::string(60, 'T') +
             "</xNome><xEnder>E</xEnder><xMun>M</xMun><UF>SP</UF></transporta></transp>",
         {"CNPJ_CPF=", "Razao_Social=" + std::string(50, 'T'), "Inscricao_Estadual=ISENTO", "Endereco=E",
          "Nome_Cidade=M", "Estado=SP", "Modalidade_Frete=9", ""},
         ""},
        {"empty carrier, blank IE, no modFrete",
         "<transp><transporta><IE> </IE></transporta></transp>",
         {"CNPJ_CPF=", "Razao_Social=", "Inscricao_Estadual=ISENTO",
          "Endereco=", "Nome_Cidade=", "Estado=", "Modalidade_Frete=", ""},
         "- Razão Social / Nome da Transportadora no Arquivo XML.\r\n"
         "- Endereço da Transportadora no Arquivo XML.\r\n"
         "- Cidade da Transportadora no Arquivo XML.\r\n"
         "- Estado da Transportadora no Arquivo XML.\r\n"
         "- Modalidade do Frete no Arquivo XML.\r\n"},
        {"unreadable CNPJ and IE, bad modFrete",
         "<transp><modFrete>x</modFrete><transporta><CNPJ>1<a/></CNPJ><xNome>N</xNome><IE><a/>2</IE>"
         "<xEnder>E</xEnder><xMun>M</xMun><UF>U</UF></transporta></transp>",
         {"CNPJ_CPF=", "Razao_Social=N", "Inscricao_Estadual=", "Endereco=E", "Nome_Cidade=M", "Estado=U",
          "Modalidade_Frete=", ""},
         "- CNPJ/CPF da Transportadora no Arquivo XML.\r\n"
         "- Inscrição Estadual da Transportadora no Arquivo XML.\r\n"
         "- Modalidade do Frete no Arquivo XML.\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NFe n;
        n.transp = c.transp;
        const RunResult r = run(n, "Sim");
        ASSERT_TRUE(r.completed());
        Lines expected{"[TRANSPORTADORA]"};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(section(r, "[TRANSPORTADORA]"), expected);
        EXPECT_EQ(r.result.lista_problemas, c.problems);
    }
}

TEST(NfeVencimentos, TheThreeCasesOfCobr) {
    struct Case {
        const char* name;
        std::string cobr;
        Lines between;  // from Modalidade_Frete= to [OBSERVACOES]
    };
    const Case cases[] = {
        {"no cobr: one empty line", "", {""}},
        {"empty cobr: nothing at all", "<cobr></cobr>", {}},
        {"cobr with fat only: the bare header", "<cobr><fat><nFat>1</nFat></fat></cobr>", {"", "[VENCIMENTOS]"}},
        {"cobr with a comment only", "<cobr><!-- sem duplicatas --></cobr>", {"", "[VENCIMENTOS]"}},
        {"instalments",
         "<cobr><fat><nFat>1</nFat></fat>"
         "<dup><nDup>001</nDup><dVenc>2024-03-15</dVenc><vDup>100.5</vDup></dup>"
         "<dup/>"
         "<dup><nDup> 002 </nDup><dVenc>2024-02-30</dVenc></dup>"
         "<dup><dVenc> </dVenc><vDup>x</vDup></dup>"
         "<dup><nDup>4</nDup><dVenc>2024-3 -15</dVenc><vDup>1</vDup></dup></cobr>",
         {"", "[VENCIMENTOS]", "Numero_Duplicata_01=001", "Data_Vencimento_01=15/03/2024", "Valor_01=100,50", "",
          "Numero_Duplicata_02= 002 ", "Data_Vencimento_02=", "Valor_02=0,00", "",
          "Numero_Duplicata_03=", "Data_Vencimento_03=", "Valor_03=0,00", "", "Numero_Duplicata_04=4",
          "Data_Vencimento_04=", "Valor_04=1,00", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NFe n;
        n.transp = "<transp><modFrete>9</modFrete></transp>";
        n.cobr = c.cobr;
        n.inf_adic = "<infAdic/>";
        const RunResult r = run(n);
        ASSERT_TRUE(r.completed());
        EXPECT_EQ(between(r, "Modalidade_Frete=9", "[OBSERVACOES]"), c.between);
        EXPECT_EQ(r.result.lista_problemas, "");  // instalments never report
    }
}

TEST(NfeVencimentos, NumbersPadToTwoDigitsAndGrowPastNinetyNine) {
    std::string dups;
    for (int i = 1; i <= 100; ++i) dups += "<dup><nDup>" + std::to_string(i) + "</nDup></dup>";
    NFe n;
    n.cobr = "<cobr>" + dups + "</cobr>";
    const RunResult r = run(n);
    ASSERT_TRUE(r.completed());
    const Lines s = section(r, "[VENCIMENTOS]");
    ASSERT_EQ(s.size(), 1u + 100 * 4);
    EXPECT_EQ(s[1], "Numero_Duplicata_01=1");
    EXPECT_EQ(s[4 * 8 + 1], "Numero_Duplicata_09=9");
    EXPECT_EQ(s[4 * 9 + 1], "Numero_Duplicata_10=10");
    EXPECT_EQ(s[4 * 98 + 3], "Valor_99=0,00");
    EXPECT_EQ(s[4 * 99 + 1], "Numero_Duplicata_100=100");
    EXPECT_EQ(s[4 * 99 + 2], "Data_Vencimento_100=");
}

TEST(NfeObservacoes, NotesWholeOnOneLine) {
    struct Case {
        const char* name;
        std::string inf_adic;
        Lines lines;  // from [OBSERVACOES] to [DIRETORIO]
    };
    const std::string longa(3000, 'o');
    const Case cases[] = {
        {"no infAdic", "", {}},
        {"both notes",
         "<infAdic><infAdFisco>Fisco</infAdFisco><infCpl>Compl</infCpl></infAdic>",
         {"[OBSERVACOES]", "Observacao_Fisco=Fisco", "Observacao=Compl", ""}},
        {"only infCpl",
         "<infAdic><infCpl>Nota</infCpl></infAdic>",
         {"[OBSERVACOES]", "Observacao_Fisco=", "Observacao=Nota", ""}},
        {"empty infAdic", "<infAdic/>", {"[OBSERVACOES]", "Observacao_Fisco=", "Observacao=", ""}},
        {"line breaks become spaces",
         "<infAdic><infCpl>Linha 1\r\nLinha 2\nLinha 3&#13;Linha 4</infCpl></infAdic>",
         {"[OBSERVACOES]", "Observacao_Fisco=", "Observacao=Linha 1 Linha 2 Linha 3 Linha 4", ""}},
        {"a long note is not cut",
         "<infAdic><infCpl>" + longa + "</infCpl></infAdic>",
         {"[OBSERVACOES]", "Observacao_Fisco=", "Observacao=" + longa, ""}},
        {"untrimmed",
         "<infAdic><infAdFisco>  a  </infAdFisco></infAdic>",
         {"[OBSERVACOES]", "Observacao_Fisco=  a  ", "Observacao=", ""}},
        {"an unreadable note drops its line",
         "<infAdic><infAdFisco>a<b/></infAdFisco><infCpl>c</infCpl><obsCont xCampo=\"x\"><xTexto>t</xTexto>"
         "</obsCont></infAdic>",
         {"[OBSERVACOES]", "Observacao=c", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NFe n;
        n.inf_adic = c.inf_adic;
        const RunResult r = run(n);
        ASSERT_TRUE(r.completed());
        Lines expected{"Modalidade_Frete=9", ""};  // the empty line of a missing cobr
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        expected.push_back("[DIRETORIO]");
        const Lines lines = r.lines();
        auto begin = std::find(lines.begin(), lines.end(), "Modalidade_Frete=9");
        auto end = std::find(lines.begin(), lines.end(), "[DIRETORIO]");
        ASSERT_TRUE(begin != lines.end() && end != lines.end());
        EXPECT_EQ(Lines(begin, end + 1), expected);
        EXPECT_EQ(r.result.lista_problemas, "");
    }
}

TEST(NfeDiretorio, CarriesTheFullPathOfTheImportedFile) {
    TempDir dir;
    TestPlatform platform(dir.str());
    platform.dialog_choice = dir.write("Nota Fiscal.xml", NFe{}.xml());
    const ImportResult result = idf::run_import(idf::nfe::document, platform, Regional::brazilian(), {"", "", ""});
    ASSERT_EQ(result.outcome, Outcome::completed);
    const Lines lines = split_lines(read_bytes(result.arquivo_ini).value());
    const auto at = std::find(lines.begin(), lines.end(), "[DIRETORIO]");
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(*(at + 1), "Diretorio_Arquivo_XML=" + dir.str() + "/Nota Fiscal.xml");
}

}  // namespace
}  // namespace idf::test::nfe
