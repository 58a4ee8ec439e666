// SPDX-License-Identifier: MIT
// Foreign aperture list conversions, line by line, and on the corpus lists.
#include "apertures/aperture_list_conversion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "apertures/aperture_file.h"
#include "engine/errors.h"
#include "engine/layer_renderer.h"
#include "engine/raster_test_support.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

const std::string kHeader = "[<4\r\nin.pho\r\n2 3 11\r\n";
const std::string kTrailer = "0\r\n0\r\n18688 20736 20224\r\n1.0 1.0 0.0005\r\n0 0\r\n]\r\n";

// The aperture lines of a converted file, without header and trailer.
std::vector<std::string> apertureLines(const ApertureListConversion& result) {
  EXPECT_EQ(result.text.substr(0, kHeader.size()), kHeader);
  EXPECT_GE(result.text.size(), kHeader.size() + kTrailer.size());
  EXPECT_EQ(result.text.substr(result.text.size() - kTrailer.size()), kTrailer);
  std::string body =
      result.text.substr(kHeader.size(), result.text.size() - kHeader.size() - kTrailer.size());
  std::vector<std::string> lines;
  std::istringstream in(body);
  for (std::string line; std::getline(in, line);) {
    EXPECT_EQ(line.back(), '\r');
    lines.push_back(line.substr(0, line.size() - 1));
  }
  EXPECT_EQ(lines.size(), result.apertureLines);
  return lines;
}

std::vector<std::string> convert(const std::string& source, ApertureListType type) {
  return apertureLines(convertApertureList(source, type, "list"));
}

using Lines = std::vector<std::string>;

TEST(ApertureListConversionTest, IsoCam) {
  EXPECT_EQ(convert("D10 ROUND 0.010 0.010\r\nd12 rectangle 0.060 0.030\r\n12 SQUARE 0.05\r\n"
                    "D13 OBLONG 0.09 X 0.045 inch\r\nD0014 ANNULUS 0.08 0.04\r\n"
                    "D15 ROUNDED 0.01 0.01\r\n"  // not a shape word of the list
                    "D16 THERMAL 0.06 0.04\r\n"
                    "D5 ROUND 0.01 0.01\r\n"  // D codes below 10 and above 9999 are skipped
                    "10000 ROUND 0.01 0.01\r\nNO NUMBER HERE\r\n",
                    ApertureListType::IsoCam),
            (Lines{"10 0 0.010 0.010", "12 2 0.060 0.030", "12 2 0.05 0.05", "13 3 0.09 0.045",
                   "0014 0 0.08 0.04"}));
}

TEST(ApertureListConversionTest, Ecam) {
  ApertureListConversion result = convertApertureList(
      "! GAPFile Version 1.0\n"
      "D11 ROUND 20.00 0.508 0.00 0.000\nD12 SQUARE 24.00 0.610 0.00 0.000\n"
      "D13 OCTAGON 50.00 1.270 0.00 0.000\nD14 RECTANGLE 60.00 1.524 30.00 0.762\n"
      "D15 OBLONG 90 2.286 45 1.143\nD16 DONUT 80 0 40 0\n"
      "D17 TARGET 50 0 10 0\nD18 THERMAL 60 0 30 0\n"
      "D19 ANNULUS 80 0 40 0\n"  // GC-CAM's word, not ECAM's
      "D20 CUSTOM 10 0 0 0\nD21 custom 10 0 0 0\n"
      "D5 CUSTOM 10 0 0 0\n",  // outside 10..9999: not in the CUSTOM list either
      ApertureListType::Ecam, "list.gap");
  EXPECT_EQ(apertureLines(result),
            (Lines{"11 0  0.0200  0.0200", "12 1  0.0240  0.0240", "13 16  0.0500 0.00",
                   "14 2  0.0600  0.0300", "15 3  0.0900  0.0450", "16 0  0.0800  0.0400",
                   "17 6  0.0500  0.0500", "18 5  0.0600  0.0300"}));
  EXPECT_EQ(result.customMessage(), "Aperture : 20,21, is defined as CUSTOM");
}

