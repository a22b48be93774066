// A small authorised CT-e built from pieces, so that each test states the
// one piece of XML it is about and leaves the rest valid.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/test_support.hpp"

namespace idf::test::cte {

// 44 digits; its laid-out form is chave_formatada.
inline constexpr std::string_view chave = "35240612345678000190570010000001231000001238";
inline constexpr std::string_view chave_formatada = "3524 0612 3456 7800 0190 5700 1000 0001 2310 0000 1238";

// Each piece is the whole element, or empty to leave the element out.
struct CTe {
    std::string protocolo = "<protCTe versao=\"4.00\"><infProt><chCTe>" + std::string(chave) +
                            "</chCTe><nProt>135240000000001</nProt></infProt></protCTe>";
    std::string ide =
        "<ide><serie>1</serie><nCT>123</nCT><dhEmi>2024-06-15T10:20:30-03:00</dhEmi>"
        "<toma3><toma>0</toma></toma3></ide>";
    std::string emit =
        "<emit><CNPJ>12345678000190</CNPJ><IE>111</IE><xNome>Transportes Rapidos</xNome><xFant>Rapidos</xFant>"
        "<enderEmit><xLgr>Rua A</xLgr><nro>10</nro><xBairro>Centro</xBairro><cMun>3550308</cMun>"
        "<CEP>01001000</CEP><fone>1133334444</fone></enderEmit></emit>";
    std::string rem = "<rem><CNPJ>22222222000122</CNPJ><xNome>Remetente</xNome></rem>";
    std::string dest = "<dest><CNPJ>33333333000133</CNPJ><xNome>Destinatario</xNome></dest>";
    std::string v_prest = "<vPrest><vTPrest>100.00</vTPrest><vRec>100.00</vRec></vPrest>";
    std::string imp =
        "<imp><ICMS><ICMS00><CST>00</CST><vBC>100.00</vBC><pICMS>12.00</pICMS><vICMS>12.00</vICMS>"
        "</ICMS00></ICMS></imp>";
    std::string inf_cte_norm;

    std::string xml() const;
};

// One whole import of the document through the open dialog.
RunResult run(const CTe& cte, std::string_view modo_silencioso = "", const Regional& regional = Regional::brazilian());

using Lines = std::vector<std::string>;

// The lines after `header` up to the next empty line or section header.
// Empty when the header is missing.
Lines section(const RunResult& r, std::string_view header);

// The value lines of [IDENTIFICACAO] between "Numero_Nota_Fiscal=" and
// "Data_Emissao=": the route lines.
Lines route_lines(const RunResult& r);

bool has_line(const RunResult& r, std::string_view line);

// The message of an abort: the text, then "\r\n\nA Importação será Abortada.".
std::string aborta(std::string_view text);

// Checks an aborted run: no exchange file and the one box with `message`.
void expect_abort(const RunResult& r, std::string_view message);

}  // namespace idf::test::cte
