// Whole CT-e imports: a synthetic document byte for byte, three real
// documents against their expected exchange files, and every real CT-e
// of the corpus.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cte/cte_fixture.hpp"
#include "cte/uimporta_arquivo_xml_cte.hpp"

namespace idf::test::cte {
namespace {

// One import of an existing file, chosen through the open dialog.
RunResult run_file(const std::string& path, std::string_view modo = "") {
    return idf::test::run_file(DocType::cte, path, modo);
}

TEST(CteDocumento, SyntheticDocumentByteForByte) {
    TempDir dir;
    const std::string path = dir.write("cte.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<cteProc xmlns="http://www.portalfiscal.inf.br/cte" versao="4.00">
  <CTe>
    <infCte Id="CTe35240612345678000190570010000007891000001238" versao="4.00">
      <ide>
        <cUF>35</cUF><cCT>00000123</cCT><CFOP>6353</CFOP><natOp>Prestação de serviço de transporte</natOp>
        <mod>57</mod><serie>001</serie><nCT>000000789</nCT><dhEmi>2024-06-15T10:20:30-03:00</dhEmi>
        <tpImp>1</tpImp><tpEmis>1</tpEmis><cDV>8</cDV><tpAmb>1</tpAmb><tpCTe>0</tpCTe><procEmi>0</procEmi>
        <verProc>1.0</verProc><cMunEnv>3550308</cMunEnv><xMunEnv>São Paulo</xMunEnv><UFEnv>SP</UFEnv>
        <modal>01</modal><tpServ>0</tpServ><cMunIni>3509502</cMunIni><xMunIni>Campinas</xMunIni><UFIni>SP</UFIni>
        <cMunFim>4106902</cMunFim><xMunFim>Curitiba</xMunFim><UFFim>PR</UFFim><retira>1</retira>
        <indIEToma>1</indIEToma><toma3><toma>0</toma></toma3>
      </ide>
      <compl><xObs>Entrega no período da manhã</xObs></compl>
      <emit>
        <CNPJ>12345678000190</CNPJ><IE>244000111222</IE><xNome>Transportes Águia Dourada Ltda</xNome>
        <xFant>Águia Dourada Transportes</xFant>
        <enderEmit>
          <xLgr>Rodovia Anhanguera, km 100</xLgr><nro>s/n</nro><xCpl>Galpão 3</xCpl>
          <xBairro>Distrito Industrial</xBairro><cMun>3509502</cMun><xMun>Campinas</xMun><CEP>13065000</CEP>
          <UF>SP</UF><fone>1932105000</fone>
        </enderEmit>
      </emit>
      <rem>
        <CPF>12345678909</CPF><IE>ISENTO</IE><xNome>José da Conceição</xNome>
        <enderReme><xLgr>Rua das Flores</xLgr><nro>12</nro><xBairro>Centro</xBairro><cMun>3509502</cMun>
        <xMun>Campinas</xMun><UF>SP</UF></enderReme>
      </rem>
      <exped><CNPJ>44444444000144</CNPJ><xNome>Expedidor</xNome></exped>
      <dest>
        <CNPJ>55555555000155</CNPJ><IE>9012345678</IE><xNome>Indústria de Móveis Paraná S.A.</xNome>
        <enderDest><xLgr>Av. das Araucárias</xLgr><nro>500</nro><xBairro>CIC</xBairro><cMun>4106902</cMun>
        <xMun>Curitiba</xMun><UF>PR</UF></enderDest>
      </dest>
      <vPrest>
        <vTPrest>1234.5</vTPrest><vRec>1234.5</vRec>
        <Comp><xNome>Frete Peso</xNome><vComp>1234.5</vComp></Comp>
      </vPrest>
      <imp>
        <ICMS><ICMS20><CST>20</CST><pRedBC>10.00</pRedBC><vBC>1111.05</vBC><pICMS>12.00</pICMS><vICMS>133.326</vICMS></ICMS20></ICMS>
        <vTotTrib>0.00</vTotTrib>
      </imp>
      <infCTeNorm>
        <infCarga><vCarga>25000.00</vCarga><proPred>Móveis</proPred></infCarga>
        <infDoc>
          <infNFe><chave>35240611111111000111550010000001011000001011</chave></infNFe>
          <infNFe><chave>35240611111111000111550010000001021000001022</chave><dPrev>2024-06-20</dPrev></infNFe>
        </infDoc>
        <infModal versaoModal="4.00"><rodo><RNTRC>12345678</RNTRC></rodo></infModal>
      </infCTeNorm>
    </infCte>
  </CTe>
  <protCTe versao="4.00">
    <infProt><tpAmb>1</tpAmb><verAplic>SP-CTe</verAplic><chCTe>35240612345678000190570010000007891000001238</chCTe>
    <dhRecbto>2024-06-15T10:21:00-03:00</dhRecbto><nProt>135240000012345</nProt><cStat>100</cStat>
    <xMotivo>Autorizado o uso do CT-e</xMotivo></infProt>
  </protCTe>
</cteProc>
)");
    const RunResult r = run_file(path);
    ASSERT_EQ(r.result.outcome, Outcome::completed);
    ASSERT_TRUE(r.ini.has_value());
    // Windows-1252 bytes: \xE3 a-tilde, \xC1 A-acute, \xE9 e-acute,
    // \xE7 c-cedilla, \xFA u-acute, \xF3 o-acute, \xE1 a-acute.
    const std::string expected =
        "[IDENTIFICACAO]\r\n"
        "Chave_Acesso=3524 0612 3456 7800 0190 5700 1000 0007 8910 0000 1238\r\n"
        "Serie_Nota_Fiscal=001\r\n"
        "Numero_Nota_Fiscal=789\r\n"
        "cMunEnv=3550308\r\n"
        "xMunEnv=S\xE3o Paulo\r\n"
        "UFEnv=SP\r\n"
        "cMunIni=3509502\r\n"
        "xMunIni=Campinas\r\n"
        "UFIni=SP\r\n"
        "cMunFim=4106902\r\n"
        "xMunFim=Curitiba\r\n"
        "UFFim=PR\r\n"
        "Data_Emissao=15/06/2024\r\n"
        "Tomador=0\r\n"
        "\r\n"
        "[EMITENTE]\r\n"
        "CNPJ_CPF=12345678000190\r\n"
        "Inscricao_Estadual=244000111222\r\n"
        "Razao_Social=Transportes \xC1guia Dourada Ltda\r\n"
        "Nome_Fantasia=\xC1guia Dourada Transp\r\n"
        "Endereco=Rodovia Anhanguera, km 100\r\n"
        "Numero_Endereco=s/n\r\n"
        "Bairro=Distrito Industrial\r\n"
        "Cidade=3509502\r\n"
        "CEP=13.065-000\r\n"
        "Fone=(019)3210-5000\r\n"
        "\r\n"
        "[REMETENTE]\r\n"
        "CNPJ_CPF=12345678909\r\n"
        "Razao_Social=JOS\xE9 DA CONCEI\xE7\xE3O\r\n"
        "\r\n"
        "[DESTINATARIO]\r\n"
        "CNPJ_CPF=55555555000155\r\n"
        "Razao_Social=IND\xFASTRIA DE M\xF3VEIS PARAN\xE1 S.A.\r\n"
        "\r\n"
        "[TOTAIS]\r\n"
        "Total_Nota_Fiscal=1234,50\r\n"
        "Aliquota_Icms=12,00\r\n"
        "Base_Icms=1111,05\r\n"
        "Valor_Icms=133,33\r\n"
        "\r\n"
        "[NOTAS_FISCAIS]\r\n"
        "chave_1=35240611111111000111550010000001011000001011\r\n"
        "chave_2=35240611111111000111550010000001021000001022\r\n"
        "[QUANTIDADE_NOTAS]\r\n"
        "Notas=2\r\n"
        "\r\n"
        "[DIRETORIO]\r\n"
        "Diretorio_Arquivo_XML=" +
        path +
        "\r\n"
        "\r\n"
        "[AUTENTICIDADE]\r\n"
        "Conteudo_Autorizado=Indeterminado\r\n"
        "Assinatura_Digital=Ausente\r\n";
    EXPECT_EQ(*r.ini, expected);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_TRUE(r.result.lista_problemas.empty());
}

// The expected exchange files of three real documents, checked by hand;
// "{ARQUIVO_XML}" stands for the document's path, which depends on where
// the corpus lies.
TEST(CteDocumento, RealDocumentsMatchTheirExpectedFiles) {
    IDF_REQUIRE_CORPUS();
    const std::string conteudo = "- Conteúdo Diferente do Autorizado pela SEFAZ no Arquivo XML.\r\n";
    const std::string assinatura = "- Assinatura Digital Inválida no Arquivo XML.\r\n";
    // The first as authorised; the other two edited after they were signed
    // (the last without a signature): their only problem lines are the
    // authenticity's.
    const struct {
        std::string_view name;
        std::string problemas;
    } casos[] = {
        {"brdanfe-cte103-42-1107-225", ""},
        {"spedda-cte300-hom-31nfe", conteudo + assinatura},
        {"bfr-cte400-reforma-tributaria", conteudo},
    };
    for (const auto& [name, problemas] : casos) {
        SCOPED_TRACE(name);
        const std::string path = corpus_path("cte/" + std::string(name) + ".xml");
        const RunResult r = run_file(path);
        ASSERT_EQ(r.result.outcome, Outcome::completed);
        ASSERT_TRUE(r.ini.has_value());
        expect_golden("cte/golden/" + std::string(name) + ".ini", *r.ini, path);
        EXPECT_EQ(r.result.lista_problemas, problemas);
    }
}

// One CT-e row of the corpus manifest.
struct CorpusEntry {
    std::string file;
    bool has_protocol = false;
    bool payer_known = false;  // in CTe/infCte/ide/toma03 or toma3
    int transported_nfe = 0;   // infDoc:infNFe=N
    std::string c_stat;        // the protocol's status, when the features name it
    bool cancelled = false;    // a cancellation (110111, status 135) appended
    bool os = false;           // a CT-e OS under its protocol (cteOSProc)
};

std::vector<CorpusEntry> corpus_cte() {
    std::vector<CorpusEntry> out;
    std::ifstream in(corpus_path("MANIFEST.tsv"));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> col;
        std::stringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');) col.push_back(cell);
        if (col.size() < 10 || !col[0].starts_with("cte/")) continue;
        const std::string& features = col[9];
        const auto nfe = features.find("infDoc:infNFe=");
        const auto c_stat = features.find("cStat=");
        out.push_back(
            {col[0].substr(4), col[7] == "yes",
             features.find("; CTe;") != std::string::npos &&
                 (features.find("toma3=") != std::string::npos || features.find("toma03") != std::string::npos),
             nfe == std::string::npos ? 0 : std::stoi(features.substr(nfe + 14)),
             c_stat == std::string::npos ? "" : features.substr(c_stat + 6, features.find(';', c_stat) - c_stat - 6),
             features.find("embedded-retEventoCTe(tpEvento=110111,cStat=135)") != std::string::npos,
             col[5] == "cteOSProc"});
    }
    return out;
}

// A document without protocol aborts on it; one whose protocol does not
// authorise use aborts with its status; one whose payer is not in
// toma03 or toma3 (toma4) aborts on the identification; a CT-e OS gives
// its own sections; every other one gives the complete file.
TEST(CteDocumento, EveryCorpusDocumentImportsOrAbortsCleanly) {
    IDF_REQUIRE_CORPUS();
    const std::vector<CorpusEntry> entries = corpus_cte();
    std::size_t xml_files = 0;
    for (const auto& f : std::filesystem::directory_iterator(corpus_path("cte")))
        xml_files += f.path().extension() == ".xml";
    ASSERT_EQ(entries.size(), xml_files) << "every corpus CT-e has its manifest row";

    for (const CorpusEntry& e : entries) {
        SCOPED_TRACE(e.file);
        const std::string path = corpus_path("cte/" + e.file);
        const RunResult r = run_file(path, "Sim");
        if (e.file == "spedda-cte300-cancelado-cstat101.xml") {
            EXPECT_EQ(e.c_stat, "101");
            EXPECT_FALSE(r.ini.has_value());
            EXPECT_EQ(r.boxes, std::vector<std::string>{"Arquivo XML Inválido. " +
                                                        aborta("O Protocolo não Autoriza o Uso da CTe (Situação 101 - "
                                                               "Cancelamento de CT-e homologado).")});
            continue;
        }
        EXPECT_TRUE(e.c_stat.empty() || e.c_stat == "100") << e.c_stat;
        // Cancelled by the event appended to the document itself.
        if (e.has_protocol && e.cancelled) {
            EXPECT_FALSE(r.ini.has_value());
            EXPECT_EQ(r.boxes, std::vector<std::string>{aborta("A CTe foi Cancelada: o Arquivo " + e.file +
                                                               " Contém o Evento de Cancelamento 110111 "
                                                               "(Situação 135).")});
            continue;
        }
        if (!e.has_protocol || (!e.payer_known && !e.os)) {
            EXPECT_EQ(r.result.outcome, Outcome::aborted);
            EXPECT_FALSE(r.ini.has_value());
            EXPECT_EQ(r.boxes, std::vector<std::string>{
                                   !e.has_protocol ? "Arquivo XML Inválido. " +
                                                         aborta("O Sistema não Conseguiu Ler o Nº do Protocolo da "
                                                                "Autorização da CTe.")
                                                   : aborta("O Sistema não Conseguiu Ler a TAG da Identificação no "
                                                            "Arquivo XML.")});
            continue;
        }
        ASSERT_EQ(r.result.outcome, Outcome::completed);
        ASSERT_TRUE(r.ini.has_value());
        EXPECT_TRUE(r.boxes.empty());
        const Lines lines = split_lines(*r.ini);
        Lines headers;
        std::copy_if(lines.begin(), lines.end(), std::back_inserter(headers),
                     [](const std::string& l) { return l.starts_with("["); });
        Lines want = e.os ? Lines{"[IDENTIFICACAO]", "[EMITENTE]", "[TOMADOR]", "[TOTAIS]", "[SERVICO]"}
                          : Lines{"[IDENTIFICACAO]", "[EMITENTE]", "[REMETENTE]", "[DESTINATARIO]", "[TOTAIS]"};
        if (e.transported_nfe > 0) want.insert(want.end(), {"[NOTAS_FISCAIS]", "[QUANTIDADE_NOTAS]"});
        want.insert(want.end(), {"[DIRETORIO]", "[AUTENTICIDADE]"});
        EXPECT_EQ(headers, want);
        if (e.transported_nfe > 0) {
            EXPECT_TRUE(std::count(lines.begin(), lines.end(), "Notas=" + std::to_string(e.transported_nfe)));
        }
        EXPECT_EQ(r.document_lines().back(), "Diretorio_Arquivo_XML=" + path);
    }
}

}  // namespace
}  // namespace idf::test::cte