TEST(ApertureListConversionTest, GcCam) {
  ApertureListConversion result = convertApertureList(
      "GC-CAM aperture list\n"
      "D 11 ROUND 0.508 MM\n"  // before the CODE line: passed over
      "No Pos Type Tool CODE SHAPE SIZE UNIT\n1 a b c D11 ROUND 0.508 MM x 0.508 MM\n"
      "2 a b c 12 SQUARE 24 MIL x 0 MIL\n3 a b c D13 RECTANGLE 0.06 \" x 0.03 \"\n"
      "4 a b c D14 DRAW 8 mil\n5 a b c D15 ANNULUS 80 MIL x 40 MIL\n"
      "6 a b c D16 DONUT 80 MIL x 40 MIL\n"  // ECAM's word, not GC-CAM's
      "7 a b c D17 OCTAGON 50 MIL x 1 CM\n"  // a unit is looked at only where a size is used
      "9 a b c D0020 CUSTOM 1 MM\n10 a b c D21 CUSTOM 1 MM\n11 a b c D10000 ROUND 1 MM\n"
      "12\ta b c D22 ROUND 1 MM\n",  // the tab is removed: "12a" is one token
      ApertureListType::GcCam, "list.lst");
  EXPECT_EQ(apertureLines(result),
            (Lines{"11 0  0.0200  0.0200", "12 1  0.0240  0.0240", "13 2  0.0600  0.0300",
                   "14 0  0.0080  0.0080", "15 0  0.0800  0.0400", "17 16  0.0500 0.00"}));
  EXPECT_EQ(result.customMessage(), "Aperture : 20,21, is defined as CUSTOM");
}

TEST(ApertureListConversionTest, Polski) {
  EXPECT_EQ(convert("Apertury\n1 ROUND D10 !200! x\n2 square D11 !500!\n"
                    "4 THERMAL D12 !200!\n"  // neither ROUND nor SQUARE
                    "5 ROUND 12 !200!\n",    // no " D"
                    ApertureListType::Polski),
            (Lines{"10 0 0.02000  0.0200", "11 1 0.05000  0.0500"}));
}

