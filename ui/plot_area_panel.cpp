// SPDX-License-Identifier: MIT
// The plotting-area panel: drawing the boards and the mouse on them.
#include "ui/plot_area_panel.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QRegularExpression>
#include <QToolTip>
#include <algorithm>

#include "ui/qt_conversions.h"

namespace drumplot {

namespace {

// The file's name without its folders ('/' or '\' before it).
QString fileNameOf(const QString& path) {
  return path.mid(path.lastIndexOf(QRegularExpression(QStringLiteral("[/\\\\]"))) + 1);
}

BoardView viewOf(const Board& board, size_t index) {
  const ScreenRect& r = board.screen;
  BoardView view{QRect(r.left, r.top, r.Width, r.Height), toQColor(board.color()),
                 toQString(board.caption), boardLabel(board, index), board.IsMark};
  if (board.IsMark) {
    // Grown about its centre: a drag moves the true place by the same pixels.
    int growX = std::max(kMinMarkSide_px - view.rect.width(), 0);
    int growY = std::max(kMinMarkSide_px - view.rect.height(), 0);
    view.rect.adjust(-growX / 2, -growY / 2, growX - growX / 2, growY - growY / 2);
  }
  return view;
}

void drawBevel(QPainter& painter, const BoardView& board) {
  const QRect& all = board.rect;
  painter.fillRect(all, board.color);
  // A raised bevel of 1 pixel.
  painter.setPen(board.color.lighter(160));
  painter.drawLine(all.topLeft(), all.topRight());
  painter.drawLine(all.topLeft(), all.bottomLeft());
  painter.setPen(board.color.darker(200));
  painter.drawLine(all.bottomLeft(), all.bottomRight());
  painter.drawLine(all.topRight(), all.bottomRight());
}

// The label inside the board: on one line when it fits, else the number
// over the name in a font made smaller down to kMinLabelFont_px, the name
// cut at its start when it still does not fit.
constexpr int kMinLabelFont_px = 8;

void drawBoardLabel(QPainter& painter, const BoardView& board) {
  QRect inside = board.rect.adjusted(2, 1, -2, -1);
  painter.setPen(Qt::white);
  if (painter.fontMetrics().horizontalAdvance(board.label) <= inside.width()) {
    painter.drawText(inside, Qt::AlignCenter, board.label);
    return;
  }
  const qsizetype space = board.label.indexOf(QLatin1Char(' '));
  const QString number = board.label.left(space);
  const QString name = board.label.mid(space + 1);
  QFont font = painter.font();
  int size_px = QFontInfo(font).pixelSize();
  while (size_px > kMinLabelFont_px &&
         QFontMetrics(font).horizontalAdvance(name) > inside.width()) {
    font.setPixelSize(--size_px);
  }
  QFontMetrics metrics(font);
  if (inside.width() < metrics.averageCharWidth() * 3 || inside.height() < metrics.height() * 2) {
    return;  // no room for a label
  }
  painter.save();
  painter.setFont(font);
  painter.drawText(
      inside, Qt::AlignCenter,
      number + QLatin1Char('\n') + metrics.elidedText(name, Qt::ElideLeft, inside.width()));
  painter.restore();
}

// A mark: a ring and a cross on the board colour, its label beside it (left
// of it when the right side has no room) in the panel's text colour.
void drawMark(QPainter& painter, const BoardView& mark, const QRect& panel, const QColor& text) {
  const QRect& all = mark.rect;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::white, 1));
  painter.setBrush(Qt::NoBrush);
  QRectF ring = QRectF(all).adjusted(3.5, 3.5, -3.5, -3.5);
  painter.drawEllipse(ring);
  QPointF centre = QRectF(all).center();
  painter.drawLine(QPointF(all.left() + 1.5, centre.y()), QPointF(all.right() - 0.5, centre.y()));
  painter.drawLine(QPointF(centre.x(), all.top() + 1.5), QPointF(centre.x(), all.bottom() - 0.5));
  painter.restore();
  const QFontMetrics metrics = painter.fontMetrics();
  const int width_px = metrics.horizontalAdvance(mark.label);
  const int gap_px = 3;
  QRect label(all.right() + 1 + gap_px, all.center().y() - metrics.height() / 2, width_px,
              metrics.height());
  if (label.right() > panel.right()) label.moveRight(all.left() - 1 - gap_px);
  painter.setPen(text);
  painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, mark.label);
}

}  // namespace

QString boardLabel(const Board& board, size_t index) {
  QString name = board.IsMark && !board.MarkName.empty() ? toQString(board.MarkName)
                                                         : fileNameOf(toQString(board.caption));
  return QString::number(index + 1) + QLatin1Char(' ') + name;
}

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
  for (size_t i = 0; i < boards.size(); ++i) boards_.push_back(viewOf(boards[i], i));
  if (pressed_ && *pressed_ >= boards_.size()) pressed_.reset();
  update();
}

void PlotAreaPanel::showBoard(size_t index, const Board& board) {
  BoardView& view = boards_.at(index);
  if (view.isMark) {
    view = viewOf(board, index);
    update();  // its label lies beside it
    return;
  }
  update(view.rect.adjusted(-3, -3, 3, 3));
  view = viewOf(board, index);
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
  const QColor text = color_.lightness() < 128 ? Qt::white : Qt::black;
  painter.setPen(text);
  painter.drawText(rect(), Qt::AlignCenter, caption_);
  for (const BoardView& board : boards_) {
    if (board.isMark) {
      drawBevel(painter, board);
      drawMark(painter, board, rect(), text);
    } else if (board.rect.intersects(event->rect())) {
      drawBevel(painter, board);
      drawBoardLabel(painter, board);
    }
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
