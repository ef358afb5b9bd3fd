#include "scenario/field_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using scenario::field_reader;

// Each case reads the whole input as a sequence of typed fields; 't' is a
// text field, 'l' a Long, 'i' an Integer, 'b' a Byte.
struct cut_case {
  std::string name;
  std::string input;
  std::string types;
  std::vector<std::string> expected;  // text, or the number's decimal form
};

std::vector<std::string> read_all(const cut_case& c, bool& failed) {
  field_reader in(c.input);
  std::vector<std::string> got;
  for (char type : c.types) {
    switch (type) {
      case 't':
        got.emplace_back(in.read_text());
        break;
      case 'l':
        got.push_back(std::to_string(in.read_long()));
        break;
      case 'i':
        got.push_back(std::to_string(in.read_integer()));
        break;
      default:
        got.push_back(std::to_string(in.read_byte()));
        break;
    }
  }
  failed = in.failed();
  return got;
}

TEST(FieldReader, CutsFieldsByTheTypeAskedFor) {
  const std::vector<cut_case> cases = {
      {"keyword then numbers", "montagna,   29150,  32500,  11\r\n", "tlll",
       {"montagna", "29150", "32500", "11"}},
      {"numbers separated by blanks only", "orologio,    15              17            15 \r\n",
       "tiii", {"orologio", "15", "17", "15"}},
      {"empty numeric fields read 0", "indicatori_vmax,  700,  130,  140,  150,  0,  ,  ,  ,  0\r\n",
       "tlllllllll", {"indicatori_vmax", "700", "130", "140", "150", "0", "0", "0", "0", "0"}},
      {"non-numeric number reads 0", "abbattimento,   60550,   AC\r\nx", "tllt",
       {"abbattimento", "60550", "0", "x"}},
      {"too few values take the next line", "velocita, 650\r\naderenza, 0, 100\r\n", "tlll",
       {"velocita", "650", "0", "0"}},
      {"too many values are left for the next field", "sabbia, 300, 7, pendenza\r\n", "tltt",
       {"sabbia", "300", "7", "pendenza"}},
      {"quoted text runs to the closing quote", "\"a, b\" tail, next\r\n", "tt", {"a, b", "next"}},
      {"unterminated quote takes the rest", "\"abc, def\r\nghi", "t", {"abc, def\r\nghi"}},
      {"trailing blanks of a text are kept", "  VESCARA   \r\n", "t", {"VESCARA   "}},
      {"a comma inside a name cuts it", "stazione, 0, PIAZZA, ALTA\r\n", "tltt",
       {"stazione", "0", "PIAZZA", "ALTA"}},
      {"lone CR and lone LF end lines", "a\rb\nc\r\n", "ttt", {"a", "b", "c"}},
      {"plus sign and negative numbers", "+5, -17, -0\r\n", "lll", {"5", "-17", "0"}},
      {"decimal numbers round half to even", "2.5, 3.5, -3.25, 1e3, 7., .5, -2.5E0\r\n",
       "lllllll", {"2", "4", "-3", "1000", "7", "0", "-2"}},
      {"numbers too small for a double round to 0", "1e-400, -2e-324, 0.0000e-999\r\n", "lll",
       {"0", "0", "0"}},
      {"hex, bare signs and letters are not numbers", "0x10, &H10, 12AB, +, 1e, e5, 1.2.3\r\n",
       "lllllll", {"0", "0", "0", "0", "0", "0", "0"}},
      {"a rounded number fits its type", "255.4, -0.4, 32766.5\r\n", "bbi", {"255", "0", "32766"}},
      {"a lone dash is not a number", " - 5\r\n", "ll", {"0", "5"}},
      {"blanks before the end of the text", "7,   ", "lt", {"7", ""}},
      {"largest Long", "2147483647", "l", {"2147483647"}},
      {"smallest Long", "-2147483648", "l", {"-2147483648"}},
      {"Integer bounds", "32767, -32768", "ii", {"32767", "-32768"}},
      {"Byte bounds", "0, 255", "bb", {"0", "255"}},
      {"a sign alone or doubled is not a number", "+, --5, +-5, 5-\r\n", "llll",
       {"0", "0", "0", "0"}},
      {"digits after a letter make no number", "12a, a12, 1 2\r\n", "llll",
       {"0", "0", "1", "2"}},
      {"leading zeros", "-0007, 00032767\r\n", "li", {"-7", "32767"}},
      {"a non-numeric token ends at a blank", "7x 8, 9\r\n", "lll", {"0", "8", "9"}},
  };
  for (const cut_case& c : cases) {
    bool failed = false;
    EXPECT_EQ(read_all(c, failed), c.expected) << c.name;
    EXPECT_FALSE(failed) << c.name;
  }
}