// A list that would give an aperture file its reader refuses (or none) is
// refused, naming the file and the line; nothing is produced.
TEST(ApertureListConversionTest, RefusalsNameTheFileAndLine) {
  using T = ApertureListType;
  const struct {
    ApertureListType type;
    const char* source;
    const char* message;
  } cases[] = {
      // clang-format off
      {T::IsoCam, "x\nD10 ROUND 0.05\n",               "b.lst:2: no size"},
      {T::IsoCam, "D10 RECTANGLE 1.2.3 0.1\n",         "b.lst:1: size '1.2.3' is not a number"},
      {T::IsoCam, "D10 OBLONG 0.05 12.5\n",            "b.lst:1: size 12.5 is over 10 inches"},
      {T::Ecam,   "D22 ROUND 1.2.3 0 0 0\n",           "b.lst:1: size '1.2.3' is not a number"},
      {T::Ecam,   "D14 RECTANGLE 60\n",                "b.lst:1: no size"},
      {T::Ecam,   "D11 ROUND 20000 0 0 0\n",           "b.lst:1: size 20000 is over 10 inches"},
      {T::GcCam,  "CODE\n1 a b c D18 THERMAL 60 MIL x 30 CM\n", "b.lst:2: size 30 in 'CM'"},
      {T::GcCam,  "CODE\n1 a b c D11 ROUND X MM\n",    "b.lst:2: size 'X' is not a number"},
      {T::Polski, "t\nROUND DX !200!\n",               "b.lst:2: D code after \" D\" is not a number"},
      {T::Polski, "ROUND D10 !2x0!\n",                 "b.lst:1: size '2X0' is not a number"},
      {T::Polski, "ROUND D10 200\n",                   "b.lst:1: size '' is not a number"},
      {T::Polski, "SQUARE D99999999999999999999 !1!\n", "b.lst:1: D code after"},
      {T::Polski, "ROUND D5 !500!\n",                  "b.lst:1: D code 5 is not one of 10 to 9999"},
      {T::Polski, "ROUND D10 !-5!\n",                  "b.lst:1: size -5 is negative"},
      {T::Polski, "ROUND D10 !200000!\n",              "b.lst:1: size 200000 is over 10 inches"},
      // Garbage, nothing, and a list of another kind.
      {T::IsoCam, "D10 ROUND\n\x01\x02\xff\x00 0.1\n", "b.lst:2: not an aperture list (binary data)"},
      {T::Polski, " \r\n\r\n",                         "b.lst: the aperture list is empty"},
      {T::Ecam,   "1 ROUND D10 !200!\n",              "no aperture found in it as an ECAM list"},
      {T::GcCam,  "CODE\n1 a b c D20 CUSTOM 1 MM\n",  "GC-CAM list; is it one? (Aperture : 20, is defined as CUSTOM)"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    test::expectError<FormatError>([&] { convertApertureList(c.source, c.type, "b.lst"); },
                                   c.message);
  }
}

TEST(ApertureListConversionTest, FileConversionWritesNothingOnFailure) {
  std::filesystem::path dir = test::tempDir();
  std::string source = (dir / "board.apt").string();
  test::writeFile(source, "ROUND D10 !200!\r\nROUND D11 !x!\r\n");
  std::string target = convertedApertureFileName(source);
  EXPECT_EQ(target, source + ".Env");
  EXPECT_THROW(convertApertureListFile(source, ApertureListType::Polski, target), FormatError);
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_THROW(
      convertApertureListFile((dir / "missing.apl").string(), ApertureListType::IsoCam, target),
      IoError);
  test::writeFile(source, "ROUND D10 !200!\r\n");
  EXPECT_EQ(convertApertureListFile(source, ApertureListType::Polski, target).apertureLines, 1u);
  ApertureTable table;
  LoadApertureFile(table, target);
  ASSERT_NE(table.find(10), nullptr);
  EXPECT_DOUBLE_EQ(table.find(10)->SizeX, 0.02);
}

TEST(ApertureListConversionTest, ImportActionByFilterAndConverterFlag) {
  EXPECT_EQ(apertureImportAction(0, false), ApertureImportAction::AttachUnchanged);
  for (int i = 1; i <= 4; ++i)
    EXPECT_EQ(apertureImportAction(i, false), ApertureImportAction::ConvertList);
  EXPECT_EQ(apertureImportAction(5, true), ApertureImportAction::ExternalConverter);
  EXPECT_EQ(apertureImportAction(5, false), ApertureImportAction::ClearEntry);
  EXPECT_EQ(apertureImportAction(2, true), ApertureImportAction::ClearEntry);
  EXPECT_EQ(apertureListTypeFromName("gccam"), ApertureListType::GcCam);
  EXPECT_EQ(apertureListTypeFromName("env"), std::nullopt);
}

// The corpus
// ============================================================================

std::filesystem::path corpusFile(const std::string& localPath) {
  std::filesystem::path dir = test::corpusDir();
  if (dir.empty() || !std::filesystem::exists(dir / localPath)) return {};
  return dir / localPath;
}

// A CAM350 list through the ECAM conversion, then the RS-274-D layer it
// belongs to drawn with the converted file.
TEST(ApertureListCorpusTest, CamThreeFiftyListDrawsItsRsTwoSevenFourDLayer) {
  std::filesystem::path gap = corpusFile("gerbv/example/ekf/ekf.gap");
  std::filesystem::path off = corpusFile("gerbv/example/ekf/l1.off");
  if (gap.empty() || off.empty()) GTEST_SKIP() << "corpus absent";
  std::string env = (test::tempDir() / "ekf.gap.Env").string();
  ApertureListConversion result =
      convertApertureListFile(gap.string(), ApertureListType::Ecam, env);
  // Every ROUND and SQUARE line; the three title lines give none.
  EXPECT_EQ(result.apertureLines, 199u);
  EXPECT_EQ(result.customMessage(), "");
  ApertureTable table;
  LoadApertureFile(table, env);
  // clang-format off
  struct { int d; ApertureShape shape; double inches; } expected[] = {
      {10,  ApertureShape::Round,  0.004}, {18, ApertureShape::Round, 0.020},
      {40,  ApertureShape::Round,  0.205}, {71, ApertureShape::Square, 0.024},
      {99,  ApertureShape::Square, 0.394}, {101, ApertureShape::Square, 0.020}};
  // clang-format on
  for (const auto& e : expected) {
    const Aperture* a = table.find(e.d);
    ASSERT_NE(a, nullptr) << e.d;
    EXPECT_EQ(a->Shape, e.shape) << e.d;
    EXPECT_DOUBLE_EQ(a->SizeX, e.inches) << e.d;
    EXPECT_DOUBLE_EQ(a->SizeY, e.inches) << e.d;
  }
  EXPECT_EQ(table.definedCodes().size(), 199u);

  LayerRenderer layer;
  layer.setFileName(off.string());
  layer.loadAndPrescan();
  layer.readApertures(apertureFileLoader(env));
  layer.makeStamps();
  // Every D code the layer selects ("D012*") has its aperture from the list.
  const GerberReader& reader = layer.reader();
  std::set<int> selected;
  for (size_t i = 0; i < reader.Statements.size(); ++i) {
    std::string_view s = reader.Statements[i];
    if (s.size() < 3 || s[0] != 'D' || s.find_first_not_of("0123456789", 1) != s.size() - 1)
      continue;
    int d = std::stoi(std::string(s.substr(1)));
    if (d < 10) continue;
    selected.insert(d);
    const Aperture* a = reader.Apertures.find(d);
    ASSERT_NE(a, nullptr) << s;
    EXPECT_EQ(a->Kind, ApertureKind::File) << s;
  }
  EXPECT_EQ(selected.size(), 46u);
  // D18, round 20 mils, flashed at 1000 dpi covers about pi x 10 x 10 pixels.
  BandBitmap band(64, 64);
  band.fill(kWhite);
  Canvas canvas(band);
  ASSERT_TRUE(layer.shapes(1000.0).flash(canvas, 18, 0.032, 0.032, kBlack).has_value());
  EXPECT_NEAR(static_cast<double>(test::exposedCount(band)), 314.0, 30.0);
}

TEST(ApertureListCorpusTest, TargetListThroughTheIsoCamConversionCopiesSizeTexts) {
  std::filesystem::path apr =
      corpusFile("gerbonara/tests/resources/Target3001/IRNASIoTbank1.2.Apr");
  if (apr.empty()) GTEST_SKIP() << "corpus absent";
  ApertureListConversion result =
      convertApertureList(test::readFile(apr), ApertureListType::IsoCam, apr.string());
  std::vector<std::string> lines = apertureLines(result);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "10 0 0.1500 0.1500");  // millimetres copied as they stand
  EXPECT_EQ(lines[1], "11 0 0.0000 0.0000");
}

