// SPDX-License-Identifier: MIT
// The mark table dialog.
#include "ui/mark_table_dialog.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "job/job.h"
#include "ui/dialog_buttons.h"
#include "ui/qt_conversions.h"
#include "ui/user_prompts.h"

namespace drumplot {

namespace {

constexpr int kNameColumn = 1;
constexpr int kPathColumn = 2;

// Name cells hold at most 64 characters. Paths are kept whole: one that a
// mark board cannot store is refused when it is set (pathProblem), never cut.
class MarkCellDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line && index.column() == kNameColumn) line->setMaxLength(static_cast<int>(kMaxMarkChars));
    return editor;
  }
};

// Why a mark path cannot be used, or an empty text.
QString pathProblem(const QString& path, int row) {
  try {
    storedFileName(toStdString(path));
    return {};
  } catch (const std::exception& e) {
    return QStringLiteral("Mark %1: ").arg(row + 1) + QString::fromStdString(e.what());
  }
}

QString cellText(const QTableWidget* table, int row, int column) {
  const QTableWidgetItem* item = table->item(row, column);
  return item ? item->text() : QString();
}

}  // namespace

// MarkTableDialog - Layout
// ============================================================================

MarkTableDialog::MarkTableDialog(UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), prompts_(prompts) {
  // The caption as operators know it ("\151" is an "i").
  setWindowTitle(QStringLiteral("Specif\151cation of mark"));
  auto* layout = new QVBoxLayout(this);
  table_ = new QTableWidget(kMarkCount, 3, this);
  table_->setHorizontalHeaderLabels(
      {QStringLiteral("No."), QStringLiteral("Name"), QStringLiteral("Path&Name of Gerber file")});
  table_->verticalHeader()->hide();
  table_->setItemDelegate(new MarkCellDelegate(table_));
  table_->setColumnWidth(0, 40);
  table_->setColumnWidth(kNameColumn, 140);
  table_->horizontalHeader()->setStretchLastSection(true);
  for (int row = 0; row < kMarkCount; ++row) {
    auto* number = new QTableWidgetItem(QString::number(row + 1));
    number->setFlags(Qt::ItemIsEnabled);
    table_->setItem(row, 0, number);
  }
  table_->setMinimumSize(560, 330);
  layout->addWidget(table_);

  auto* setPath = new QPushButton(QStringLiteral("&Set Path-Name"), this);
  connect(setPath, &QPushButton::clicked, this, &MarkTableDialog::setPathName);
  DialogButtons buttons = dialogButtons(this, QStringLiteral("&Ok"), QStringLiteral("&Cancel"));
  buttons.row->insertWidget(0, setPath);
  connect(buttons.ok, &QPushButton::clicked, this, &MarkTableDialog::accept);
  layout->addLayout(buttons.row);
}

// MarkTableDialog - Values and commands
// ============================================================================

void MarkTableDialog::load(const MarkTable& marks) {
  for (int row = 0; row < kMarkCount; ++row) {
    const MarkEntry& entry = marks[static_cast<size_t>(row)];
    table_->setItem(row, kNameColumn, new QTableWidgetItem(toQString(entry.name)));
    table_->setItem(row, kPathColumn, new QTableWidgetItem(toQString(entry.path)));
  }
  table_->setCurrentCell(0, kNameColumn);
}

MarkTable MarkTableDialog::result() const {
  MarkTable marks;
  for (int row = 0; row < kMarkCount; ++row) {
    MarkEntry& entry = marks[static_cast<size_t>(row)];
    entry.name = cutText(toStdString(cellText(table_, row, kNameColumn)), kMaxMarkChars);
    entry.path = toStdString(cellText(table_, row, kPathColumn));
  }
  return marks;
}

void MarkTableDialog::setPathName() {
  FileRequest request;
  request.title = QStringLiteral("Open");
  request.filters = {QStringLiteral("Extended gerber data(RS274X)|*.*")};
  QString file = prompts_.openFileName(this, request);
  if (file.isEmpty()) return;
  endCellEdit();
  int row = std::max(table_->currentRow(), 0);
  if (QString problem = pathProblem(file, row); !problem.isEmpty()) {
    prompts_.warn(this, problem);
    return;
  }
  table_->setItem(row, kPathColumn, new QTableWidgetItem(file));
}

void MarkTableDialog::endCellEdit() {
  // Moving the current cell away commits and closes an open editor.
  QModelIndex current = table_->currentIndex();
  table_->setCurrentIndex(QModelIndex());
  table_->setCurrentIndex(current);
}

void MarkTableDialog::accept() {
  endCellEdit();
  for (int row = 0; row < kMarkCount; ++row) {
    if (QString problem = pathProblem(cellText(table_, row, kPathColumn), row);
        !problem.isEmpty()) {
      prompts_.warn(this, problem);
      return;  // the dialog stays open with the path as typed
    }
  }
  QDialog::accept();
}

void MarkTableDialog::reject() {
  endCellEdit();
  QDialog::reject();
}

}  // namespace drumplot
