// SPDX-License-Identifier: MIT
// PlotAreaPanel: the plotting area at screen scale, in the panel colour with
// its caption, and the boards of the job drawn on it as bevelled rectangles
// (red when selected, green otherwise), each labelled with its number and
// the master file's name (a mark: its mark name), the whole path in its
// hint; marks at least kMinMarkSide_px wide, around their true place. It
// reports presses and left-button drags on boards, and the mouse position
// where no board is; the window turns them into job operations.
#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstddef>
#include <optional>
#include <vector>

#include "job/board.h"

namespace drumplot {

// A board as the panel draws it.
struct BoardView {
  QRect rect;  // Board::Screen; a mark's grown to the least size that shows
  QColor color;
  QString caption;  // the hint
  QString label;    // "1 core.GTL": the number in job order and the name
  bool isMark = false;
};

// "1 core.GTL": the board's number in job order (from 1) and its master
// file's name, or a mark's mark name.
QString boardLabel(const Board& board, size_t index);

// The least width and height a mark is drawn with, in pixels: the bundled
// mark is 0.12 inch across, 7 pixels at the usual scale.
inline constexpr int kMinMarkSide_px = 16;

// A board the check found problems with: an outline in the colour of the
// worst one, and the problems in its hint.
struct BoardMark {
  QColor outline;  // invalid: the board is not marked
  QString text;
};

class PlotAreaPanel final : public QWidget {
  Q_OBJECT

 public:
  explicit PlotAreaPanel(QWidget* parent);

  void setLook(const QString& caption, const QColor& color);
  QString caption() const { return caption_; }
  QColor color() const { return color_; }

  void showBoards(const std::vector<Board>& boards);
  void showBoard(size_t index, const Board& board);
  size_t boardCount() const { return boards_.size(); }
  const BoardView& board(size_t index) const { return boards_.at(index); }
  // Marks by board index (fewer than the boards: the rest unmarked); they
  // stay until set again.
  void setMarks(std::vector<BoardMark> marks);
  const BoardMark* mark(size_t index) const;
  // The board on top at a point of the panel: later boards lie over earlier ones.
  std::optional<size_t> boardAt(QPoint position) const;

 signals:
  // Positions are pixels within the board.
  void boardPressed(size_t index, Qt::MouseButton button, QPoint position);
  // The mouse moved with exactly the left button held and no modifier key,
  // after a press on the board.
  void boardDragged(size_t index, QPoint position);
  // The mouse moved over the panel, not over a board.
  void mouseMoved(QPoint position);

 protected:
  bool event(QEvent* event) override;  // hints of the boards
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QString caption_;
  QColor color_;
  std::vector<BoardView> boards_;
  std::vector<BoardMark> marks_;
  // The board a button went down on: it takes the mouse until the buttons are up.
  std::optional<size_t> pressed_;
};

}  // namespace drumplot
