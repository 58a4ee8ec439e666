// SPDX-License-Identifier: MIT
// FrozenColumnTable: a table view whose first column stays in place when the
// other columns scroll sideways (with the row heading, which always does).
// A second view showing only that column lies over the table's left edge;
// both share the model, the selection and the vertical scrolling.
#pragma once

#include <QTableView>

namespace drumplot {

class FrozenColumnOverlay;

class FrozenColumnTable final : public QTableView {
 public:
  explicit FrozenColumnTable(QWidget* parent = nullptr);

  // After setModel: the overlay shows the model's first column.
  void attachModel(QAbstractItemModel* model);
  // The delegate of the first column's cells (edited in the overlay).
  void setFrozenDelegate(QAbstractItemDelegate* delegate);
  QTableView* frozenView() const;
  // The cursor to the next (or previous) cell, as Tab moves it, without
  // opening an editor.
  void stepCursor(bool forward);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  // Cells of the first column are edited in the overlay, where they are seen.
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;  // Enter moves on like Tab
  // Tab leaves an editor for the next cell, which is not opened for editing.
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

 private:
  void updateOverlayGeometry();

  FrozenColumnOverlay* overlay_;
};

}  // namespace drumplot