TEST(ApertureListCorpusTest, PolskiConversionOfAForeignListStopsAtTheFirstBadLine) {
  // ekf_08.apt is a German table: its "round ... DRAW" lines hold " D" without digits.
  std::filesystem::path apt = corpusFile("gerbv/example/ekf/ekf_08.apt");
  if (apt.empty()) GTEST_SKIP() << "corpus absent";
  std::string target = (test::tempDir() / "ekf_08.apt.Env").string();
  test::expectError<FormatError>(
      [&] { convertApertureListFile(apt.string(), ApertureListType::Polski, target); },
      "ekf_08.apt:26:");
  EXPECT_FALSE(std::filesystem::exists(target));
}

TEST(ApertureListCorpusTest, EveryListThroughEveryConversionGivesALoadableFileOrAnErrorNamingIt) {
  size_t lists = 0;
  for (const test::CorpusEntry& entry : test::corpusEntries()) {
    if (entry.kind != "aperture-list") continue;
    std::filesystem::path path = corpusFile(entry.localPath);
    if (path.empty()) continue;
    ++lists;
    std::string source = test::readFile(path);
    for (ApertureListType type : {ApertureListType::IsoCam, ApertureListType::Ecam,
                                  ApertureListType::GcCam, ApertureListType::Polski}) {
      ApertureListConversion result;
      try {
        result = convertApertureList(source, type, entry.localPath);
      } catch (const FormatError& e) {
        EXPECT_EQ(std::string(e.what()).rfind(entry.localPath, 0), 0u) << e.what();
        continue;
      }
      ApertureTable table;
      EXPECT_NO_THROW(loadApertureText(result.text, table, "converted.Env")) << entry.localPath;
    }
  }
  if (lists == 0) GTEST_SKIP() << "corpus absent";
}

}  // namespace
}  // namespace drumplot
