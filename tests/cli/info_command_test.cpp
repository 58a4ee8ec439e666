// SPDX-License-Identifier: MIT
// drumplot-cli info: the text and JSON reports, on the demo board and the corpus.
#include "cli/info_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "engine/errors.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

std::string info(const std::string& file, bool json, DataFormat preset = {}) {
  InfoOptions options;
  options.gerberFile = file;
  options.json = json;
  options.preset = preset;
  std::ostringstream out;
  runInfo(options, out, out);
  return out.str();
}

const std::string kDemo = std::string(DRUMPLOT_SOURCE_DIR) + "/examples/demo/";

TEST(InfoCommandTest, ReportsOfTheDemoLayers) {
  // The flash after the copies lands without their offset; the reach adds
  // the pads and the tracks' pen.
  std::string json = info(kDemo + "demo-bottom.gbr", true);
  for (const char* part :
       {"\"statements\":41",
        "\"format\":{\"int_digits\":2,\"dec_digits\":4,\"zero_suppression\":\"leading\",\"metric\":"
        "true,\"absolute\":true}",
        "\"extents\":{\"min_x\":0.3,\"min_y\":0.3,\"max_x\":1.6,\"max_y\":1.8,\"width\":1.3,"
        "\"height\":1.5},\"reach\":{\"min_x\":0.268,",
        "{\"d\":12,\"kind\":\"macro\",\"modifiers\":\"\",\"macro\":\"OUTLINE\",\"params\":[]}"}) {
    EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
  }
  // An RS-274-D layer is read with the preset format.
  std::string text = info(kDemo + "demo-silk.pho", false, parseFormatSpec("2.4,leading,abs,mm"));
  for (const char* part :
       {"Format:      2.4, leading zero suppression, absolute, mm", "Apertures:   0"})
    EXPECT_NE(text.find(part), std::string::npos) << text;
}

TEST(InfoCommandTest, MissingFileIsAnErrorAndASizeNoPlotCanMeanAWarning) {
  test::expectError<IoError>([] { info("/nonexistent/board.gbr", false); },
                             "/nonexistent/board.gbr");
  std::string huge = (test::tempDir() / "huge.gbr").string();
  test::writeFile(huge, "X1000Y1000D02*X99999999Y1000D01*M02*");
  EXPECT_EQ(
      info(huge, true).rfind("drumplot-cli: warning: " + huge + ": the data measures 99998.999", 0),
      0u);
}

// Every Gerber file of the shared corpus gets a report with finite numbers,
// and none expands past what a drawing takes.
TEST(InfoCommandTest, EveryCorpusGerberFileGivesFiniteExtents) {
  auto entries = test::corpusEntries();
  if (entries.empty()) GTEST_SKIP() << "corpus absent";
  int files = 0;
  for (const auto& e : entries) {
    if (e.kind != "gerber-274x" && e.kind != "gerber-274d") continue;
    ++files;
    std::string json = info((test::corpusDir() / e.localPath).string(), true);
    const std::string noBlock = "\"recursive_block\":null";
    ASSERT_NE(json.find(noBlock), std::string::npos) << e.localPath;
    json.erase(json.find(noBlock), noBlock.size());
    EXPECT_EQ(json.find("null"), std::string::npos) << e.localPath;
  }
  EXPECT_GT(files, 100);
}

}  // namespace
}  // namespace drumplot
