// SPDX-License-Identifier: MIT
// Aperture files: field cutting, units, where loading ends, saving.
#include "apertures/aperture_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "apertures/working_aperture_table.h"
#include "engine/errors.h"
#include "engine/gerber_reader.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

const std::string kHeader = "[<4\r\nin.pho\r\n2 3 11\r\n";
const std::string kTrailerLoad = "0\r\n0\r\n18688 20736 20224\r\n1.0 1.0 0.0005\r\n0 0\r\n";

ApertureTable load(const std::string& text) {
  ApertureTable table;
  loadApertureText(text, table, "test.Env");
  return table;
}

// One aperture line after the standard header, and the record of one D code.
TEST(ApertureFileTest, RecordOfEachLine) {
  const struct {
    const char* line;
    int dCode;
    ApertureShape shape;
    double sizeX;
    double sizeY;
  } cases[] = {
      // clang-format off
      {"10 0  0.02000 0.02000",     10, ApertureShape::Round,     0.02,  0.02},
      {"10 15 0.02 0.01",           10, ApertureShape::Round,     0.02,  0.01},
      {"10-12 1 0.05 0.02",         11, ApertureShape::Square,    0.05,  0.05},
      {"10-12 1 0.05 0.02",         12, ApertureShape::Square,    0.05,  0.05},
      {"13 2 0.06 0.03",            13, ApertureShape::Rectangle, 0.06,  0.03},
      {"14 16 0.07 0.00",           14, ApertureShape::Octagon,   0.07,  0.0},
      {"15 3 0.09 0.045",           15, ApertureShape::Oblong,    0.09,  0.045},
      {"15 4 0.09 0.045",           15, ApertureShape::Oblong,    0.09,  0.045},
      {"20 5 0.06 0.04 0.03",       20, ApertureShape::Thermal,   0.06,  0.03},
      {"20 5 0.06 0.04",            20, ApertureShape::Thermal,   0.06,  0.04},
      {"20 5 0.06 0.04 abc",        20, ApertureShape::Thermal,   0.06,  0.04},
      {"21 6 0.05 0.05",            21, ApertureShape::Target,    0.05,  0.0},
      {"22 14 0.05 0.01",           22, ApertureShape::Custom,    0.05,  0.05},
      // Fields are separated by one or more spaces; leading spaces are skipped.
      {"   30    0    0.1   0.2",   30, ApertureShape::Round,     0.1,   0.2},
      {"31 0 10 1e-3",              31, ApertureShape::Round,     10.0,  0.001},
      // The D code is field 1 rounded, halves to even.
      {"40.6 0 0.01 0.01",          41, ApertureShape::Round,     0.01,  0.01},
      {"42.5 0 0.01 0.01",          42, ApertureShape::Round,     0.01,  0.01},
      {"9995-99999 0 0.01 0.01",    9999, ApertureShape::Round,   0.01,  0.01},
      // clang-format on
  };
  for (const auto& c : cases) {
    ApertureTable table = load(kHeader + c.line + "\r\n" + kTrailerLoad + "}\r\n");
    const Aperture* a = table.find(c.dCode);
    ASSERT_NE(a, nullptr) << c.line;
    EXPECT_EQ(std::tuple(a->Kind, a->Shape, a->Aux), std::tuple(ApertureKind::File, c.shape, 0.0))
        << c.line;
    EXPECT_DOUBLE_EQ(a->SizeX, c.sizeX) << c.line;
    EXPECT_DOUBLE_EQ(a->SizeY, c.sizeY) << c.line;
  }
}

TEST(ApertureFileTest, HeaderLineSetsCentimetreUnits) {
  for (const char* header : {"2 3 12", "2 3 15"}) {
    ApertureTable table =
        load(std::string("[<4\r\nin.pho\r\n") + header + "\r\n10 0 0.254 0.254\r\n");
    ASSERT_NE(table.find(10), nullptr);
    EXPECT_DOUBLE_EQ(table.find(10)->SizeX, 0.1) << header;
  }
  EXPECT_DOUBLE_EQ(load("2 3 11\r\n10 0 0.254 0.254\r\n").find(10)->SizeX, 0.254);
}

TEST(ApertureFileTest, WhereTheTableStartsAndEnds) {
  // D code 5 and shape code 7 are passed over before the table...
  ApertureTable before = load(kHeader + "5 0 0.01 0.01\r\n10 7 0.05 0.05\r\n10 0 0.02 0.02\r\n");
  ASSERT_NE(before.find(10), nullptr);
  EXPECT_EQ(before.find(10)->Shape, ApertureShape::Round);
  EXPECT_EQ(before.find(5), nullptr);
  // ...and end the load after it.
  for (const char* stop : {"10 7 0.05 0.05", "5 0 0.01 0.01", "0", "10000 0 0.1 0.1"}) {
    ApertureTable after = load(kHeader + "10 0 0.02 0.02\r\n" + stop + "\r\n" + kTrailerLoad);
    EXPECT_EQ(after.definedCodes(), std::vector<int>{10}) << stop;
  }
  // A reversed range defines nothing but starts the table.
  EXPECT_TRUE(load("20-10 0 0.01 0.01\r\n5 0 0 0\r\n").definedCodes().empty());
}

