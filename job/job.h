// SPDX-License-Identifier: MIT
// Job: the ordered board list on one plotting area and the job-wide state the
// main window holds, with every board operation as a plain method. A window
// only translates its events into these calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "job/board.h"
#include "job/job_settings.h"

namespace drumplot {

inline constexpr const char* kNoNameJob = "NONAME.WPR";
inline constexpr const char* kBoardLockedMessage = "This board is locked";
inline constexpr int32_t kMinNewBoardSide_px = 5;

// What the master Gerber file tells a new board: its extents in inches.
struct MasterExtents {
  double MinX = 0.0;
  double MinY = 0.0;
  double Width = 0.0;
  double Height = 0.0;
};

enum class DragResult {
  Moved,
  Locked,  // nothing moved; the window shows kBoardLockedMessage for this event
};

class Job {
 public:
  Job();

  // The file the job was opened from or saved to, kept whole (a name cut to
  // 128 characters would make Save write somewhere else).
  std::string JobName = kNoNameJob;
  std::vector<Board> boards;  // creation order; saving and deleting use it
  bool BoardSelectedOnce = false;
  int storedActiveLayer = 1;  // 1..18; anything else counts as "no selection": layer 1
  DataFormat CurrentFormat;   // copied by new boards
  JobSettings settings;
  double ScreenScale;  // screen pixels per inch of plotting area
  LayerPanel panel;

  int activeLayer() const {
    return storedActiveLayer >= 1 && storedActiveLayer <= kLayerCount ? storedActiveLayer : 1;
  }
  bool isUnnamed() const { return JobName == kNoNameJob; }
  int32_t plotAreaWidth_px() const;
  int32_t plotAreaHeight_px() const;

  // A stored layer path as a path to open: relative paths resolve against
  // the folder of the job file (a new job: the working folder).
  std::filesystem::path resolvePath(std::string_view storedPath) const;

  // The files a drawing of the job reads: the job file (when it has one) and
  // every board's Gerber and aperture files. No output may be one of them.
  std::vector<std::filesystem::path> inputFiles() const;

  // Selection, deletion, locks and moves. `index` is a position in boards.
  void selectBoard(size_t index);
  void unselectAll();
  std::optional<size_t> lastSelected() const;  // the last selected board in the list
  void deleteSelected();                       // only once a board was ever selected
  void setLocked(size_t index, bool locked);
  void setAllLocked(bool locked);
  void moveTo(size_t index, double x, double y);  // inches; locked boards too
  void relativeMoveLocked(double dx, double dy);  // inches; only locked boards move
  // Mouse move with exactly the left button held; `press` and `mouse` are
  // pixels within the board (the press point and the current point).
  DragResult dragBoard(size_t index, int32_t pressX_px, int32_t pressY_px, int32_t mouseX_px,
                       int32_t mouseY_px);

  // Creating a board from a master file already measured: selected, in
  // CurrentFormat, at PosX = PlotWidth, PosY = PlotHeight, the file on the
  // active layer. Returns the new board's index.
  size_t createBoard(std::string_view file, const MasterExtents& extents);
  // Names `file` as the active layer's Gerber file of every selected board.
  void addGerberOnActiveLayer(std::string_view file);
  // Both refuse a name that a job file cannot hold whole (storedFileName).

  void clearBoards();  // all boards go (Open keeps the layer panel)
  void newJob();       // NONAME.WPR, no boards, never selected, empty panel
  void closeJob();     // no boards, empty panel; the name stays

 private:
  void placeOnScreen(Board& board) const;  // left/top from PosX/PosY
};

// A layer file name as a board stores it; a name longer than a job file
// holds (250 characters) throws FormatError naming it, rather than being cut.
std::string storedFileName(std::string_view file);

// Screen geometry.
// A length in inches as screen pixels: round(inches x scale).
int32_t toScreen_px(double inches, double screenScale);
// The largest scale at which the plotting area fits the screen less 320 x 200 pixels.
double screenScale(int32_t screenWidth_px, int32_t screenHeight_px, double plotWidth,
                   double plotHeight);
// A stored board's rectangle (loaded boards, no minimum size).
ScreenRect boardRect(const Board& board, double screenScale);

}  // namespace drumplot
