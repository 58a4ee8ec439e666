// SPDX-License-Identifier: MIT
// The INI reader and writer: lookups without regard to case, and edits that
// leave every other line alone.
#include "job/ini_document.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace drumplot {
namespace {

constexpr const char* kSample =
    "top=ignored\n; comment=ignored\n[Setup]\nPlain=1\n  Spaced  =  two words  \n"
    "Quoted=\" padded \"\nSingle='x'\nHalf=\"open\nEmpty=\nCr=5\r\r\nTwice=first\n"
    "Twice=second\n# Hash=ignored\nno equals sign\n[ Layers ]\nName1=a=b\n[setup]\nLate=hidden\n";

TEST(IniDocumentTest, Lookups) {
  const IniDocument ini = IniDocument::parse(kSample);
  const struct {
    const char* section;
    const char* key;
    std::optional<std::string> expected;
  } cases[] = {
      // clang-format off
      {"Setup",  "Plain",   "1"},
      {"SETUP",  "plain",   "1"},
      {"Setup",  "Spaced",  "two words"},
      {"Setup",  "Quoted",  " padded "},
      {"Setup",  "Single",  "x"},
      {"Setup",  "Half",    "\"open"},
      {"Setup",  "Empty",   ""},
      {"Setup",  "Cr",      "5"},
      {"Setup",  "Twice",   "first"},
      {"Setup",  "# Hash",  std::nullopt},
      {"Setup",  "top",     std::nullopt},
      {"Setup",  "Missing", std::nullopt},
      {"Setup",  "Late",    std::nullopt},   // only the first section counts
      {"layers", "NAME1",   "a=b"},
      {"Nope",   "Plain",   std::nullopt},
      // clang-format on
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ini.value(c.section, c.key), c.expected) << c.section << " / " << c.key;
  }
}

TEST(IniDocumentTest, SetReplacesInsertsAndAppendsWithoutTouchingOtherLines) {
  IniDocument ini = IniDocument::parse("; head\n[A]\nk=1\nother=x\n\n\n[B]\nz=9");
  ini.set("a", "K", "2");            // replaced in place, new spelling
  ini.set("A", "new", "3");          // after the section's last entry, before the blank lines
  ini.set("C", "c", "line\nbreak");  // a new section at the end; the value stays one line
  EXPECT_EQ(ini.text(), "; head\n[A]\nK=2\nother=x\nnew=3\n\n\n[B]\nz=9\n[C]\nc=line break\n");
  EXPECT_EQ(IniDocument::parse(ini.text()).value("c", "C"), "line break");
  // Windows line ends are kept.
  IniDocument crlf = IniDocument::parse("[A]\r\nk=1\r\n");
  EXPECT_EQ(crlf.value("A", "k"), "1");
  crlf.set("A", "j", "2");
  EXPECT_EQ(crlf.text(), "[A]\r\nk=1\r\nj=2\r\n");
  IniDocument empty;
  empty.set("Setup", "Jednotka", "Inch");
  EXPECT_EQ(empty.text(), "[Setup]\nJednotka=Inch\n");
}

}  // namespace
}  // namespace drumplot
