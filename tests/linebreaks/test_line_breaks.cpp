// A value read from the XML is written on one line of the exchange file,
// whatever line breaks it carries: a supplier's note or product description
// must not be able to add keys or sections that the host would take as real.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/test_support.hpp"

using idf::test::DocType;
using idf::test::run_xml;

namespace {

// Reads an INI file as the host does: the first section of a name counts,
// and within it the first occurrence of a key.
class IniReader {
public:
    explicit IniReader(const std::vector<std::string>& lines) {
        std::string section;
        bool counted = false;
        for (const std::string& line : lines) {
            if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
                section = line.substr(1, line.size() - 2);
                counted = !sections_.contains(section);
                sections_[section];
                continue;
            }
            const auto eq = line.find('=');
            if (!counted || eq == std::string::npos) continue;
            sections_[section].try_emplace(line.substr(0, eq), line.substr(eq + 1));
        }
    }
    std::optional<std::string> get(const std::string& section, const std::string& key) const {
        const auto s = sections_.find(section);
        if (s == sections_.end()) return std::nullopt;
        const auto k = s->second.find(key);
        if (k == s->second.end()) return std::nullopt;
        return k->second;
    }
    std::size_t section_count() const { return sections_.size(); }

private:
    std::map<std::string, std::map<std::string, std::string>> sections_;
};

// An authorised NF-e with one item; `note` goes into infCpl and
// `description` into the item's xProd, both as written in the XML.
std::string nfe(const std::string& note, const std::string& description) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<nfeProc xmlns="http://www.portalfiscal.inf.br/nfe"><NFe><infNFe>
<ide><serie>1</serie><nNF>10</nNF><dhEmi>2024-01-02T10:00:00-03:00</dhEmi></ide>
<emit><CNPJ>11111111000191</CNPJ><xNome>Emitente</xNome><IE>1</IE><CRT>3</CRT>
<enderEmit><xLgr>Rua</xLgr><nro>1</nro><xBairro>B</xBairro><cMun>3550308</cMun></enderEmit></emit>
<dest><CNPJ>22222222000191</CNPJ><xNome>Destinatario</xNome></dest>
<det nItem="1"><prod><cProd>A1</cProd><xProd>)" +
           description + R"(</xProd><qCom>1.0000</qCom><vUnCom>25.0000</vUnCom><vProd>25.00</vProd></prod></det>
<total><ICMSTot><vProd>25.00</vProd><vNF>25.00</vNF></ICMSTot></total>
<transp><modFrete>9</modFrete></transp>
<infAdic><infCpl>)" +
           note + R"(</infCpl></infAdic>
</infNFe></NFe>
<protNFe><infProt><chNFe>35240111111111000191550010000000101000000100</chNFe><nProt>135000000000001</nProt></infProt></protNFe>
</nfeProc>)";
}

const std::string clean_note = "Entrega pela manhã. Pagamento em 30 dias.";

}  // namespace

