// SPDX-License-Identifier: MIT
// Jobs for the export tests: small boards written by the tests, the demo
// job, and a panel of the corpus's largest board.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "job/gerber_import.h"
#include "job/job.h"
#include "job/panelize.h"
#include "output/fpf_reader.h"
#include "output/mono_image.h"
#include "support/test_support.h"

namespace drumplot::test {

// A board for `gerber` on layer 1, measured as an import measures it, with
// its left-top corner at (x, y) inches.
inline Board boardFor(const std::filesystem::path& gerber, double x, double y) {
  Board b;
  MasterMeasurement m = measureMasterGerber(gerber, b.format);
  b.PosX = x;
  b.PosY = y;
  b.DataMinX = m.extents.MinX;
  b.DataMinY = m.extents.MinY;
  b.DataWidth = m.extents.Width;
  b.DataHeight = m.extents.Height;
  b.LayerGerber[0] = gerber.string();
  b.caption = gerber.string();
  return b;
}

// A Gerber file in tempDir() holding `body` after a 2.4 inch format.
inline std::filesystem::path gerberFile(const std::string& name, const std::string& body) {
  std::filesystem::path path = tempDir() / name;
  writeFile(path, "%FSLAX24Y24*%\n%MOIN*%\n" + body + "M02*\n");
  return path;
}

// A job of one board at (x, y) inches for the Gerber file `name` holding
// `body` (see gerberFile).
inline Job oneBoardJob(const std::string& name, const std::string& body, double x, double y) {
  Job job;
  job.boards.push_back(boardFor(gerberFile(name, body), x, y));
  return job;
}

// Two boards of two square pads, the first with the pads on layers 1 and 2
// at (0.2, 0.2), the second on layer 1 at (1.5, 1.0): a job reaching 2.5 x
// 1.5 inches.
inline Job twoBoardJob() {
  auto pads =
      gerberFile("pads.gbr", "%ADD10R,0.100X0.100*%\nD10*\nX1000Y1000D03*\nX11000Y6000D03*\n");
  Job job;
  job.boards.push_back(boardFor(pads, 0.2, 0.2));
  job.boards[0].LayerGerber[1] = pads.string();
  job.boards.push_back(boardFor(pads, 1.5, 1.0));
  return job;
}

// The demo job as scripts/demo.sh builds it: the board with its three
// layers at (0.5, 0.5), a 2 x 2 panel with 5 mm gaps, and the mark at two
// corners.
inline Job demoJob() {
  const std::filesystem::path demo =
      std::filesystem::path(DRUMPLOT_SOURCE_DIR) / "examples" / "demo";
  Job job;
  job.boards.push_back(boardFor(demo / "demo-top.gbr", 0.5, 0.5));
  Board& board = job.boards.back();
  board.LayerGerber[1] = (demo / "demo-bottom.gbr").string();
  board.LayerGerber[2] = (demo / "demo-silk.pho").string();
  board.LayerAperture[2] = (demo / "demo-silk.Env").string();
  job.selectBoard(0);
  job.BoardSelectedOnce = true;
  panelize(job, {1, 1, 5.0, 5.0});
  for (auto [x, y] : {std::pair{0.2, 0.2}, std::pair{5.4, 4.6}}) {
    Board mark = boardFor(demo / "demo-mark.gbr", x, y);
    mark.IsMark = true;
    mark.MarkName = "Target";
    mark.LayerGerber.fill((demo / "demo-mark.gbr").string());
    job.boards.push_back(mark);
  }
  return job;
}

// The largest board of the corpus (about 10 x 10 inches, six layers) twice
// side by side, 5 mm apart; an empty job when the corpus is absent.
inline Job corpusPanelJob() {
  Job job;
  const std::filesystem::path corpus = corpusDir();
  if (corpus.empty()) return job;
  const std::filesystem::path dir = corpus / "gerbonara/tests/resources/orcad";
  if (!std::filesystem::exists(dir / "LAYER_1.art")) return job;
  job.boards.push_back(boardFor(dir / "LAYER_1.art", 0.3, 0.3));
  const char* layers[] = {"LAYER_2.art", "PWR.art", "Solder_Mask_Bottom.art", "silk_screen_top.art",
                          "silk_screen_bottom.art"};
  for (size_t n = 0; n < std::size(layers); ++n) {
    job.boards[0].LayerGerber[n + 1] = (dir / layers[n]).string();
  }
  job.settings.PlotWidth = 30.0;  // room for the second copy
  job.selectBoard(0);
  job.BoardSelectedOnce = true;
  panelize(job, {1, 0, 5.0, 5.0});
  return job;
}

// Film pixels x0..x1, y0..y1 (ends excluded) of `film`, reduced by n: a
// pixel exposed when any of its n x n is.
inline MonoImage windowOf(const MonoImage& film, const FilmWindow& w, uint32_t n) {
  MonoImage out((w.width() + n - 1) / n, (w.height() + n - 1) / n);
  for (uint32_t y = w.y0; y < w.y1; ++y) {
    for (uint32_t x = w.x0; x < w.x1; ++x) {
      if (film.exposed(x, y)) out.setExposed((x - w.x0) / n, (y - w.y0) / n, true);
    }
  }
  return out;
}

}  // namespace drumplot::test