// Text that is not an aperture file, or lines that would read as something
// other than they say, are refused naming the file and line.
TEST(ApertureFileTest, RefusalsNameFileAndLine) {
  const struct {
    std::string text;
    const char* message;
  } cases[] = {
      // clang-format off
      {kHeader + "10 x 0.01 0.01\r\n",      "test.Env:4: shape code 'x' is not an integer"},
      {kHeader + "10 0\r\n",                "test.Env:4: shape code '' is not an integer"},
      {kHeader + "2 three 11\r\n",          "test.Env:4: header field 'three'"},
      {kHeader + "10-2x 0 0.01 0.01\r\n",   "test.Env:4: range end '2x'"},
      {kHeader + "31 0 0.254\r\n",          "test.Env:4: no size"},
      {kHeader + "32 2 x 0.03mm\r\n",       "test.Env:4: size 'x' is not a number"},
      {kHeader + "33 0 -0.1 0.1\r\n",       "test.Env:4: size -0.1 is negative"},
      {kHeader + "34 0 10.5 0.1\r\n",       "test.Env:4: size 10.5 is over 10 inches"},
      {"2 3 12\r\n35 0 25.5 25.5\r\n",      "test.Env:2: size 25.5 is over 10 inches"},
      {kHeader + "20 5 0.06 0.04 -0.03\r\n", "test.Env:4: size -0.03 is negative"},
      // Lines after the end of the table would be lost.
      {kHeader + "10 0 0.02 0.02\r\n0\r\n11 0 0.02 0.02\r\n",
       "test.Env:5: this line ends the aperture table, but line 6 defines apertures"},
      {"10 0 0.254 0.254\r\n2 3 12\r\n11 0 0.254 0.254\r\n", "test.Env:2: this line ends"},
      // Garbage, nothing, and some other file.
      {kHeader + "10 0 0.02 \x01\x02\r\n",  "test.Env:4: not an aperture file (binary data)"},
      {"",                                    "test.Env: the aperture file is empty"},
      {" \r\n\t\r\n",                        "test.Env: the aperture file is empty"},
      {"%FSLAX24Y24*%\r\nX100Y100D03*\r\nM02*\r\n", "test.Env: not an aperture file"},
      // clang-format on
  };
  for (const auto& c : cases) test::expectError<FormatError>([&] { load(c.text); }, c.message);
}

TEST(ApertureFileTest, LineEndsAndLongLines) {
  ApertureTable table = load("10 0 0.01 0.01\n11 0 0.02 0.02\r12 0 0.03 0.03");
  EXPECT_EQ(table.definedCodes(), (std::vector<int>{10, 11, 12}));
  // Lines are cut at 255 characters: a fifth field beyond that is not read.
  std::string longLine = "20 5 0.06 0.04" + std::string(250, ' ') + "0.03";
  EXPECT_DOUBLE_EQ(load(longLine).find(20)->SizeY, 0.04);
}

TEST(ApertureFileTest, FileReplacesDefinitionsOfTheSameDCodes) {
  std::filesystem::path env = test::tempDir() / "layer.Env";
  test::writeFile(env, kHeader + "11 1 0.04 0.01\r\n" + kTrailerLoad + "}\r\n");
  GerberReader reader;
  reader.FileName = "layer.gbr";
  reader.loadBytes("%ADD10C,0.01*%%ADD11C,0.02*%");
  reader.computeExtents();
  reader.parseDefinitions();
  LoadApertureFile(reader, env.string());
  EXPECT_EQ(reader.Apertures.find(10)->Kind, ApertureKind::Standard);
  const Aperture* d11 = reader.Apertures.find(11);
  EXPECT_EQ(std::tuple(d11->Kind, d11->Modifiers), std::tuple(ApertureKind::File, ""));
  EXPECT_DOUBLE_EQ(d11->SizeY, 0.04);
  // An empty name or a missing file leaves the records alone, without a message.
  LoadApertureFile(reader, "");
  LoadApertureFile(reader, (test::tempDir() / "missing.Env").string());
  EXPECT_EQ(reader.Apertures.definedCodes(), (std::vector<int>{10, 11}));
  // A drawing without the aperture file its layer names would be wrong.
  EXPECT_THROW(apertureFileLoader((test::tempDir() / "missing.Env").string())(reader.Apertures),
               IoError);
}

