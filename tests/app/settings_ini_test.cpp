// The settings file's text rules: what a given file reads as, and what is written back.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/settings/ini_file.h"
#include "app/settings/ini_number.h"

namespace kalvora {
namespace {

using namespace std::string_literals;

constexpr std::int32_t kDefault = -777;

struct Read {
  std::string section, key;
  std::int32_t expected;  // kDefault when the entry must not be found or not read as a number
};
struct Write {
  std::string section, key;
  std::int32_t value;
};
struct IniCase {
  const char* name;
  std::string input;
  std::vector<Read> reads;  // made before the writes
  std::vector<Write> writes;
  std::string written;
};

const std::vector<IniCase>& Cases() {
  static const std::vector<IniCase> cases = {
      {"first run",
       "",
       {{"window", "height", kDefault}, {"Dev", "Dev_num", kDefault}},
       {{"window", "Height", 664},
        {"window", "Width", 831},
        {"window", "Top", 159},
        {"window", "Left", 193},
        {"dev", "dev_num", 0},
        {"dev", "map", 4}},
       "[window]\r\nHeight=664\r\nWidth=831\r\nTop=159\r\nLeft=193\r\n\r\n"
       "[dev]\r\ndev_num=0\r\nmap=4\r\n\r\n"},
      {"names differing in case: section keeps its name, key takes the new one",
       "[Window]\r\nHEIGHT=700\r\n",
       {{"window", "height", 700}, {"WINDOW", "Height", 700}},
       {{"window", "Height", 701}},
       "[Window]\r\nHeight=701\r\n\r\n"},
      {"written as dev/dev_num, read as Dev/Dev_num",
       "[dev]\r\ndev_num=3\r\nmap=2\r\n",
       {{"Dev", "Dev_num", 3}, {"dev", "map", 2}, {"dev", "dev_num ", kDefault}},
       {},
       "[dev]\r\ndev_num=3\r\nmap=2\r\n\r\n"},
      {"hexadecimal and non-numbers",
       "[window]\r\nHeight=0x20\r\nWidth=$20\r\nTop=abc\r\nLeft=4294967296\r\n",
       {{"window", "Height", 32},
        {"window", "Width", 32},
        {"window", "Top", kDefault},
        {"window", "Left", kDefault}},
       {},
       "[window]\r\nHeight=0x20\r\nWidth=$20\r\nTop=abc\r\nLeft=4294967296\r\n\r\n"},
      {"comments, blank lines and lines before the first section are dropped",
       "Top=1\r\n; note\r\n\r\n[window]\r\n;Left=5\r\n   \r\n  Height = 700 \r\n; end\r\n",
       {{"window", "Top", kDefault}, {"window", "Left", kDefault}, {"window", "Height", 700}},
       {},
       "[window]\r\nHeight=700\r\n\r\n"},
      {"unknown sections and loose lines survive in order",
       "[other]\r\nfoo=bar\r\nloose line\r\n[window]\r\nTop=5\r\n[more]\r\nx=1\r\n",
       {{"other", "loose line", kDefault}, {"more", "x", 1}},
       {{"window", "Left", 7}, {"dev", "map", 4}},
       "[other]\r\nfoo=bar\r\nloose line\r\n\r\n[window]\r\nTop=5\r\nLeft=7\r\n\r\n"
       "[more]\r\nx=1\r\n\r\n[dev]\r\nmap=4\r\n\r\n"},
      {"a replaced entry keeps its place",
       "[window]\r\nwidth=1\r\nHEIGHT=2\r\nleft=3\r\n",
       {},
       {{"window", "Height", 9}},
       "[window]\r\nwidth=1\r\nHeight=9\r\nleft=3\r\n\r\n"},
      {"an entry is found only in its own section",
       "[dev]\r\nHeight=5\r\n[window]\r\n",
       {{"window", "Height", kDefault}, {"dev", "Height", 5}},
       {{"window", "Height", 6}},
       "[dev]\r\nHeight=5\r\n\r\n[window]\r\nHeight=6\r\n\r\n"},
      {"CR, LF and CR LF each end a line; a final line needs no end",
       "[a]\rx=1\ny=2\r\n\r\n\n\rz=3",
       {{"a", "x", 1}, {"a", "y", 2}, {"a", "z", 3}},
       {},
       "[a]\r\nx=1\r\ny=2\r\nz=3\r\n\r\n"},
      {"a NUL byte ends the text",
       "[a]\r\nx=1\r\n\0y=2\r\n[b]\r\n"s,
       {{"a", "x", 1}, {"a", "y", kDefault}, {"b", "y", kDefault}},
       {},
       "[a]\r\nx=1\r\n\r\n"},
      {"bytes above 0x7F pass through and are not case-folded",
       "[f\xE9te]\r\n\x83L\x81[=5\r\n\x82\xA0 \xFF\r\n",
       {{"F\xE9TE", "\x83l\x81[", 5}, {"f\xC9te", "\x83L\x81[", kDefault}},
       {{"f\xE9te", "\x83X", 1}},
       "[f\xE9te]\r\n\x83L\x81[=5\r\n\x82\xA0 \xFF\r\n\x83X=1\r\n\r\n"},
      {"blanks and control characters are trimmed from lines, names, keys and values",
       "\t[ win ]\x7F\r\n\x01 Height\t=\t700 \x1F\r\n",
       {{"win", "height", 700}},
       {},
       "[win]\r\nHeight=700\r\n\r\n"},
      {"a line is split at its first \"=\"; an empty value is no number",
       "[a]\r\nx=\r\ny=1=2\r\n=4\r\n",
       {{"a", "x", kDefault}, {"a", "y", kDefault}, {"a", "", 4}},
       {{"a", "y", 3}},
       "[a]\r\nx=\r\ny=3\r\n=4\r\n\r\n"},
      {"of two sections with one name, the first is read and written",
       "[a]\r\nx=1\r\n[A]\r\nx=2\r\n",
       {{"A", "x", 1}},
       {{"A", "X", 3}},
       "[a]\r\nX=3\r\n\r\n[A]\r\nx=2\r\n\r\n"},
      {"bracket lines: \"[]\" is a section, an unclosed one is a loose line",
       "[\r\n[]\r\n[x\r\nk=1\r\n[a]]\r\n",
       {{"", "k", 1}, {"a]", "k", kDefault}},
       {{"a]", "k", 2}},
       "[]\r\n[x\r\nk=1\r\n\r\n[a]]\r\nk=2\r\n\r\n"},
  };
  return cases;
}

// Names the case in failure reports instead of dumping its bytes.
void PrintTo(const IniCase& c, std::ostream* os) { *os << c.name; }

class IniRules : public ::testing::TestWithParam<IniCase> {};

TEST_P(IniRules, ReadsAndWritesBack) {
  const IniCase& c = GetParam();
  IniFile ini = IniFile::parse(c.input);
  for (const Read& r : c.reads) {
    EXPECT_EQ(ini.readInteger(r.section, r.key, kDefault), r.expected)
        << "[" << r.section << "] " << r.key;
  }
  for (const Write& w : c.writes) {
    ASSERT_TRUE(ini.writeInteger(w.section, w.key, w.value)) << w.key;
    EXPECT_EQ(ini.readInteger(w.section, w.key, kDefault), w.value) << w.key;
  }
  const std::string written = ini.serialize();
  EXPECT_EQ(written, c.written);
  // What is written reads back to the same file.
  EXPECT_EQ(IniFile::parse(written).serialize(), written);
}

INSTANTIATE_TEST_SUITE_P(Settings, IniRules, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

struct NumberCase {
  const char* text;
  std::optional<std::int32_t> value;
};

TEST(SettingsNumber, ReadsOnlyWhatIsA32BitInteger) {
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  const NumberCase cases[] = {
      {"0", 0},
      {"664", 664},
      {"+5", 5},
      {"-5", -5},
      {"007", 7},
      {"2147483647", kMax},
      {"-2147483648", kMin},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"99999999999999999999999", std::nullopt},
      {"0x20", 32},
      {"0XfF", 255},
      {"0x7FFFFFFF", kMax},
      {"0x80000000", kMin},
      {"0xFFFFFFFF", -1},
      {"0x0000000000020", 32},
      {"0x100000000", std::nullopt},
      {"0x", std::nullopt},
      {"0x-5", std::nullopt},
      {"0xg", std::nullopt},
      {"$20", 32},
      {"$ffffffff", -1},
      {"-$10", -16},
      {"-$80000000", kMin},
      {"$100000000", std::nullopt},
      {"$", std::nullopt},
      {"-", std::nullopt},
      {"", std::nullopt},
      {"abc", std::nullopt},
      {"12abc", std::nullopt},
      {"1 2", std::nullopt},
      {"--1", std::nullopt},
      {"1.5", std::nullopt},
      {"x20", std::nullopt},
  };
  for (const NumberCase& c : cases) {
    EXPECT_EQ(ParseIniInteger(c.text), c.value) << '"' << c.text << '"';
  }
}

TEST(SettingsWrite, RefusesNamesThatWouldNotReadBack) {
  const std::vector<Write> refused = {
      {"a\r\nb", "k", 1}, {"a\0b"s, "k", 1}, {" a", "k", 1},  {"a\t", "k", 1},
      {"a", "x=y", 1},    {"a", ";k", 1},    {"a", "k\n", 1}, {"a", " k", 1},
  };
  IniFile ini = IniFile::parse("[a]\r\nk=5\r\n");
  for (const Write& w : refused) {
    EXPECT_FALSE(ini.writeInteger(w.section, w.key, w.value)) << w.section << "/" << w.key;
  }
  EXPECT_EQ(ini.serialize(), "[a]\r\nk=5\r\n\r\n");
}

TEST(SettingsWrite, WritesTheWholeRangeAsDecimal) {
  IniFile ini;
  for (const std::int32_t v : {std::numeric_limits<std::int32_t>::min(), -1, 0,
                               std::numeric_limits<std::int32_t>::max()}) {
    ASSERT_TRUE(ini.writeInteger("s", "v", v));
    EXPECT_EQ(IniFile::parse(ini.serialize()).readInteger("s", "v", 1), v);
  }
  EXPECT_EQ(ini.serialize(), "[s]\r\nv=2147483647\r\n\r\n");
}

}  // namespace
}  // namespace kalvora
