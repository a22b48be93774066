// The field read rules: presence test, guarded read, kinds, masks, amounts,
// the identifying number and the optional rows.
#include <gtest/gtest.h>

#include <string>

#include "common/fields.hpp"
#include "core/core_support.hpp"
#include "values/text.hpp"

namespace idf {
namespace {

using test::StageForm;

constexpr std::string_view problem = "- Campo de Teste no Arquivo XML.";
constexpr std::string_view abort_message =
    "Tag <campo> Não Encontrada no Arquivo XML.\r\n\nA Importação será Abortada.";

std::string document_with(std::string_view dados) {
    return R"(<nfeProc xmlns="http://www.portalfiscal.inf.br/nfe"><protNFe><infProt><chNFe>1</chNFe></infProt></protNFe>)"
           "<dados>" +
           std::string(dados) + "</dados></nfeProc>";
}

xml::Node dados(StageForm& form) { return form.document_element().find("dados"); }

struct FieldRun {
    bool aborted = false;
    std::string line;      // the line written (UTF-8), without CR LF
    std::string problems;  // lista_problemas
    std::vector<std::string> boxes;
};

FieldRun run_field(std::string_view dados_xml, Transform transform, Kind kind,
                   const Regional& regional = Regional::brazilian()) {
    const Field field{"Campo=", "campo", transform, kind, kind == Kind::mandatory ? abort_message : problem};
    const auto run = test::run_stages_on(
        document_with(dados_xml), [&](StageForm& f) { write_field(f, dados(f), field); }, regional, "Sim");
    FieldRun out;
    out.aborted = !run.completed();
    out.boxes = run.boxes;
    out.problems = run.result.lista_problemas;
    if (run.ini) {
        const auto lines = test::split_lines(*run.ini);
        if (!lines.empty()) out.line = lines.front();
    }
    return out;
}

struct KindCase {
    const char* name;
    std::string dados;
    Transform transform;
    Kind kind;
    std::string line;  // "Campo=" + value
    bool problem_line;
};

const std::string p_line = std::string(problem) + "\r\n";

TEST(FieldReadRule, KindsDecideOnProblemLines) {
    const std::string ninety = "  " + std::string(88, 'x');
    const KindCase cases[] = {
        // when_empty: missing, blank and empty children all add the line.
        {"when_empty missing", "", transform::as_read, Kind::when_empty, "Campo=", true},
        {"when_empty spaces", "<campo>   </campo>", transform::as_read, Kind::when_empty, "Campo=", true},
        {"when_empty empty", "<campo/>", transform::as_read, Kind::when_empty, "Campo=", true},
        {"when_empty cdata blanks", "<campo><![CDATA[ \t ]]></campo>", transform::as_read, Kind::when_empty,
         "Campo=", true},
        {"when_empty text", "<campo>abc</campo>", transform::as_read, Kind::when_empty, "Campo=abc", false},
        {"when_empty failed read", "<campo>4x2</campo>", transform::as_integer, Kind::when_empty, "Campo=", true},
        // on_failure: only a failed read adds the line.
        {"on_failure missing", "", transform::as_read, Kind::on_failure, "Campo=", false},
        {"on_failure blank", "<campo> </campo>", transform::as_integer, Kind::on_failure, "Campo=", false},
        {"on_failure failed read", "<campo>4x2</campo>", transform::as_integer, Kind::on_failure, "Campo=", true},
        {"on_failure good read", "<campo>0042</campo>", transform::as_integer, Kind::on_failure, "Campo=42", false},
        // never: no line at all.
        {"never missing", "", transform::as_read, Kind::never, "Campo=", false},
        {"never failed read", "<campo>4x2</campo>", transform::as_integer, Kind::never, "Campo=", false},
        // Values are written as read, never trimmed.
        {"untrimmed", "<campo>  a b  </campo>", transform::as_read, Kind::never, "Campo=  a b  ", false},
        {"entities", "<campo>A &amp; B</campo>", transform::as_read, Kind::never, "Campo=A & B", false},
        {"accents", "<campo>Ação €</campo>", transform::as_read, Kind::never, "Campo=Ação €", false},
        {"outside cp1252", "<campo>Łódź</campo>", transform::as_read, Kind::never, "Campo=?ód?", false},
        // A line break inside a value is written as a space.
        {"line break", "<campo>linha 1\nlinha 2</campo>", transform::as_read, Kind::never, "Campo=linha 1 linha 2",
         false},
        // An error of the presence test (content that is not a single text)
        // is a failed read of the key.
        {"mixed on_failure", "<campo>1<!--c-->2</campo>", transform::as_read, Kind::on_failure, "Campo=", true},
        {"mixed when_empty", "<campo>1<!--c-->2</campo>", transform::as_read, Kind::when_empty, "Campo=", true},
        {"container never", "<campo><x>1</x></campo>", transform::as_read, Kind::never, "Campo=", false},
        // Truncation and upper-casing.
        {"first 70 of 90", "<campo>" + ninety + "</campo>", transform::first(70), Kind::never,
         "Campo=" + ninety.substr(0, 70), false},
        {"first 70 of 5", "<campo>abcde</campo>", transform::first(70), Kind::never, "Campo=abcde", false},
        {"first counts UTF-16 units", "<campo>\U0001F600abc</campo>", transform::first(3), Kind::never, "Campo=?a",
         false},
        {"first counts before conversion", "<campo>ção</campo>", transform::first(2), Kind::never, "Campo=çã", false},
        {"upper", "<campo>rua ção 1b</campo>", transform::upper, Kind::never, "Campo=RUA çãO 1B", false},
        {"upper first", "<campo>abcdef</campo>", transform::upper_first(3), Kind::never, "Campo=ABC", false},
        // Integer normalisation.
        {"integer plus", "<campo>+0007</campo>", transform::as_integer, Kind::on_failure, "Campo=7", false},
        {"integer trailing blank", "<campo>7 </campo>", transform::as_integer, Kind::on_failure, "Campo=", true},
        {"integer too large", "<campo>2147483648</campo>", transform::as_integer, Kind::on_failure, "Campo=", true},
        // Dates.
        {"date", "<campo>2023-05-10T10:20:30-03:00</campo>", transform::date, Kind::on_failure, "Campo=10/05/2023",
         false},
        {"bad date", "<campo>2023-02-30</campo>", transform::date, Kind::on_failure, "Campo=", true},
        {"bad date when_empty", "<campo>2023-02-30</campo>", transform::date, Kind::when_empty, "Campo=", true},
        // Postal code: pieces of the text as read, whatever its length.
        {"cep 8", "<campo>12345678</campo>", transform::cep_mask, Kind::on_failure, "Campo=12.345-678", false},
        {"cep 5", "<campo>12345</campo>", transform::cep_mask, Kind::on_failure, "Campo=12.345-", false},
        {"cep 1", "<campo>1</campo>", transform::cep_mask, Kind::on_failure, "Campo=1.-", false},
        {"cep 10", "<campo>1234567890</campo>", transform::cep_mask, Kind::on_failure, "Campo=12.345-678", false},
        {"cep missing", "", transform::cep_mask, Kind::on_failure, "Campo=", false},
        // ISENTO for a missing or blank child.
        {"isento missing", "", transform::isento_when_blank, Kind::never, "Campo=ISENTO", false},
        {"isento blank", "<campo> </campo>", transform::isento_when_blank, Kind::never, "Campo=ISENTO", false},
        {"isento value", "<campo>123</campo>", transform::isento_when_blank, Kind::never, "Campo=123", false},
        // The access key in groups of four.
        {"access key", "<campo>35180834128745000152550010000474281920007498</campo>", transform::access_key,
         Kind::never, "Campo=3518 0834 1287 4500 0152 5500 1000 0474 2819 2000 7498", false},
    };
    for (const auto& c : cases) {
        const FieldRun run = run_field(c.dados, c.transform, c.kind);
        EXPECT_FALSE(run.aborted) << c.name;
        EXPECT_EQ(run.line, c.line) << c.name;
        EXPECT_EQ(run.problems, c.problem_line ? p_line : "") << c.name;
        EXPECT_TRUE(run.boxes.empty()) << c.name;
    }
}

TEST(FieldReadRule, MandatoryKeyAbortsWithItsMessageWhenBlank) {
    struct Case {
        const char* name;
        std::string dados;
        Transform transform;
        bool aborts;
    };
    const Case cases[] = {
        {"missing", "", transform::as_read, true},
        {"blank", "<campo> \t </campo>", transform::as_read, true},
        {"empty", "<campo/>", transform::as_read, true},
        {"failed read", "<campo>4x2</campo>", transform::as_integer, true},
        {"presence test error", "<campo><x>1</x></campo>", transform::as_read, true},
        {"value", "<campo>1</campo>", transform::as_read, false},
        {"value normalised", "<campo>001</campo>", transform::as_integer, false},
    };
    for (const auto& c : cases) {
        const FieldRun run = run_field(c.dados, c.transform, Kind::mandatory);
        EXPECT_EQ(run.aborted, c.aborts) << c.name;
        EXPECT_EQ(run.problems, "") << c.name;
        if (c.aborts) {
            // Shown even in silent mode; no file is left.
            EXPECT_EQ(run.boxes, std::vector<std::string>{std::string(abort_message)}) << c.name;
            EXPECT_EQ(run.line, "") << c.name;
        } else {
            EXPECT_EQ(run.line, "Campo=1") << c.name;
            EXPECT_TRUE(run.boxes.empty()) << c.name;
        }
    }
}

TEST(AmountRule, ZeroAmountForBlankOrFailedReads) {
    struct Case {
        const char* name;
        std::string dados;
        Kind kind;
        std::string brazil;
        bool brazil_problem;
        std::string point;
        bool point_problem;
    };
    const Case cases[] = {
        {"missing", "", Kind::on_failure, "Campo=0,00", false, "Campo=0.00", false},
        {"blank", "<campo>  </campo>", Kind::on_failure, "Campo=0,00", false, "Campo=0.00", false},
        {"abc", "<campo>abc</campo>", Kind::on_failure, "Campo=0,00", true, "Campo=0.00", true},
        {"abc never", "<campo>abc</campo>", Kind::never, "Campo=0,00", false, "Campo=0.00", false},
        {"decimal", "<campo>1234.5</campo>", Kind::on_failure, "Campo=1234,50", false, "Campo=1234.50", false},
        {"integer", "<campo>10</campo>", Kind::on_failure, "Campo=10,00", false, "Campo=10.00", false},
        {"half", "<campo>0.005</campo>", Kind::on_failure, "Campo=0,01", false, "Campo=0.01", false},
        {"negative", "<campo>-1.5</campo>", Kind::on_failure, "Campo=-1,50", false, "Campo=-1.50", false},
        {"comma in xml", "<campo>1,5</campo>", Kind::on_failure, "Campo=0,00", true, "Campo=0.00", true},
        {"mixed content", "<campo>1<!--x-->2</campo>", Kind::on_failure, "Campo=0,00", true, "Campo=0.00", true},
    };
    for (const auto& c : cases) {
        const FieldRun brazil = run_field(c.dados, transform::amount, c.kind);
        EXPECT_EQ(brazil.line, c.brazil) << c.name;
        EXPECT_EQ(brazil.problems, c.brazil_problem ? p_line : "") << c.name;
        const FieldRun point = run_field(c.dados, transform::amount, c.kind, test::point_month_first());
        EXPECT_EQ(point.line, c.point) << c.name;
        EXPECT_EQ(point.problems, c.point_problem ? p_line : "") << c.name;
    }
}

TEST(TelephoneMask, TenDigitsOnlyAndPiecesOfTheTextAsRead) {
    struct Case {
        const char* name;
        std::string dados;
        Kind kind;
        std::string line;
        bool problem_line;
    };
    const Case cases[] = {
        {"ten digits", "<campo>1155550101</campo>", Kind::on_failure, "Campo=(011)5555-0101", false},
        {"eleven digits", "<campo>11955550101</campo>", Kind::on_failure, "Campo=", false},
        {"eleven digits when_empty", "<campo>11955550101</campo>", Kind::when_empty, "Campo=", false},
        {"nine digits", "<campo>115555010</campo>", Kind::when_empty, "Campo=", false},
        {"letters", "<campo>abc</campo>", Kind::on_failure, "Campo=", false},
        // Ten digits among other characters: the pieces come from the text.
        {"punctuated", "<campo>(11) 5555-0101</campo>", Kind::on_failure, "Campo=(0(1)1) 5-555-", false},
        {"missing", "", Kind::on_failure, "Campo=", false},
        // The presence test runs first: a blank telephone is a blank value.
        {"missing when_empty", "", Kind::when_empty, "Campo=", true},
        {"blank when_empty", "<campo>  </campo>", Kind::when_empty, "Campo=", true},
        {"unreadable", "<campo>11<x/>55550101</campo>", Kind::on_failure, "Campo=", true},
    };
    for (const auto& c : cases) {
        const FieldRun run = run_field(c.dados, transform::phone_mask, c.kind);
        EXPECT_FALSE(run.aborted) << c.name;
        EXPECT_EQ(run.line, c.line) << c.name;
        EXPECT_EQ(run.problems, c.problem_line ? p_line : "") << c.name;
    }
}

TEST(FieldReadRule, WriteFieldsWritesEachKeyInOrder) {
    static const Field fields[] = {
        {"Nome=", "xNome", transform::as_read, Kind::when_empty, "- Nome no Arquivo XML."},
        {"Fantasia=", "xFant", transform::as_read, Kind::on_failure, "- Fantasia no Arquivo XML."},
        {"Numero=", "nro", transform::as_integer, Kind::on_failure, "- Numero no Arquivo XML."},
    };
    const auto run = test::run_stages_on(document_with("<xFant>F</xFant><nro>x</nro>"), [](StageForm& f) {
        f.write_line("[SECAO]");
        write_fields(f, dados(f), fields);
    });
    ASSERT_TRUE(run.completed());
    EXPECT_EQ(run.ini, "[SECAO]\r\nNome=\r\nFantasia=F\r\nNumero=\r\n");
    EXPECT_EQ(run.result.lista_problemas, "- Nome no Arquivo XML.\r\n- Numero no Arquivo XML.\r\n");
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0],
              "O Sistema Encontrou Problemas ao Importar os Dados do:\r\r- Nome no Arquivo XML.\r\n- "
              "Numero no Arquivo XML.\r\n");
}