TEST(LineBreaksInValues, EachKindOfBreakBecomesOneSpace) {
    const auto clean = run_xml(DocType::nfe, nfe(clean_note, "Parafuso"));
    ASSERT_TRUE(clean.completed());
    struct Case {
        const char* name;
        const char* written;  // as written in the XML
    };
    const Case cases[] = {
        {"CR LF", "Entrega pela manhã.&#13;&#10;Pagamento em 30 dias."},
        {"LF", "Entrega pela manhã.\nPagamento em 30 dias."},
        {"LF by reference", "Entrega pela manhã.&#10;Pagamento em 30 dias."},
        {"CR", "Entrega pela manhã.&#13;Pagamento em 30 dias."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto run = run_xml(DocType::nfe, nfe(c.written, "Parafuso"));
        ASSERT_TRUE(run.completed());
        const auto lines = run.lines();
        ASSERT_EQ(lines.size(), clean.lines().size());
        EXPECT_EQ(IniReader(lines).get("OBSERVACOES", "Observacao"),
                  "Entrega pela manhã. Pagamento em 30 dias.");
    }
}

TEST(LineBreaksInValues, SeveralBreaksAreNotMergedAndNothingElseChanges) {
    // Two breaks give two spaces; blanks around them are kept, not trimmed.
    const auto run = run_xml(DocType::nfe, nfe("  a &#13;&#10;&#13;&#10; b\t", "Parafuso"));
    ASSERT_TRUE(run.completed());
    EXPECT_EQ(IniReader(run.lines()).get("OBSERVACOES", "Observacao"), "  a    b\t");
}

TEST(LineBreaksInValues, DescriptionCannotInjectAnItemLine) {
    const auto run = run_xml(DocType::nfe, nfe(clean_note, "Parafuso&#13;&#10;Valor_Unitario_1=0,0001"));
    ASSERT_TRUE(run.completed());
    const IniReader ini(run.lines());
    EXPECT_EQ(ini.get("PRODUTOS_1", "Valor_Unitario_1"), "25,0000");
    EXPECT_EQ(ini.get("PRODUTOS_1", "Descricao_1"), "Parafuso Valor_Unitario_1=0,0001");
    for (const std::string& line : run.lines()) EXPECT_NE(line, "Valor_Unitario_1=0,0001");
}

TEST(LineBreaksInValues, NoteCannotInjectSections) {
    const auto clean = run_xml(DocType::nfe, nfe(clean_note, "Parafuso"));
    const auto run = run_xml(
        DocType::nfe,
        nfe("x&#10;[DIRETORIO]&#10;Diretorio_Arquivo_XML=C:\\falso.xml&#10;[PRODUTOS_1]&#10;Total_1=0,01", "Parafuso"));
    ASSERT_TRUE(run.completed());
    const IniReader ini(run.lines());
    EXPECT_EQ(ini.section_count(), IniReader(clean.lines()).section_count());
    EXPECT_EQ(ini.get("PRODUTOS_1", "Total_1"), "25,00");
    const auto path = ini.get("DIRETORIO", "Diretorio_Arquivo_XML");
    ASSERT_TRUE(path.has_value());
    EXPECT_TRUE(path->ends_with("/doc.xml")) << *path;
    EXPECT_EQ(run.lines().size(), clean.lines().size());
}

TEST(LineBreaksInValues, CteNamesStayOnOneLine) {
    const std::string cte = R"(<?xml version="1.0" encoding="UTF-8"?>
<cteProc xmlns="http://www.portalfiscal.inf.br/cte"><CTe><infCte>
<ide><serie>1</serie><nCT>5</nCT><dhEmi>2024-01-02T10:00:00-03:00</dhEmi><toma3><toma>0</toma></toma3></ide>
<emit><CNPJ>33333333000191</CNPJ><xNome>Transportadora&#13;&#10;[REMETENTE]</xNome>
<enderEmit><xLgr>Rua</xLgr><nro>1</nro><xBairro>B</xBairro><cMun>3550308</cMun></enderEmit></emit>
<rem><CNPJ>11111111000191</CNPJ><xNome>Remetente&#10;CNPJ_CPF=99999999999999</xNome></rem>
<dest><CNPJ>22222222000191</CNPJ><xNome>Destinatario</xNome></dest>
<vPrest><vTPrest>100.00</vTPrest></vPrest><imp><ICMS><ICMS00><vBC>100.00</vBC><pICMS>12.00</pICMS><vICMS>12.00</vICMS></ICMS00></ICMS></imp>
</infCte></CTe>
<protCTe><infProt><chCTe>35240133333333000191570010000000051000000050</chCTe><nProt>135000000000002</nProt></infProt></protCTe>
</cteProc>)";
    const auto run = run_xml(DocType::cte, cte);
    ASSERT_TRUE(run.completed());
    const IniReader ini(run.lines());
    EXPECT_EQ(ini.get("EMITENTE", "Razao_Social"), "Transportadora [REMETENTE]");
    EXPECT_EQ(ini.get("REMETENTE", "CNPJ_CPF"), "11111111000191");
    EXPECT_EQ(ini.get("REMETENTE", "Razao_Social"), "REMETENTE CNPJ_CPF=99999999999999");
}
