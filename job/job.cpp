// SPDX-License-Identifier: MIT
// The job's board operations and the screen geometry of boards.
#include "job/job.h"

#include <algorithm>

#include "engine/errors.h"
#include "engine/rounding.h"

namespace drumplot {

namespace {

// Until a window reports its screen, geometry is laid out for 1280 x 1024.
constexpr int32_t kNominalScreenWidth_px = 1280;
constexpr int32_t kNominalScreenHeight_px = 1024;

// Room the window keeps for the layer panel and rulers beside the plotting area.
constexpr int32_t kScreenMarginX_px = 320;
constexpr int32_t kScreenMarginY_px = 200;

// A new board appears this far left of the plotting area's right edge.
constexpr int32_t kNewBoardInset_px = 30;

}  // namespace

// Screen geometry
// ============================================================================

int32_t toScreen_px(double inches, double screenScale) {
  return roundToInt(inches * screenScale);
}

double screenScale(int32_t screenWidth_px, int32_t screenHeight_px, double plotWidth,
                   double plotHeight) {
  double w = screenWidth_px - kScreenMarginX_px;
  double h = screenHeight_px - kScreenMarginY_px;
  return w / h < plotWidth / plotHeight ? w / plotWidth : h / plotHeight;
}

ScreenRect boardRect(const Board& board, double scale) {
  return {toScreen_px(board.PosX, scale), toScreen_px(board.PosY, scale),
          toScreen_px(board.DataWidth, scale), toScreen_px(board.DataHeight, scale)};
}

// Job - Basics
// ============================================================================

Job::Job()
    : ScreenScale(screenScale(kNominalScreenWidth_px, kNominalScreenHeight_px, settings.PlotWidth,
                              settings.PlotHeight)) {}

int32_t Job::plotAreaWidth_px() const {
  return toScreen_px(settings.PlotWidth, ScreenScale);
}
int32_t Job::plotAreaHeight_px() const {
  return toScreen_px(settings.PlotHeight, ScreenScale);
}

std::filesystem::path Job::resolvePath(std::string_view storedPath) const {
  std::filesystem::path path(storedPath);
  if (path.empty() || path.is_absolute()) return path;
  return std::filesystem::path(JobName).parent_path() / path;
}

std::vector<std::filesystem::path> Job::inputFiles() const {
  std::vector<std::filesystem::path> files;
  if (!isUnnamed()) files.emplace_back(JobName);
  for (const Board& board : boards) {
    for (const LayerFiles* layerFiles : {&board.LayerGerber, &board.LayerAperture}) {
      for (const std::string& file : *layerFiles)
        if (!file.empty()) files.push_back(resolvePath(file));
    }
  }
  return files;
}

void Job::placeOnScreen(Board& board) const {
  board.screen.left = toScreen_px(board.PosX, ScreenScale);
  board.screen.top = toScreen_px(board.PosY, ScreenScale);
}

// Job - Selection and deletion
// ============================================================================

void Job::unselectAll() {
  for (Board& board : boards) board.Selected = false;
}

void Job::selectBoard(size_t index) {
  unselectAll();
  boards.at(index).Selected = true;
  BoardSelectedOnce = true;
  panel.show(boards[index]);
}

std::optional<size_t> Job::lastSelected() const {
  for (size_t i = boards.size(); i-- > 0;) {
    if (boards[i].Selected) return i;
  }
  return std::nullopt;
}

void Job::deleteSelected() {
  if (!BoardSelectedOnce) return;
  std::erase_if(boards, [](const Board& board) { return board.Selected; });
  panel.clear();
  if (!boards.empty()) selectBoard(boards.size() - 1);
}

// Job - Locks and moves
// ============================================================================

void Job::setLocked(size_t index, bool locked) {
  boards.at(index).Locked = locked;
}

void Job::setAllLocked(bool locked) {
  for (Board& board : boards) board.Locked = locked;
}

void Job::moveTo(size_t index, double x, double y) {
  Board& board = boards.at(index);
  board.PosX = x;
  board.PosY = y;
  placeOnScreen(board);
}

void Job::relativeMoveLocked(double dx, double dy) {
  for (Board& board : boards) {
    if (!board.Locked) continue;
    board.PosX += dx;
    board.PosY += dy;
    placeOnScreen(board);
  }
}

DragResult Job::dragBoard(size_t index, int32_t pressX_px, int32_t pressY_px, int32_t mouseX_px,
                          int32_t mouseY_px) {
  Board& board = boards.at(index);
  if (board.Locked) return DragResult::Locked;
  // The stored position follows the pixels, not the other way round.
  board.screen.left += mouseX_px - pressX_px;
  board.screen.top += mouseY_px - pressY_px;
  board.PosX = board.screen.left / ScreenScale;
  board.PosY = board.screen.top / ScreenScale;
  return DragResult::Moved;
}

// Job - Creating boards and naming layer files
// ============================================================================

std::string storedFileName(std::string_view file) {
  if (file.size() > kMaxFileNameChars) {
    throw FormatError(std::string(file) +
                      ": a job file holds file names of at most 250 characters; this one is " +
                      std::to_string(file.size()) + " (nothing was changed)");
  }
  return std::string(file);
}

size_t Job::createBoard(std::string_view file, const MasterExtents& extents) {
  std::string stored = storedFileName(file);
  unselectAll();
  Board board;
  board.format = CurrentFormat;
  board.Selected = true;
  board.caption = std::string(file);
  board.DataWidth = extents.Width;
  board.DataHeight = extents.Height;
  board.DataMinX = extents.MinX;
  board.DataMinY = extents.MinY;
  // The screen shows the new board at the right edge, top row; its stored
  // position is the plotting area's far corner until it is moved.
  board.screen.left = plotAreaWidth_px() - kNewBoardInset_px;
  board.screen.top = 1;
  board.screen.Width = std::max(toScreen_px(extents.Width, ScreenScale), kMinNewBoardSide_px);
  board.screen.Height = std::max(toScreen_px(extents.Height, ScreenScale), kMinNewBoardSide_px);
  board.PosX = settings.PlotWidth;
  board.PosY = settings.PlotHeight;
  board.LayerGerber[activeLayer() - 1] = stored;
  boards.push_back(std::move(board));
  panel.show(boards.back());
  BoardSelectedOnce = true;
  return boards.size() - 1;
}

void Job::addGerberOnActiveLayer(std::string_view file) {
  if (!BoardSelectedOnce) return;
  std::string stored = storedFileName(file);
  int layer = activeLayer();
  panel.gerber[layer - 1] = stored;
  for (Board& board : boards) {
    if (board.Selected) board.LayerGerber[layer - 1] = stored;
  }
}

// Job - Clearing
// ============================================================================

void Job::clearBoards() {
  boards.clear();
}

void Job::newJob() {
  JobName = kNoNameJob;
  boards.clear();
  BoardSelectedOnce = false;
  panel.clear();
}

void Job::closeJob() {
  boards.clear();
  panel.clear();
}

}  // namespace drumplot
