// Value helpers and the conversions between DOM text, ANSI and UTF-8.
#include <gtest/gtest.h>

#include <string>

#include "common/platform.hpp"
#include "values/text.hpp"

namespace idf {
namespace {

TEST(BlankTest, StripsEveryControlCodeAndSpaceOnly) {
    struct Case {
        std::string text;
        bool blank;
    };
    const Case cases[] = {
        {"", true},      {" ", true},  {"\t\r\n ", true}, {std::string("\0\x01\x1f ", 4), true},
        {"\x7f", false},  // DEL is above 32
        {"\xa0", false},  // CP1252 no-break space is not blank
        {" a ", false},  {"0", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(is_blank(c.text), c.blank) << '"' << c.text << '"';
        EXPECT_EQ(is_blank(utf8_to_utf16(c.text)), c.blank) << '"' << c.text << '"';
    }
    EXPECT_FALSE(is_blank(std::u16string(u"\u00a0")));
    EXPECT_FALSE(is_blank(std::u16string(u"\u3000")));
}

TEST(Trim, RemovesControlCodesAndSpacesAtBothEndsOnly) {
    EXPECT_EQ(trim("\t a b \r\n"), "a b");
    EXPECT_EQ(trim("   "), "");
    EXPECT_EQ(trim(""), "");
    EXPECT_EQ(trim("x"), "x");
}

TEST(PreencheZeros, PadsOnTheLeftAndNeverCuts) {
    EXPECT_EQ(preenche_zeros("1", 2), "01");
    EXPECT_EQ(preenche_zeros("123", 2), "123");
    EXPECT_EQ(preenche_zeros("", 2), "00");
    EXPECT_EQ(preenche_zeros("12", 2), "12");
    EXPECT_EQ(preenche_zeros("7", 0), "7");
    EXPECT_EQ(preenche_zeros("7", -3), "7");
    EXPECT_EQ(preenche_zeros(" 7", 4), "00 7");
}

TEST(TrocaSeparador, ExchangesPointAndCommaInOnePass) {
    EXPECT_EQ(troca_separador("1234.56"), "1234,56");
    EXPECT_EQ(troca_separador("1,234.5"), "1.234,5");
    EXPECT_EQ(troca_separador(",,.."), "..,,");
    EXPECT_EQ(troca_separador(""), "");
    EXPECT_EQ(troca_separador("abc"), "abc");
}

TEST(SomenteNumeros, KeepsAsciiDigitsInOrder) {
    EXPECT_EQ(somente_numeros("1.2-3"), "123");
    EXPECT_EQ(somente_numeros("(011) 5555-0101"), "01155550101");
    EXPECT_EQ(somente_numeros("abc"), "");
    EXPECT_EQ(somente_numeros(""), "");
    // Superscript two and other non-ASCII bytes are not digits.
    EXPECT_EQ(somente_numeros("\xb2"
                              "1\xb9"),
              "1");
}

TEST(AsciiUpper, ChangesOnlyAToZ) {
    EXPECT_EQ(ascii_upper("abc xyz 019"), "ABC XYZ 019");
    // CP1252 "ção": the accented letters stay as they are.
    EXPECT_EQ(ascii_upper("\xe7\xe3o"), "\xe7\xe3O");
    EXPECT_EQ(ascii_upper("ABC{}`@"), "ABC{}`@");
}

TEST(FirstUnits, CountsUtf16CodeUnits) {
    EXPECT_EQ(first_units(u"abcdef", 3), u"abc");
    EXPECT_EQ(first_units(u"ab", 3), u"ab");
    EXPECT_EQ(first_units(u"", 3), u"");
    EXPECT_EQ(first_units(u"abc", 0), u"");
    // A character outside the basic plane is two units.
    EXPECT_EQ(first_units(u"a\U0001F600b", 3), u"a\U0001F600");
    EXPECT_EQ(first_units(u"a\U0001F600b", 3).size(), 3u);
}

TEST(AnsiConversion, MapsCp1252AndReplacesTheRest) {
    struct Case {
        std::u16string dom;
        std::string ansi;
    };
    const Case cases[] = {
        {u"abc", "abc"},
        {u"Ação", "A\xe7\xe3o"},
        {u"\u00ff\u00a0", "\xff\xa0"},
        {u"\u20ac", "\x80"},            // euro sign
        {u"\u201c\u201d", "\x93\x94"},  // curly quotes
        {u"\u0152\u0153\u0178", "\x8c\x9c\x9f"},
        {u"\u0100", "?"},  // not in CP1252
        {u"\u4e2d", "?"},
        {u"\U0001F600", "?"},  // a surrogate pair is one character
        {u"a\xd800", "a?"},    // a lone surrogate
        {u"\u0081", "\x81"},   // unassigned CP1252 bytes stand for the C1 controls
        {u"\u0080", "?"},      // 0x80 is the euro sign, so U+0080 has no byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf16_to_cp1252(c.dom), c.ansi) << utf16_to_utf8(c.dom);
        EXPECT_EQ(to_ansi(c.dom), c.ansi) << utf16_to_utf8(c.dom);
    }
}

TEST(AnsiConversion, MessagesFromUtf8RoundTripThroughCp1252) {
    const std::string message = "A Importação será Abortada. € “x”";
    const std::string ansi = utf8_to_cp1252(message);
    EXPECT_EQ(ansi, "A Importa\xe7\xe3o ser\xe1 Abortada. \x80 \x93x\x94");
    EXPECT_EQ(cp1252_to_utf8(ansi), message);
    EXPECT_EQ(utf8_to_cp1252("中"), "?");
    // Malformed UTF-8 becomes "?" instead of stray bytes.
    EXPECT_EQ(utf8_to_cp1252("a\xc3"), "a?");
    EXPECT_EQ(utf8_to_cp1252("\xc0\xaf"), "?");  // overlong encoding of "/"
}

TEST(Utf, Utf8AndUtf16RoundTrip) {
    const std::string text = "aç€\U0001F600z";
    const std::u16string wide = utf8_to_utf16(text);
    EXPECT_EQ(wide, u"aç€\U0001F600z");
    EXPECT_EQ(utf16_to_utf8(wide), text);
    EXPECT_EQ(utf16_to_utf8(u"\xdc00"), "\xef\xbf\xbd");  // lone surrogate -> U+FFFD
    EXPECT_EQ(utf8_to_utf16("\xed\xa0\x80"), u"\xfffd");  // encoded surrogate is malformed
}

}  // namespace
}  // namespace idf