TEST(IdentifyingNumber, ReadAsWrittenWithoutProblemLines) {
    struct Case {
        std::string dados;
        std::string value;
    };
    const Case cases[] = {
        {"<CNPJ>75335849000115</CNPJ>", "75335849000115"},
        {"<CNPJ> 75.335.849/0001-15 </CNPJ>", " 75.335.849/0001-15 "},
        {"", ""},
        {"<CNPJ>  </CNPJ>", ""},
        {"<CNPJ>1<x/></CNPJ>", ""},
    };
    for (const auto& c : cases) {
        std::string value = "unset";
        const auto run = test::run_stages_on(
            document_with(c.dados), [&](StageForm& f) { value = read_identifying_number(f, dados(f), "CNPJ"); });
        EXPECT_EQ(value, c.value) << c.dados;
        EXPECT_EQ(run.result.lista_problemas, "") << c.dados;
    }
}

// The rule of the item lines and optional tags: the line only for a
// readable, non-blank text, a number that does not convert written as read;
// the suffix goes before the "=" and the element may be a path.
TEST(OptionalRow, LeftOutWhenBlankOrUnreadableAndNumbersFallBackToTheText) {
    struct Case {
        const char* name;
        std::string dados;
        std::string_view child;
        Transform transform;
        std::string brazil;  // the line written, "" for none
        std::string point;
    };
    using Lines = std::vector<std::string>;
    const Transform text = transform::as_read;
    const Case cases[] = {
        {"absent", "", "tag", text, "", ""},
        {"absent numeric", "", "tag", transform::number(2), "", ""},
        {"blank", "<tag> \t\n </tag>", "tag", transform::number(2), "", ""},
        {"blank cdata", "<tag><![CDATA[ \r\n ]]></tag>", "tag", text, "", ""},
        {"text untrimmed", "<tag> a b </tag>", "tag", text, "Campo_7= a b ", "Campo_7= a b "},
        {"text ansi", "<tag>Ação</tag>", "tag", text, "Campo_7=Ação", "Campo_7=Ação"},
        {"number", "<tag>1234.5</tag>", "tag", transform::number(2), "Campo_7=1234,50", "Campo_7=1234.50"},
        {"four decimals", "<tag>0.1</tag>", "tag", transform::number(4), "Campo_7=0,1000", "Campo_7=0.1000"},
        {"cdata number", "<tag><![CDATA[10.5]]></tag>", "tag", transform::number(2), "Campo_7=10,50", "Campo_7=10.50"},
        {"not a number", "<tag>abc</tag>", "tag", transform::number(2), "Campo_7=abc", "Campo_7=abc"},
        {"number not swapped as text", "<tag>1.5</tag>", "tag", text, "Campo_7=1.5", "Campo_7=1.5"},
        {"text and comment", "<tag>1<!--c--></tag>", "tag", transform::number(2), "", ""},
        {"container", "<tag><x>1</x></tag>", "tag", text, "", ""},
        {"path", "<g><h/><tag>2</tag></g>", "g/tag", transform::number(4), "Campo_7=2,0000", "Campo_7=2.0000"},
        {"path missing a step", "<tag>2</tag>", "g/tag", text, "", ""},
        {"unreadable date", "<tag>2026-13-45</tag>", "tag", transform::date, "", ""},
        {"date", "<tag>2026-03-24</tag>", "tag", transform::date, "Campo_7=24/03/2026", "Campo_7=03/24/2026"},
    };
    for (const auto& c : cases) {
        for (const bool brazil : {true, false}) {
            const Field field{"Campo=", c.child, c.transform, Kind::optional};
            const auto run = test::run_stages_on(
                document_with(c.dados), [&](StageForm& f) { write_field(f, dados(f), field, "_7"); },
                brazil ? Regional::brazilian() : test::point_month_first());
            ASSERT_TRUE(run.ini) << c.name;
            const std::string& line = brazil ? c.brazil : c.point;
            EXPECT_EQ(test::split_lines(*run.ini), line.empty() ? Lines{} : Lines{line}) << c.name;
            EXPECT_EQ(run.result.lista_problemas, "") << c.name;
            EXPECT_TRUE(run.boxes.empty()) << c.name;
        }
    }
}

