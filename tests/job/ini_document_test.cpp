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
    "top=ignored\n"
    "; comment=ignored\n"
    "[Setup]\n"
    "Plain=1\n"
    "  Spaced  =  two words  \n"
    "Quoted=\" padded \"\n"
    "Single='x'\n"
    "Half=\"open\n"
    "Empty=\n"
    "Cr=5\r\r\n"
    "Twice=first\n"
    "Twice=second\n"
    "# Hash=ignored\n"
    "no equals sign\n"
    "[ Layers ]\n"
    "Name1=a=b\n"
    "[setup]\n"
    "Late=hidden\n";

struct LookupCase {
  const char* section;
  const char* key;
  std::optional<std::string> expected;
};

class IniLookupTest : public testing::TestWithParam<LookupCase> {};

TEST_P(IniLookupTest, FindsValue) {
  IniDocument ini = IniDocument::parse(kSample);
  const LookupCase& c = GetParam();
  EXPECT_EQ(ini.value(c.section, c.key), c.expected) << c.section << " / " << c.key;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rules, IniLookupTest, testing::Values(
    LookupCase{"Setup",  "Plain",   "1"},
    LookupCase{"SETUP",  "plain",   "1"},
    LookupCase{"Setup",  "Spaced",  "two words"},
    LookupCase{"Setup",  "Quoted",  " padded "},
    LookupCase{"Setup",  "Single",  "x"},
    LookupCase{"Setup",  "Half",    "\"open"},
    LookupCase{"Setup",  "Empty",   ""},
    LookupCase{"Setup",  "Cr",      "5"},
    LookupCase{"Setup",  "Twice",   "first"},
    LookupCase{"Setup",  "# Hash",  std::nullopt},
    LookupCase{"Setup",  "top",     std::nullopt},
    LookupCase{"Setup",  "Missing", std::nullopt},
    LookupCase{"Setup",  "Late",    std::nullopt},   // only the first section counts
    LookupCase{"layers", "NAME1",   "a=b"},
    LookupCase{"Nope",   "Plain",   std::nullopt}));
// clang-format on

TEST(IniDocumentTest, SetReplacesInsertsAndAppendsWithoutTouchingOtherLines) {
  IniDocument ini = IniDocument::parse("; head\n[A]\nk=1\nother=x\n\n\n[B]\nz=9");
  ini.set("a", "K", "2");            // replaced in place, new spelling
  ini.set("A", "new", "3");          // after the section's last entry, before the blank lines
  ini.set("C", "c", "line\nbreak");  // a new section at the end; the value stays one line
  EXPECT_EQ(ini.text(), "; head\n[A]\nK=2\nother=x\nnew=3\n\n\n[B]\nz=9\n[C]\nc=line break\n");
  EXPECT_EQ(IniDocument::parse(ini.text()).value("c", "C"), "line break");
}

TEST(IniDocumentTest, KeepsWindowsLineEnds) {
  IniDocument ini = IniDocument::parse("[A]\r\nk=1\r\n");
  EXPECT_EQ(ini.value("A", "k"), "1");
  ini.set("A", "j", "2");
  EXPECT_EQ(ini.text(), "[A]\r\nk=1\r\nj=2\r\n");
  IniDocument empty;
  empty.set("Setup", "Jednotka", "Inch");
  EXPECT_EQ(empty.text(), "[Setup]\nJednotka=Inch\n");
}

}  // namespace
}  // namespace drumplot