// Saving
// ============================================================================

ApertureTableRow row(ApertureKind kind, ApertureShape shape, double dlx, double dly) {
  return {kind, shape, dlx, dly, 0.0, ""};  // no angle, no name
}

TEST(SaveApertureFileTest, EmptyTableIsHeaderAndTrailerAndLoadsAsNothing) {
  std::filesystem::path file = test::tempDir() / "empty.Env";
  SaveApertureFile(WorkingApertureTable{}, file.string());
  EXPECT_EQ(test::readFile(file), kHeader + kTrailerLoad + "}\r\n");
  ApertureTable table;
  LoadApertureFile(table, file.string());
  EXPECT_TRUE(table.definedCodes().empty());
}

TEST(SaveApertureFileTest, WhichRowsAreWrittenAndHow) {
  WorkingApertureTable t;
  t.row(10) = row(ApertureKind::File, ApertureShape::Round, 20.0, 20.0);
  t.row(11) = row(ApertureKind::Standard, ApertureShape::Square, 40.0, 40.0);     // unedited
  t.row(12) = row(ApertureKind::Standard, ApertureShape::Rectangle, 60.0, 30.0);  // edited
  t.markEdited(12);
  t.row(13) = row(ApertureKind::Macro, ApertureShape::Custom, 0.0, 0.0);
  t.markEdited(13);
  t.row(14) = row(ApertureKind::File, ApertureShape::Custom, 5.0, 5.0);
  t.row(15) = row(ApertureKind::File, ApertureShape::Octagon, 70.0, 0.0);
  t.row(16) = row(ApertureKind::File, ApertureShape::Thermal, 60.0, 30.0);
  t.row(17) = row(ApertureKind::File, ApertureShape::Target, 50.0, 0.0);
  t.row(18) = row(ApertureKind::File, ApertureShape::Oblong, 90.0, 45.0);
  t.markEdited(19);  // edited but None
  t.row(999) = row(ApertureKind::File, ApertureShape::Round, 1.0, 1.0);
  EXPECT_EQ(apertureFileText(t), kHeader +
                                     "10 0  0.02000 0.02000\r\n"
                                     "12 2  0.06000 0.03000\r\n"
                                     "15 16  0.07000 0.00000\r\n"
                                     "16 5  0.06000 0.03000\r\n"
                                     "17 6  0.05000 0.00000\r\n"
                                     "18 3  0.09000 0.04500\r\n"
                                     "999 0  0.00100 0.00100\r\n" +
                                     kTrailerLoad + "}\r\n");
}

TEST(SaveApertureFileTest, SavedTableLoadsBackAsTheSameApertures) {
  WorkingApertureTable t;
  t.row(10) = row(ApertureKind::File, ApertureShape::Round, 8.0, 8.0);
  t.row(11) = row(ApertureKind::File, ApertureShape::Thermal, 60.0, 30.0);
  // A size of 10 inches fills its field: it still reads back as two sizes.
  t.row(12) = row(ApertureKind::File, ApertureShape::Rectangle, 10000.0, 10000.0);
  std::filesystem::path file = test::tempDir() / "round-trip.Env";
  test::writeFile(file, "old contents");
  SaveApertureFile(t, file.string());
  EXPECT_EQ(std::filesystem::directory_iterator(file.parent_path())->path(),
            file);  // no temporary left
  ApertureTable loaded;
  LoadApertureFile(loaded, file.string());
  WorkingApertureTable back = buildApertureTable(loaded);
  for (int d : {10, 11, 12}) {
    EXPECT_EQ(back.row(d).Shape, t.row(d).Shape) << d;
    EXPECT_NEAR(back.row(d).DLX, t.row(d).DLX, 1e-6) << d;
    EXPECT_NEAR(back.row(d).DLY, t.row(d).DLY, 1e-6) << d;
  }
  EXPECT_FALSE(back.edited(10));
}

TEST(SaveApertureFileTest, RefusedSavesWriteNothing) {
  std::string target = (test::tempDir() / "no-such-dir" / "x.Env").string();
  test::expectError<IoError>([&] { SaveApertureFile(WorkingApertureTable{}, target); }, target);
  // A size its own load would refuse is not saved.
  std::filesystem::path file = test::tempDir() / "big.Env";
  test::writeFile(file, "old contents");
  WorkingApertureTable t;
  t.row(12) = row(ApertureKind::File, ApertureShape::Round, 12000.0, 12000.0);
  test::expectError<FormatError>([&] { SaveApertureFile(t, file.string()); },
                                 "D12: size 12000.00 mils");
  EXPECT_EQ(test::readFile(file), "old contents");
}

}  // namespace
}  // namespace drumplot