// A row with alternative paths reads the first whose text is not blank; a
// failed read of one ends the row without trying the next.
TEST(AlternativePaths, FirstNonBlankPathIsReadAndAFailureEndsTheRow) {
    const struct {
        const char* name;
        std::string dados;
        std::string_view paths;
        std::string line;
        bool problem_line;
    } cases[] = {
        {"first fails to convert", "<a>4x2</a><b>7</b>", "a|b", "Campo=", true},
        {"first holds more than text", "<a><x/>1</a><b>7</b>", "a|b", "Campo=", true},
        {"none present", "", "a|b|c", "Campo=", false},
        {"all blank", "<a> </a><b/><c>\t</c>", "a|b|c", "Campo=", false},
        {"first present", "<a>1</a><b>2</b>", "a|b", "Campo=1", false},
        {"first blank", "<a> </a><b>2</b>", "a|b", "Campo=2", false},
        {"only the last", "<c>3</c>", "a|b|c", "Campo=3", false},
        {"paths of groups", "<g><a/></g><h><b>5</b></h>", "g/a|h/b", "Campo=5", false},
        {"a path beside a name", "<a>6</a>", "g/a|a", "Campo=6", false},
    };
    for (const auto& c : cases) {
        const Field field{"Campo=", c.paths, transform::as_integer, Kind::on_failure, problem};
        const auto run =
            test::run_stages_on(document_with(c.dados), [&](StageForm& f) { write_field(f, dados(f), field); });
        ASSERT_TRUE(run.ini) << c.name;
        EXPECT_EQ(test::split_lines(*run.ini), std::vector<std::string>{c.line}) << c.name;
        EXPECT_EQ(run.result.lista_problemas, c.problem_line ? p_line : "") << c.name;
    }
}

