// SPDX-License-Identifier: MIT
// The plotting-area panel: drawing the boards and the mouse on them.
#include "ui/plot_area_panel.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QToolTip>

#include "ui/qt_conversions.h"

namespace drumplot {

namespace {

BoardView viewOf(const Board& board) {
  const ScreenRect& r = board.screen;
  return {QRect(r.left, r.top, r.Width, r.Height), toQColor(board.color()),
          toQString(board.caption)};
}

void drawBoard(QPainter& painter, const BoardView& board) {
  const QRect& all = board.rect;
  painter.fillRect(all, board.color);
  // A raised bevel of 1 pixel.
  painter.setPen(board.color.lighter(160));
  painter.drawLine(all.topLeft(), all.topRight());
  painter.drawLine(all.topLeft(), all.bottomLeft());
  painter.setPen(board.color.darker(200));
  painter.drawLine(all.bottomLeft(), all.bottomRight());
  painter.drawLine(all.topRight(), all.bottomRight());
  QRect inside = all.adjusted(2, 1, -2, -1);
  QFontMetrics metrics = painter.fontMetrics();
  if (inside.width() < metrics.averageCharWidth() * 3) return;  // no room for a caption
  painter.setPen(Qt::white);
  painter.drawText(inside, Qt::AlignCenter,
                   metrics.elidedText(board.caption, Qt::ElideLeft, inside.width()));
}

}  // namespace

PlotAreaPanel::PlotAreaPanel(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
}

void PlotAreaPanel::setLook(const QString& caption, const QColor& color) {
  caption_ = caption;
  color_ = color;
  update();
}

// PlotAreaPanel - Boards
// ============================================================================

void PlotAreaPanel::showBoards(const std::vector<Board>& boards) {
  boards_.clear();
  boards_.reserve(boards.size());
  for (const Board& board : boards) boards_.push_back(viewOf(board));
  if (pressed_ && *pressed_ >= boards_.size()) pressed_.reset();
  update();
}

void PlotAreaPanel::showBoard(size_t index, const Board& board) {
  BoardView& view = boards_.at(index);
  update(view.rect.adjusted(-3, -3, 3, 3));
  view = viewOf(board);
  update(view.rect.adjusted(-3, -3, 3, 3));
}

void PlotAreaPanel::setMarks(std::vector<BoardMark> marks) {
  marks_ = std::move(marks);
  update();
}

const BoardMark* PlotAreaPanel::mark(size_t index) const {
  return index < marks_.size() && marks_[index].outline.isValid() ? &marks_[index] : nullptr;
}

std::optional<size_t> PlotAreaPanel::boardAt(QPoint position) const {
  for (size_t i = boards_.size(); i-- > 0;) {
    if (boards_[i].rect.contains(position)) return i;
  }
  return std::nullopt;
}

// PlotAreaPanel - Painting and hints
// ============================================================================

void PlotAreaPanel::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(rect(), color_);
  painter.setPen(color_.lightness() < 128 ? Qt::white : Qt::black);
  painter.drawText(rect(), Qt::AlignCenter, caption_);
  for (const BoardView& board : boards_) {
    if (board.rect.intersects(event->rect())) drawBoard(painter, board);
  }
  // Marks go around the boards, over whatever lies next to them.
  for (size_t i = 0; i < boards_.size(); ++i) {
    if (const BoardMark* m = mark(i)) {
      painter.setPen(QPen(m->outline, 2));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(boards_[i].rect.adjusted(-2, -2, 1, 1));
    }
  }
}

bool PlotAreaPanel::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  auto* help = static_cast<QHelpEvent*>(event);
  std::optional<size_t> index = boardAt(help->pos());
  QString hint = index ? boards_[*index].caption : QString();
  if (const BoardMark* m = index ? mark(*index) : nullptr) {
    hint += (hint.isEmpty() ? QString() : QStringLiteral("\n")) + m->text;
  }
  if (!hint.isEmpty()) {
    QToolTip::showText(help->globalPos(), hint, this, boards_[*index].rect);
  } else {
    QToolTip::hideText();
    event->ignore();
  }
  return true;
}

// PlotAreaPanel - Mouse
// ============================================================================

void PlotAreaPanel::mousePressEvent(QMouseEvent* event) {
  QPoint at = event->position().toPoint();
  // The first button down picks the board; further buttons go to the same one.
  if (event->buttons() == event->button()) pressed_ = boardAt(at);
  if (!pressed_) return;
  size_t index = *pressed_;
  emit boardPressed(index, event->button(), at - boards_.at(index).rect.topLeft());
}

void PlotAreaPanel::mouseMoveEvent(QMouseEvent* event) {
  QPoint at = event->position().toPoint();
  if (event->buttons() == Qt::NoButton) pressed_.reset();  // a release went elsewhere
  if (!pressed_) {
    if (!boardAt(at) || event->buttons() != Qt::NoButton) emit mouseMoved(at);
    return;
  }
  if (event->buttons() == Qt::LeftButton && event->modifiers() == Qt::NoModifier) {
    size_t index = *pressed_;
    emit boardDragged(index, at - boards_.at(index).rect.topLeft());
  }
}

void PlotAreaPanel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->buttons() == Qt::NoButton) pressed_.reset();
}

}  // namespace drumplot