TEST(FieldReader, NumbersOutsideTheirTypeFail) {
  const std::vector<cut_case> cases = {
      {"Long above", "2147483648", "l", {}},
      {"Long below", "-2147483649", "l", {}},
      {"huge", "99999999999999999999999999", "l", {}},
      {"Integer above", "32768", "i", {}},
      {"Integer below", "-32769", "i", {}},
      {"Byte above", "256", "b", {}},
      {"negative Byte", "-1", "b", {}},
      {"a rounded Byte above", "255.5", "b", {}},
      {"a decimal beyond every range", "1e400", "l", {}},
      {"a number asked for at the end of the text", "", "l", {}},
      {"a text asked for at the end of the text", "", "t", {""}},
      {"nothing is read after a failure", "300, 5, NAME\r\n", "blt", {"0", "0", ""}},
  };
  for (const cut_case& c : cases) {
    bool failed = false;
    const auto got = read_all(c, failed);
    EXPECT_TRUE(failed) << c.name;
    EXPECT_EQ(got, c.expected.empty() ? std::vector<std::string>{"0"} : c.expected) << c.name;
  }
}

TEST(FieldReader, KeywordFieldsFollowTheDashAndEndOfTextRules) {
  struct keyword_case {
    std::string name;
    std::string input;
    int dash_limit;
    std::vector<std::string> examined;
  };
  const std::vector<keyword_case> cases = {
      // "[fine]" is the field whose reading reaches the end: never examined.
      {"last field is not examined", "pendenza, 1\r\n[fine]\r\n", 2, {"pendenza", "1"}},
      {"a final line without line end is still not examined", "a\r\nb", 2, {"a"}},
      {"a keyword that is not the last field is examined", "curvas4, 900, 1100", 2,
       {"curvas4", "900"}},
      {"a dash field hides itself", "-5, pendenza, x\r\n", 2, {"pendenza"}},
      {"two dash fields in a row are passed over", "-1, -2, pendenza, x\r\n", 2, {"pendenza"}},
      {"a third dash field is examined", "-1, -2, -3, x, y\r\n", 2, {"-3", "x"}},
      {"ten dash fields in the general section", "-1,-2,-3,-4,-5,-6,-7,-8,-9,-10,k,z", 10,
       {"k"}},
      {"eleventh dash field is examined", "-1,-2,-3,-4,-5,-6,-7,-8,-9,-10,-11,k,z", 10,
       {"-11", "k"}},
      {"end reached while passing dashes", "x, -1, -2", 2, {"x"}},
  };
  for (const keyword_case& c : cases) {
    field_reader in(c.input);
    std::vector<std::string> examined;
    while (auto field = scenario::next_keyword_field(in, c.dash_limit)) {
      examined.emplace_back(*field);
    }
    EXPECT_EQ(examined, c.examined) << c.name;
  }
}

TEST(FieldReader, MarkerSearchAndKeywordTests) {
  field_reader free_line("Verificare (DI - DU)\r\n[GENERALE]\r\nnumero vetture, 14\r\n[fine]\r\n");
  EXPECT_TRUE(scenario::skip_to_marker(free_line, "[generale]"));
  EXPECT_EQ(*scenario::next_keyword_field(free_line, 2), "numero vetture");

  field_reader no_marker("a\r\n[generale]");  // the marker is the last field
  EXPECT_FALSE(scenario::skip_to_marker(no_marker, "[generale]"));

  EXPECT_TRUE(scenario::contains_ignoring_case("LUNGHEZZA PERCORSO", "lunghezza"));
  EXPECT_TRUE(scenario::contains_ignoring_case("xxcurvas4", "curva"));
  EXPECT_FALSE(scenario::contains_ignoring_case("[curve]", "curva"));
  EXPECT_FALSE(scenario::contains_ignoring_case("[pendenze]", "pendenza"));
  EXPECT_FALSE(scenario::contains_exact("PROGRESSIVA chilometrica uno", "progressiva"));

  // Letters match in either case and nothing else is folded: the byte one
  // case bit away from "_" or "[" is not it, nor are accented letters.
  struct match_case {
    std::string_view field;
    std::string_view keyword;
    bool found;
  };
  const std::vector<match_case> matches = {
      {"INDICATORI_VMAX", "indicatori_v", true},
      {"Indicatori_VMax", "indicatori_v", true},
      {"indicatori\x7fv", "indicatori_v", false},
      {"indicatoriv", "indicatori_v", false},
      {"{generale}", "[generale]", false},
      {"[GENERALE]", "[generale]", true},
      {"\xC0\xC8", "\xE0\xE8", false},
      {"VELOCIT\xC0", "velocit", true},
      {"@", "`", false},
      {"cur", "curva", false},
      {"", "", true},
  };
  for (const match_case& c : matches) {
    EXPECT_EQ(scenario::contains_ignoring_case(c.field, c.keyword), c.found)
        << c.field << " / " << c.keyword;
  }
}

TEST(FieldReader, TracksLinesForDiagnostics) {
  const std::string text = "a\r\nbb\ncc\rdd, ee\r\n";
  EXPECT_EQ(scenario::line_number_at(text, 0), 1u);
  EXPECT_EQ(scenario::line_number_at(text, 3), 2u);
  EXPECT_EQ(scenario::line_number_at(text, 6), 3u);
  EXPECT_EQ(scenario::line_number_at(text, 9), 4u);
  EXPECT_EQ(scenario::line_at(text, 13), "dd, ee");

  field_reader in(text);
  in.read_text();
  in.read_text();
  EXPECT_EQ(in.field_offset(), 3u);
}

}  // namespace
