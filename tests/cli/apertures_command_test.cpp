// SPDX-License-Identifier: MIT
// drumplot-cli apertures convert | show.
#include "cli/apertures_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "engine/errors.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

const std::string kDemo = std::string(DRUMPLOT_SOURCE_DIR) + "/examples/demo/";

std::string show(const std::string& gerber, const std::string& apertures, bool all = false) {
  std::ostringstream out;
  runAperturesShow({gerber, apertures, DataFormat{}, all}, out);
  return out.str();
}

TEST(AperturesCommandTest, ShowsTheSilkLayerWithItsApertureFile) {
  EXPECT_EQ(show(kDemo + "demo-silk.pho", kDemo + "demo-silk.Env"),
            "D-code  Shape              X         Y  Rotation/Int.Dia.  Custom Name\n"
            "10      Round           8.00      8.00               0.00  \n"
            "11      Square         40.00     40.00               0.00  \n"
            "12      Thermal        60.00     30.00               0.00  \n");
  // Without it the RS-274-D layer has no apertures; --all prints D10 to D999.
  std::string all = show(kDemo + "demo-silk.pho", "", true);
  EXPECT_NE(all.find("\n999     None"), std::string::npos);
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 991);
}

TEST(AperturesCommandTest, ConvertWritesBesideTheSourceOrFailsWithoutItsConverter) {
  std::filesystem::path dir = test::tempDir();
  std::string source = (dir / "board.gap").string(), other = (dir / "board.xyz").string();
  test::writeFile(source, "D11 ROUND 20 0 0 0\nD20 CUSTOM 1 0 0 0\n");
  test::writeFile(other, "anything");
  std::ostringstream out;
  runAperturesConvert({"ecam", source, ""}, out);
  EXPECT_EQ(out.str(), "Wrote " + source + ".Env: 1 aperture lines from " + source +
                           " (ecam)\nAperture : 20, is defined as CUSTOM\n");
  EXPECT_NE(test::readFile(source + ".Env").find("\r\n11 0  0.0200  0.0200\r\n"),
            std::string::npos);
  // The test program has no aptConv beside it.
  EXPECT_THROW(runAperturesConvert({"aptconv", other, ""}, out), IoError);
  EXPECT_FALSE(std::filesystem::exists(other + ".Env"));
}

}  // namespace
}  // namespace drumplot
