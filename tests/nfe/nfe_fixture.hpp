// A small authorised NF-e built from pieces, so that each test states the
// one piece of XML it is about and leaves the rest valid.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "support/test_support.hpp"

namespace idf::test::nfe {

// 44 digits; its laid-out form is chave_formatada.
inline constexpr std::string_view chave = "35230512345678000190550010000001231000001234";
inline constexpr std::string_view chave_formatada = "3523 0512 3456 7800 0190 5500 1000 0001 2310 0000 1234";

struct NFe {
    std::string protocolo =
        "<protNFe><infProt><chNFe>" + std::string(chave) + "</chNFe><nProt>135230000000001</nProt></infProt></protNFe>";
    std::string ide = "<ide><serie>1</serie><nNF>123</nNF><dhEmi>2023-05-10T10:20:30-03:00</dhEmi></ide>";
    std::string emit =
        "<emit><CNPJ>12345678000190</CNPJ><xNome>Fornecedor</xNome><xFant>Forn</xFant>"
        "<enderEmit><xLgr>Rua A</xLgr><nro>10</nro><xBairro>Centro</xBairro><cMun>3550308</cMun>"
        "<CEP>01001000</CEP></enderEmit><IE>111</IE><CRT>3</CRT></emit>";
    std::string avulsa;
    std::string dest = "<dest><CNPJ>98765432000110</CNPJ><xNome>Cliente</xNome></dest>";
    std::string det;
    std::string total = "<total><ICMSTot><vNF>10.00</vNF></ICMSTot></total>";
    std::string transp = "<transp><modFrete>9</modFrete></transp>";
    std::string cobr;
    std::string inf_adic;

    std::string xml() const;
};

// <det nItem="n"><prod>prod</prod>imposto</det>; `imposto` is the whole
// imposto element or empty.
std::string det(int n, std::string_view prod, std::string_view imposto = {});

// `count` items, each with only cProd.
std::string dets(int count);

// One whole import of the document through the open dialog.
RunResult run(const NFe& nfe, std::string_view modo_silencioso = "", const Regional& regional = Regional::brazilian());

// The lines from `header` (included) up to the next section header, with
// the empty lines among them. Empty when the header is missing.
std::vector<std::string> section(const RunResult& r, std::string_view header);

// The lines of item 1's block after its product code line and before the
// empty line that closes it.
std::vector<std::string> item_lines(const RunResult& r);

using Lines = std::vector<std::string>;

}  // namespace idf::test::nfe
