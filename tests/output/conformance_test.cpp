// SPDX-License-Identifier: MIT
// Renders of the corpus's Gerber files against the reference images that
// came with them: XOR, erode by 2 pixels, count what is left. One case per
// file; a file's residual may not grow past what the table below allows,
// and every residual that is not 0 says why.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>

#include "engine/gerber_reader.h"
#include "engine/interpreter.h"
#include "output/image_compare.h"
#include "output/layer_render.h"
#include "support/test_support.h"

namespace drumplot {
namespace {

constexpr double kMargin = 0.25;

// What a file's render may differ from its reference by, and why. Files not
// listed must match exactly. `trusted` is false where the reference shows
// the file other than the Gerber standard draws it; the evidence is given.
struct Allowance {
  uint64_t residual;
  bool trusted;
  const char* reason;
};

const std::map<std::string, Allowance>& allowances() {
  static const std::map<std::string, Allowance> table = {
      // Framed on the unmirrored extents (-4.08 .. 17.72 inch) though %MIA1B0 mirrors x.
      {"gerbonara/tests/resources/allegro/assy2.art", {1704, false, "reference ignores %MIA1B0"}},
      // Pixel rounding along a diagonal clearance two pixels wide at 500 dpi.
      {"gerbonara/tests/resources/altium-composite-drill/Gerber/LimeSDR-QPCIe_1v2.GTL",
       {4, true, "rounding of a 2-pixel clearance"}},
      // %SRX2Y3I4.000J3.000*% lasts until M02* (2 x 3 copies), not until %LNcomponent*%.
      {"gerbv/example/dan/top_sr.gbx", {3738433, false, "reference ends step and repeat at %LN"}},
      // %IPNEG: we invert the margin too, the reference a box around the data only.
      {"gerbv/example/numpres/numpres.pcb.output_soldermask.grb",
       {407988, true, "negative layer: the whole picture is inverted"}},
      // G03 with D10 = R,0.050X0.025: drawn with the round pen of the larger side.
      {"gerbv/test/inputs/test-aperture-rectangle-1.gbx",
       {1861, false, "arcs with a rectangle aperture are undefined"}},
      // Both G74 arcs end off their circles (radii 0.100 / 0.073 and 0.335 / 0.304 inch).
      {"gerbv/test/inputs/test-circular-interpolation-1.gbx",
       {10104, false, "arcs whose radii disagree are undefined"}},
      // %IJACBC: the reference moves the cross hair (+1, +1) inch out of its frame.
      {"gerbv/test/inputs/test-image-justify-2.gbx", {299849, false, "reference cuts its image"}},
      // %KO knockout is optional and not drawn.
      {"gerbv/test/inputs/test-layer-knockout-1.gbx", {8758460, true, "%KO is not supported"}},
      {"gerbv/test/inputs/test-layer-knockout-2.gbx", {15758453, true, "%KO is not supported"}},
      // %MIA1B1 mirrors both axes ("the star should point towards -X, -Y").
      {"gerbv/test/inputs/test-layer-mirror-image-1.gbx", {125112, false, "reference ignores %MI"}},
      // Corner circles at -$5+$3 = -0.5 mm; the reference reads -($5+$3).
      {"pygerber/test/assets/gerberx3/expressions/AM/rounded-rect-0.grb",
       {10686, false, "reference misreads -$5+$3"}},
      // The reference frames on end points not at 0 and cuts the caps at y = 0.
      {"pygerber/test/assets/gerberx3/line/diagonal_3.0x2.0.grb",
       {86, false, "reference frame cuts the line caps"}},
      // %ABD12 flashed four times under %LM, %LR, %LS: image.png beside the file shows all four.
      {"pygerber/test/assets/gerberx3/ucamco/4.9.6/source.grb",
       {13372, false, "reference ignores %AB"}},
      {"pygerber/test/assets/gerberx3/ucamco/4.9.6/source_1.grb",
       {11691, false, "reference ignores %AB"}},
      {"pygerber/test/assets/gerberx3/ucamco/4.9.6/source_2.grb",
       {11779, false, "reference ignores %AB"}},
      {"pygerber/test/assets/gerberx3/ucamco/4.9.6/source_3.grb",
       {6899, false, "reference ignores %AB"}},
      {"pygerber/test/assets/gerberx3/ucamco/4.9.6/source_no_ld_rot.grb",
       {13372, false, "reference ignores %AB"}},
      // The logo is flashes of 1-mil-high rectangles (R,0.0290X0.0010 and others).
      {"tracespace/packages/fixtures/boards/bus-pirate/BusPirate-v3.6a-SSOP.pls",
       {175315, false, "reference drops 1-mil rectangles"}},
      // The reference frames on end points, leaving out the triangle pad at (0, 0).
      {"tracespace/packages/fixtures/gerbers/pads/polygon.gbr",
       {79609, false, "reference frame cuts the pad at (0, 0)"}},
  };
  return table;
}

std::vector<test::CorpusEntry> referencedFiles() {
  std::vector<test::CorpusEntry> files;
  for (const auto& e : test::corpusEntries()) {
    if (e.goldenPng.empty() || e.goldenDpi <= 0) continue;
    if (e.kind == "gerber-274x" || e.kind == "gerber-274d") files.push_back(e);
  }
  return files;
}

class ConformanceTest : public testing::TestWithParam<test::CorpusEntry> {};

TEST_P(ConformanceTest, RenderMatchesItsReference) {
  const test::CorpusEntry& e = GetParam();
  RenderOptions options;
  options.gerberFile = (test::corpusDir() / e.localPath).string();
  options.dpi = e.goldenDpi;
  options.margin = kMargin;
  options.asPlotted = true;  // the references grow Y downwards
  GerberReader probe;
  probe.FileName = options.gerberFile;
  probe.prepare();
  MonoImage render = renderLayer(options);
  options.bandRows = 32;
  EXPECT_EQ(renderLayer(options).bits, render.bits) << "bands of 32 rows differ";

  MonoImage reference = readPng(test::corpusDir() / e.goldenPng);
  // The render's top-left pixel corner is the reach's corner less the margin.
  LayerReach reach = measureReach(probe, e.goldenDpi);
  if (reach.empty) reach = {probe.MinX, probe.MinY, probe.MaxX, probe.MaxY, false};
  const double x0 = renderOrigin(probe.MinX, reach.minX, kMargin, e.goldenDpi);
  const double y0 = renderOrigin(probe.MinY, reach.minY, kMargin, e.goldenDpi);
  auto shiftX = static_cast<int64_t>(std::nearbyint((x0 - e.originX) * e.goldenDpi));
  auto shiftY = static_cast<int64_t>(std::nearbyint((y0 - e.originY) * e.goldenDpi));
  MonoImage residual;
  ImageDifference d = compareImages(render, reference, shiftX, shiftY, 2, &residual);
  // For a closer look: DRUMPLOT_CONFORMANCE_DIR=folder keeps the render and
  // the residual of every file that has one.
  if (const char* dir = std::getenv("DRUMPLOT_CONFORMANCE_DIR"); dir && d.residual > 0) {
    std::string name = e.localPath;
    for (char& c : name) c = c == '/' ? '_' : c;
    writePng(std::filesystem::path(dir) / (name + ".render.png"), render);
    writePng(std::filesystem::path(dir) / (name + ".residual.png"), residual);
  }
  auto allowed = allowances().find(e.localPath);
  const uint64_t limit = allowed == allowances().end() ? 0 : allowed->second.residual;
  EXPECT_LE(d.residual, limit) << e.localPath
                               << (allowed == allowances().end() ? "" : allowed->second.reason);
}

std::string caseName(const testing::TestParamInfo<test::CorpusEntry>& info) {
  std::string name;
  for (char c : info.param.localPath) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, ConformanceTest, testing::ValuesIn(referencedFiles()), caseName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ConformanceTest);

// Of the files whose reference shows what the standard draws, at least 97%
// match exactly.
TEST(ConformanceTableTest, TrustedReferencesMatchExactly) {
  const auto files = referencedFiles();
  if (files.empty()) GTEST_SKIP() << "corpus absent";
  size_t trusted = 0, exact = 0;
  for (const auto& e : files) {
    auto allowed = allowances().find(e.localPath);
    if (allowed != allowances().end() && !allowed->second.trusted) continue;
    ++trusted;
    if (allowed == allowances().end()) ++exact;
  }
  EXPECT_GE(exact * 100, trusted * 97) << exact << " of " << trusted;
}

}  // namespace
}  // namespace drumplot
