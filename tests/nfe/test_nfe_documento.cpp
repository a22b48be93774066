// A whole NF-e using every section, compared byte for byte, and the
// end-of-run report.
#include <gtest/gtest.h>

#include <filesystem>

#include "nfe_fixture.hpp"
#include "values/text.hpp"

namespace idf::test::nfe {
namespace {

const std::string documento = R"(<?xml version="1.0" encoding="UTF-8"?>
<nfeProc xmlns="http://www.portalfiscal.inf.br/nfe" versao="4.00">
 <NFe>
  <infNFe Id="NFe35230512345678000190550010000000421000000421" versao="4.00">
   <ide>
    <cUF>35</cUF><natOp>Venda</natOp><mod>55</mod>
    <serie>001</serie><nNF>000042</nNF><dEmi>2023-02-30</dEmi><dhEmi>2023-05-10T08:00:00-03:00</dhEmi>
    <tpNF>1</tpNF>
    <NFref><refNFe>35230512345678000190550010000000411000000411</refNFe></NFref>
    <NFref><refNF><cUF>35</cUF><nNF>7</nNF></refNF></NFref>
    <NFref><refNFe>35230512345678000190550010000000401000000abc</refNFe></NFref>
    <tpImp>1</tpImp>
   </ide>
   <emit>
    <CNPJ>12345678000190</CNPJ>
    <xNome>Indústria de Peças São João Ltda</xNome>
    <xFant>Peças São João Indústria</xFant>
    <enderEmit>
     <xLgr>Avenida Paulista</xLgr><nro>1000</nro><xCpl>Conjunto 12</xCpl><xBairro>Bela Vista</xBairro>
     <cMun>3550308</cMun><xMun>São Paulo</xMun><UF>SP</UF><CEP>01310100</CEP><fone>1132851000</fone>
    </enderEmit>
    <IE>110042490114</IE><CRT>3</CRT>
   </emit>
   <avulsa><CNPJ>00394460005887</CNPJ><xOrgao>Secretaria da Fazenda</xOrgao></avulsa>
   <dest>
    <CNPJ>98765432000110</CNPJ><xNome>Comércio de Ferragens Irmãos Ltda</xNome>
    <enderDest><xLgr>Rua B</xLgr></enderDest>
   </dest>
   <det nItem="1">
    <prod>
     <cProd>001</cProd><cEAN>7891234567895</cEAN><xProd>Parafuso sextavado 1/4"</xProd><NCM>73181500</NCM>
     <CEST>1001500</CEST><CFOP>5102</CFOP><uCom>CX</uCom><qCom>10.0000</qCom><vUnCom>1.5</vUnCom>
     <vProd>15.00</vProd><cEANTrib>7891234567895</cEANTrib><uTrib>UN</uTrib><qTrib>1000</qTrib>
     <vUnTrib>0.015</vUnTrib><vDesc>0.50</vDesc><indTot>1</indTot><xPed>PC-77</xPed><nItemPed>3</nItemPed>
    </prod>
    <imposto>
     <ICMS><ICMS00><orig>0</orig><CST>00</CST><modBC>3</modBC><vBC>14.50</vBC><pICMS>18.0000</pICMS>
      <vICMS>2.61</vICMS></ICMS00></ICMS>
     <IPI><cEnq>999</cEnq><IPITrib><CST>50</CST><vBC>14.50</vBC><pIPI>5.0000</pIPI><vIPI>0.73</vIPI></IPITrib></IPI>
     <PIS><PISAliq><CST>01</CST><vBC>14.50</vBC><pPIS>1.6500</pPIS><vPIS>0.24</vPIS></PISAliq></PIS>
     <COFINS><COFINSAliq><CST>01</CST><vBC>14.50</vBC><pCOFINS>7.6000</pCOFINS><vCOFINS>1.10</vCOFINS>
     </COFINSAliq></COFINS>
    </imposto>
   </det>
   <det nItem="2"><prod/></det>
   <det nItem="3">
    <prod>
     <cProd>002</cProd><cEAN>SEM GTIN</cEAN><xProd>Arruela</xProd><NCM>73182200</NCM><CFOP>5405</CFOP>
     <uCom>UN</uCom><qCom>3</qCom><vUnCom>0.333333</vUnCom><vProd>1.00</vProd><vFrete>0.10</vFrete>
     <vSeg>0.05</vSeg><vOutro>0.01</vOutro>
    </prod>
    <imposto>
     <ICMS><ICMSSN900><orig>1</orig><CSOSN>900</CSOSN><modBC>3</modBC><vBC>1.00</vBC><pRedBC>10.00</pRedBC>
      <pICMS>12.00</pICMS><vICMS>0.11</vICMS><pCredSN>2.00</pCredSN><vCredICMSSN>0.02</vCredICMSSN>
     </ICMSSN900></ICMS>
     <IPI><cEnq>999</cEnq><IPINT><CST>53</CST></IPINT></IPI>
     <PIS><PISNT><CST>07</CST></PISNT></PIS>
     <COFINS><COFINSOutr><CST>99</CST><vBC>0</vBC><pCOFINS>0</pCOFINS><vCOFINS>0</vCOFINS></COFINSOutr></COFINS>
    </imposto>
   </det>
   <total>
    <ICMSTot>
     <vBC>15.50</vBC><vICMS>2.72</vICMS><vICMSDeson>0.00</vICMSDeson><vBCST>0</vBCST><vST>0.00</vST>
     <vProd>16.00</vProd><vFrete>0.10</vFrete><vSeg>0.05</vSeg><vDesc>0.50</vDesc><vII>0.00</vII>
     <vIPI>0.73</vIPI><vPIS>0.24</vPIS><vCOFINS>1.10</vCOFINS><vOutro>0.01</vOutro><vNF>16.39</vNF>
    </ICMSTot>
   </total>
   <transp>
    <modFrete>01</modFrete>
    <transporta>
     <CNPJ>11222333000181</CNPJ><xNome>Transportadora Rápida do Sul e Sudeste Limitada S.A.</xNome>
     <xEnder>Rodovia Régis Bittencourt, km 280</xEnder><UF>SP</UF>
    </transporta>
    <vol><qVol>2</qVol><esp>Caixa</esp></vol>
   </transp>
   <cobr>
    <fat><nFat>42</nFat><vOrig>16.39</vOrig><vLiq>16.39</vLiq></fat>
    <dup><nDup>001</nDup><dVenc>2023-06-10</dVenc><vDup>8.20</vDup></dup>
    <dup><nDup>002</nDup><dVenc>2023-07-10</dVenc><vDup>8.19</vDup></dup>
   </cobr>
   <pag><detPag><tPag>15</tPag><vPag>16.39</vPag></detPag></pag>
   <infAdic>
    <infAdFisco>Documento emitido por ME ou EPP optante pelo Simples Nacional.</infAdFisco>
    <infCpl>Pedido PC-77.
Entregar no período da manhã.</infCpl>
   </infAdic>
  </infNFe>
 </NFe>
 <protNFe versao="4.00">
  <infProt>
   <tpAmb>1</tpAmb><chNFe>35230512345678000190550010000000421000000421</chNFe>
   <dhRecbto>2023-05-10T08:05:00-03:00</dhRecbto><nProt>135230000123456</nProt><cStat>100</cStat>
  </infProt>
 </protNFe>
</nfeProc>
)";

// The exchange file expected, in UTF-8; `arquivo` is the document's path.
std::string expected_lines(const std::string& arquivo) {
    const Lines lines = {
        "[IDENTIFICACAO]",
        "Chave_Acesso=3523 0512 3456 7800 0190 5500 1000 0000 4210 0000 0421",
        "Serie_Nota_Fiscal=001",
        "Numero_Nota_Fiscal=42",
        "Data_Emissao=",  // dEmi does not convert, so dhEmi is not looked at
        "",
        "[NOTAS_REFERENCIADAS]",
        "Nota_Fiscal_Referenciada_1=35230512345678000190550010000000411000000411",
        "Nota_Fiscal_Referenciada_2=35230512345678000190550010000000401000000ABC",
        "",
        "[EMITENTE]",
        "CNPJ_CPF=12345678000190",
        "Inscricao_Estadual=110042490114",
        "Razao_Social=Indústria de Peças São João Ltda",
        "Nome_Fantasia=Peças São João Indús",
        "Regime_Tributario=3",
        "Endereco=Avenida Paulista",
        "Numero_Endereco=1000",
        "Complemento=Conjunto 12",
        "Bairro=Bela Vista",
        "Cidade=3550308",
        "CEP=01.310-100",
        "Fone=(011)3285-1000",
        "",
        "[EMISSOR NFE AVULSA]",
        "CNPJ_CPF=00394460005887",
        "",
        "[DESTINATARIO]",
        "CNPJ_CPF=98765432000110",
        "Razao_Social=COMéRCIO DE FERRAGENS IRMãOS LTDA",
        "",
        "[TOTAIS]",
        "Base_Icms=15,50",
        "Valor_Icms=2,72",
        "Base_ST=0,00",
        "Valor_ST=0,00",
        "Total_Produto=16,00",
        "Valor_Frete=0,10",
        "Valor_Seguro=0,05",
        "Valor_Despesa=0,01",
        "Valor_Desconto=0,50",
        "Valor_IPI=0,73",
        "Total_Nota_Fiscal=16,39",
        "",
        "[TRANSPORTADORA]",
        "CNPJ_CPF=11222333000181",
        "Razao_Social=Transportadora Rápida do Sul e Sudeste Limitada S.",
        "Inscricao_Estadual=ISENTO",
        "Endereco=Rodovia Régis Bittencourt, km 280",
        "Nome_Cidade=",
        "Estado=SP",
        "Modalidade_Frete=1",
        "",
        "[VENCIMENTOS]",
        "Numero_Duplicata_01=001",
        "Data_Vencimento_01=10/06/2023",
        "Valor_01=8,20",
        "",
        "Numero_Duplicata_02=002",
        "Data_Vencimento_02=10/07/2023",
        "Valor_02=8,19",
        "",
        "[OBSERVACOES]",
        "Observacao_Fisco=Documento emitido por ME ou EPP optante pelo Simples Nacional.",
        "Observacao=Pedido PC-77. Entregar no período da manhã.",
        "",
        "[DIRETORIO]",
        "Diretorio_Arquivo_XML=" + arquivo,
        "",
        "[PRODUTOS_1]",
        "Produto_1=001",
        "Codigo_Barra_1=7891234567895",
        "Descricao_1=Parafuso sextavado 1/4\"",
        "NCM_1=73181500",
        "CEST_1=1001500",
        "CFOP_1=5102",
        "Unidade_Consumo_1=CX",
        "Quantidade_1=10,0000",
        "Valor_Unitario_1=1,5000",
        "Total_1=15,00",
        "Codigo_Barra_Tributavel_1=7891234567895",
        "Unidade_Tributavel_1=UN",
        "Quantidade_Tributavel_1=1000,0000",
        "Valor_Unitario_Tributavel_1=0,0150",
        "Desconto_1=0,50",
        "Origem_1=0",
        "CST_Icms_1=00",
        "Base_Icms_1=14,50",
        "Aliquota_Icms_1=18,00",
        "Valor_Icms_1=2,61",
        "Valor_ST_Substituto_1=2,61",
        "CST_IPI_1=50",
        "Base_IPI_1=14,50",
        "Aliquota_IPI_1=5,00",
        "Valor_IPI_1=0,73",
        "CST_PIS_1=01",
        "Base_PIS_1=14,50",
        "Aliquota_PIS_1=1,65",
        "Valor_PIS_1=0,24",
        "CST_COFINS_1=01",
        "Base_COFINS_1=14,50",
        "Aliquota_COFINS_1=7,60",
        "Valor_COFINS_1=1,10",
        "Numero_Pedido_1=PC-77",
        "Numero_Item_Pedido_1=3",
        "",
        "",  // the item without product
        "Produto_2=002",
        "Codigo_Barra_2=SEM GTIN",
        "Descricao_2=Arruela",
        "NCM_2=73182200",
        "CFOP_2=5405",
        "Unidade_Consumo_2=UN",
        "Quantidade_2=3,0000",
        "Valor_Unitario_2=0,3333",
        "Total_2=1,00",
        "Despesa_2=0,01",
        "Frete_2=0,10",
        "Seguro_2=0,05",
        "Origem_2=1",
        "CSOSN_2=900",
        "Percentual_SN_2=2,00",
        "Valor_Credito_SN_2=0,02",
        "Base_Icms_2=1,00",
        "Reducao_Icms_2=10,00",
        "Aliquota_Icms_2=12,00",
        "Valor_Icms_2=0,11",
        "",
        "[QUANTIDADE_ITENS]",
        "Itens=2",
        "",
        "[AUTENTICIDADE]",
        "Conteudo_Autorizado=Indeterminado",
        "Assinatura_Digital=Ausente",
    };
    std::string out;
    for (const auto& line : lines) out += line + "\r\n";
    return out;
}

const std::string problemas =
    "- Data da Emissão da Nota Fiscal no Arquivo XML.\r\n"
    "- Cidade da Transportadora no Arquivo XML.\r\n";

TEST(NfeDocumento, WholeExchangeFileByteForByte) {
    const RunResult r = run_xml(DocType::nfe, documento, Regional::brazilian(), "Sim");
    ASSERT_TRUE(r.completed());
    ASSERT_TRUE(r.ini.has_value());
    const std::string arquivo = (std::filesystem::path(r.result.arquivo_ini).parent_path() / "doc.xml").string();
    const std::string expected = utf8_to_cp1252(expected_lines(arquivo));
    EXPECT_EQ(*r.ini, expected);
    if (*r.ini != expected) {
        const Lines got = r.lines();
        const Lines want = split_lines(expected);
        for (std::size_t i = 0; i < std::min(got.size(), want.size()); ++i)
            if (got[i] != want[i]) {
                ADD_FAILURE() << "line " << i + 1 << ":\n  got  " << got[i] << "\n  want " << want[i];
                break;
            }
    }
    EXPECT_EQ(r.result.lista_problemas, problemas);
}

TEST(NfeDocumento, EndOfRunReportUnlessSilent) {
    struct Case {
        const char* modo;
        std::vector<std::string> boxes;
    };
    const std::string report = "O Sistema Encontrou Problemas ao Importar os Dados do:\r\r" + problemas;
    const Case cases[] = {
        {"", {report}}, {"Sim", {}}, {"sim", {report}}, {"SIM", {report}}, {"Sim ", {report}}, {"Não", {report}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.modo);
        const RunResult r = run_xml(DocType::nfe, documento, Regional::brazilian(), c.modo);
        ASSERT_TRUE(r.completed());
        EXPECT_TRUE(r.ini.has_value());  // the file is complete whether or not the box is shown
        EXPECT_EQ(r.boxes, c.boxes);
    }
}

TEST(NfeDocumento, NoReportWithoutProblems) {
    const RunResult r = run(NFe{});
    ASSERT_TRUE(r.completed());
    EXPECT_EQ(r.result.lista_problemas, "");
    EXPECT_TRUE(r.boxes.empty());
}

}  // namespace
}  // namespace idf::test::nfe