// One line per element of a repeated row, numbered among the lines written.
TEST(RepeatedRow, OneNumberedLinePerReadableElementOfItsGroup) {
    using Lines = std::vector<std::string>;
    const struct {
        const char* name;
        std::string dados;
        Lines lines;
    } cases[] = {
        {"no group", "<r>A</r>", {}},
        {"empty group", "<g/>", {}},
        {"blank and unreadable elements take no number",
         "<g><r> </r><r>A</r><r/><r><x/></r><r>B</r></g>",
         {"Campo_1=A", "Campo_2=B"}},
        {"other children between", "<g><r>A</r><o>x</o><r>B</r></g>", {"Campo_1=A", "Campo_2=B"}},
        {"only the first group", "<g><r>A</r></g><g><r>B</r></g>", {"Campo_1=A"}},
        {"namespace prefix",
         R"(<n:g xmlns:n="http://www.portalfiscal.inf.br/nfe"><n:r>A</n:r><r>B</r></n:g>)",
         {"Campo_1=A", "Campo_2=B"}},
    };
    const Field field{"Campo=", "g/r", transform::as_read, Kind::optional};
    for (const auto& c : cases) {
        const auto run =
            test::run_stages_on(document_with(c.dados), [&](StageForm& f) { write_each(f, dados(f), field); });
        ASSERT_TRUE(run.ini) << c.name;
        EXPECT_EQ(test::split_lines(*run.ini), c.lines) << c.name;
        EXPECT_EQ(run.result.lista_problemas, "") << c.name;
    }
}

TEST(FindPath, FollowsExistingElementsOnlyAndCreatesNothing) {
    const auto run = test::run_stages_on(document_with("<a><b><c>1</c></b></a>"), [](StageForm& f) {
        EXPECT_TRUE(find_path(dados(f), {"a", "b", "c"}));
        EXPECT_FALSE(find_path(dados(f), {"a", "x", "c"}));
        EXPECT_FALSE(find_path(dados(f), {"x"}));
        EXPECT_FALSE(dados(f).find("x"));
        EXPECT_FALSE(find_path(xml::Node(), {"a"}));
        EXPECT_EQ(find_path(dados(f), {}), dados(f));
    });
    EXPECT_TRUE(run.completed());
}

}  // namespace
}  // namespace idf
