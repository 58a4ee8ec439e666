// SPDX-License-Identifier: MIT
// The table view with a frozen first column.
#include "ui/frozen_column_table.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>

namespace drumplot {

// FrozenColumnOverlay - The first column over the table's left edge
// ============================================================================

// It takes no focus: the cursor lives in the table (the two share the
// selection), and only the overlay's cell editors take the keyboard.
class FrozenColumnOverlay final : public QTableView {
 public:
  explicit FrozenColumnOverlay(FrozenColumnTable* table) : QTableView(table), table_(table) {
    setFocusPolicy(Qt::NoFocus);
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(ScrollPerPixel);
    setFrameShape(QFrame::NoFrame);
  }

  using QTableView::edit;

 protected:
  // Tab leaves an editor for the next cell of the table, which is not
  // opened for editing.
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override {
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    table_->setFocus();
    if (hint == QAbstractItemDelegate::EditNextItem) table_->stepCursor(true);
    if (hint == QAbstractItemDelegate::EditPreviousItem) table_->stepCursor(false);
  }

 private:
  FrozenColumnTable* table_;
};

// FrozenColumnTable - Set-up
// ============================================================================

FrozenColumnTable::FrozenColumnTable(QWidget* parent)
    : QTableView(parent), overlay_(new FrozenColumnOverlay(this)) {
  setHorizontalScrollMode(ScrollPerPixel);
  setVerticalScrollMode(ScrollPerPixel);
  viewport()->stackUnder(overlay_);
  connect(horizontalHeader(), &QHeaderView::sectionResized, this,
          [this](int column, int, int width) {
            if (column == 0) {
              overlay_->setColumnWidth(0, width);
              updateOverlayGeometry();
            }
          });
  connect(verticalHeader(), &QHeaderView::sectionResized, this,
          [this](int row, int, int height) { overlay_->setRowHeight(row, height); });
  connect(overlay_->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
          &QAbstractSlider::setValue);
  connect(verticalScrollBar(), &QAbstractSlider::valueChanged, overlay_->verticalScrollBar(),
          &QAbstractSlider::setValue);
}

void FrozenColumnTable::attachModel(QAbstractItemModel* model) {
  setModel(model);
  overlay_->setModel(model);
  overlay_->setSelectionModel(selectionModel());
  for (int column = 1; column < model->columnCount(); ++column) {
    overlay_->setColumnHidden(column, true);
  }
  overlay_->setColumnWidth(0, columnWidth(0));
  overlay_->show();
  updateOverlayGeometry();
}

void FrozenColumnTable::setFrozenDelegate(QAbstractItemDelegate* delegate) {
  overlay_->setItemDelegate(delegate);
}

QTableView* FrozenColumnTable::frozenView() const {
  return overlay_;
}

void FrozenColumnTable::updateOverlayGeometry() {
  overlay_->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
  overlay_->horizontalHeader()->setHighlightSections(horizontalHeader()->highlightSections());
  overlay_->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
  overlay_->setGeometry(verticalHeader()->width() + frameWidth(), frameWidth(), columnWidth(0),
                        viewport()->height() + horizontalHeader()->height());
}

// FrozenColumnTable - Scrolling, cursor and editing
// ============================================================================

void FrozenColumnTable::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  updateOverlayGeometry();
}

// Moving left into a column hidden under the overlay scrolls it out.
QModelIndex FrozenColumnTable::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  QModelIndex current = QTableView::moveCursor(action, modifiers);
  int frozenWidth = overlay_->columnWidth(0);
  if (current.column() > 0 && visualRect(current).left() < frozenWidth) {
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + visualRect(current).left() -
                                    frozenWidth);
  }
  return current;
}

void FrozenColumnTable::scrollTo(const QModelIndex& index, ScrollHint hint) {
  if (index.column() > 0) {
    QTableView::scrollTo(index, hint);
  } else {
    overlay_->scrollTo(index, hint);  // rows only: the overlay shows one column
  }
}

bool FrozenColumnTable::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  if (index.isValid() && index.column() == 0) return overlay_->edit(index, trigger, event);
  return QTableView::edit(index, trigger, event);
}

void FrozenColumnTable::stepCursor(bool forward) {
  QModelIndex next = moveCursor(forward ? MoveNext : MovePrevious, Qt::NoModifier);
  if (next.isValid()) selectionModel()->setCurrentIndex(next, QItemSelectionModel::ClearAndSelect);
}

void FrozenColumnTable::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
  if (hint == QAbstractItemDelegate::EditNextItem) stepCursor(true);
  if (hint == QAbstractItemDelegate::EditPreviousItem) stepCursor(false);
}

// While a cell is edited, Enter belongs to its editor (which takes the
// value); the next Enter moves on.
void FrozenColumnTable::keyPressEvent(QKeyEvent* event) {
  bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && state() != EditingState) {
    stepCursor(true);
    return;
  }
  QTableView::keyPressEvent(event);
}

}  // namespace drumplot
