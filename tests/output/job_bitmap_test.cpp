// SPDX-License-Identifier: MIT
// The job bitmap: sizes, header bytes, row order, bands, refusals.
#include "output/job_bitmap.h"

#include <gtest/gtest.h>

#include "engine/errors.h"
#include "output/export_test_support.h"

namespace drumplot {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Pads at data points (0.1, 0.1) and (1.1, 1.1); the board at (0, 0)
// reaches one inch in both directions.
Job oneInchJob() {
  return test::oneBoardJob("inch.gbr", "%ADD10C,0.0200*%\nD10*\nX1000Y1000D03*\nX11000Y11000D03*\n",
                           0.0, 0.0);
}

JobBitmapSettings settingsFor(const fs::path& file) {
  JobBitmapSettings s;
  s.file = file;
  return s;
}

uint32_t le32(const std::string& b, size_t at) {
  auto byte = [&](size_t i) { return uint32_t{static_cast<uint8_t>(b[at + i])}; };
  return byte(0) | (byte(1) << 8) | (byte(2) << 16) | (byte(3) << 24);
}

TEST(JobBitmapTest, OneInchJobFileAndHeader) {
  const fs::path dir = test::tempDir();
  JobBitmapSettings s = settingsFor(dir / "Clip.Bmp");
  s.run.budgetBytes = 1000 * 1376 + 5;  // 1000 rows a band: 12 bands, the last of 8 rows
  JobBitmapSummary r = writeJobBitmap(oneInchJob(), s);
  EXPECT_EQ(std::tuple(r.plan.width_px, r.plan.height_px, r.plan.bands.rowsPerBand,
                       r.plan.bands.bandCount),
            std::tuple(11008, 11008, 1000, 12));
  EXPECT_EQ(r.plan.bands.band(11, BandOrder::TopDown), (BandSpan{11000, 8}));
  const std::string b = test::readFile(s.file);
  ASSERT_EQ(b.size(), 15147070u);
  EXPECT_EQ(b.substr(0, 2), "BM");
  // Planes and bits (1 | 1 << 16) at 26, 8192 pixels per inch at 38 and 42,
  // then the palette: black, white.
  // clang-format off
  const std::pair<size_t, uint32_t> fields[] = {
      {2, 15147070u}, {6, 0u}, {10, 62u}, {14, 40u}, {18, 11008u}, {22, 11008u},
      {26, 1u | (1u << 16)}, {30, 0u}, {34, 15147008u}, {38, 322520u}, {42, 322520u},
      {46, 2u}, {50, 0u}, {54, 0u}, {58, 0x00FFFFFFu}};
  // clang-format on
  for (auto [at, want] : fields) EXPECT_EQ(le32(b, at), want) << "at byte " << at;

  // Rows as drawn, the image's top row first: the board's corner is the
  // data point (0.1, 0.1), so the pads are centred on pixels (0, 0) and
  // (8192, 8192).
  auto exposed = [&](size_t x, size_t y) {
    return !((static_cast<uint8_t>(b[62 + y * 1376 + x / 8]) >> (7 - x % 8)) & 1);
  };
  EXPECT_TRUE(exposed(10, 10));
  EXPECT_TRUE(exposed(8192, 8192));
  EXPECT_FALSE(exposed(8192, 10));
  EXPECT_FALSE(exposed(10, 11007));

  // The literal way writes the same bytes.
  s.file = dir / "literal.bmp";
  s.run.reference = true;
  writeJobBitmap(oneInchJob(), s);
  EXPECT_TRUE(test::readFile(s.file) == b);
}

TEST(JobBitmapTest, SizesAndRefusals) {
  EXPECT_EQ(jobBitmapSide_px(0.0), 2816);  // nothing selected
  EXPECT_EQ(jobBitmapSide_px(1.0), 11008);
  const fs::path dir = test::tempDir();
  const fs::path file = dir / "Clip.Bmp";
  test::writeFile(file, "old");
  auto refused = [&](const Job& job, JobBitmapSettings s, const std::string& expected) {
    test::expectError<FormatError>([&] { writeJobBitmap(job, s); }, expected);
    EXPECT_EQ(test::readFile(file), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  };
  JobBitmapSettings s = settingsFor(file);
  s.draw.layers = {};
  s.draw.layers[1] = true;
  refused(oneInchJob(), s, "no board has a Gerber file on a chosen layer");
  s = settingsFor(file);
  s.run.budgetBytes = 1375;
  refused(oneInchJob(), s, "less than one row");
  Job far = oneInchJob();
  far.boards[0].PosX = far.boards[0].PosY = 9.0;  // 10 inches: 84,736 pixels a side
  const auto side = static_cast<uint64_t>(jobBitmapSide_px(10.0));
  EXPECT_EQ(planJobBitmap(far, settingsFor(file)).fileBytes, 62 + side * side / 8);
  far.boards[0].PosX = far.boards[0].PosY = 30.0;  // 31 inches: 8 GB
  refused(far, settingsFor(file), "at most 4294967295 bytes");

  // The tech area grows the image by L + R + 2D and T + B + 2D.
  Job tech = oneInchJob();
  tech.settings.tech = {12.7, 25.4, 0.0, 0.0, 50.8};
  s = settingsFor(file);
  s.draw.techArea = true;
  JobBitmapPlan p = planJobBitmap(tech, s);
  EXPECT_EQ(p.width_px, jobBitmapSide_px(1.0 + 1.0 + 0.0 + 1.0));
  EXPECT_EQ(p.height_px, jobBitmapSide_px(1.0 + 0.0 + 2.0 + 1.0));
}

}  // namespace
}  // namespace drumplot
