// SPDX-License-Identifier: MIT
// The aperture table dialog: the table model over the working aperture
// table, the cell editors, and the dialog.
#include "ui/aperture_table_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleValidator>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <array>
#include <functional>

#include "engine/aperture.h"
#include "ui/dialog_buttons.h"
#include "ui/frozen_column_table.h"
#include "ui/qt_conversions.h"
#include "ui/user_prompts.h"

namespace drumplot {

namespace {

using Column = ApertureTableDialog::Column;

// Heading and width in pixels of each column; the row heading is 15 wide.
// The size columns say their unit on a second line.
struct ColumnLook {
  const char* heading;
  int width_px;
};
constexpr std::array<ColumnLook, ApertureTableDialog::ColumnCount> kColumns = {{
    {"D-code", 46},
    {"Shape", 91},
    {"X\n[mils]", 66},
    {"Y\n[mils]", 64},
    {"Rotation/Int.Dia.\n[mils]", 145},
    {"Custom Name", 147},
}};
constexpr int kRowHeading_px = 15;
constexpr int kShapeCount = 9;              // None .. Custom
constexpr double kMaxSize_mils = 99999.99;  // the mask "#####.##"
constexpr int kMaxDCodeDigits = 10;         // the mask "9999999999"
constexpr int kMaxNameChars = 128;

int dCodeOfRow(int row) {
  return row + WorkingApertureTable::kFirstDCode;
}

QString milsText(double mils) {
  return QString::number(mils, 'f', 2);
}

}  // namespace

// ApertureTableModel - The working table as a table model
// ============================================================================

class ApertureTableModel final : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void load(const WorkingApertureTable& table) {
    beginResetModel();
    table_ = table;
    endResetModel();
  }
  WorkingApertureTable& table() { return table_; }
  const WorkingApertureTable& table() const { return table_; }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(WorkingApertureTable::kRows);
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : ApertureTableDialog::ColumnCount;
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    const ApertureTableRow& row = table_.row(dCodeOfRow(index.row()));
    switch (index.column()) {
      case Column::DCodeColumn:
        return dCodeOfRow(index.row());
      case Column::ShapeColumn:
        return role == Qt::EditRole ? QVariant(static_cast<int>(row.Shape))
                                    : QVariant(QString::fromLatin1(apertureShapeName(row.Shape)));
      case Column::XColumn:
        return milsText(row.DLX);
      case Column::YColumn:
        return milsText(row.DLY);
      case Column::AngleColumn:
        return milsText(row.Angle);
      case Column::NameColumn:
        return toQString(row.CustomName);
      default:
        return {};
    }
  }

  // Values come from the editors below: the shape as its list position,
  // sizes as texts with the decimal point. The D code does not change.
  bool setData(const QModelIndex& index, const QVariant& value, int role) override {
    if (!index.isValid() || role != Qt::EditRole) return false;
    ApertureTableRow& row = table_.row(dCodeOfRow(index.row()));
    bool ok = true;
    switch (index.column()) {
      case Column::DCodeColumn:
        return true;
      case Column::ShapeColumn: {
        int shape = value.toInt(&ok);
        if (!ok || shape < 0 || shape >= kShapeCount) return false;
        row.Shape = static_cast<ApertureShape>(shape);
        break;
      }
      case Column::XColumn:
      case Column::YColumn:
      case Column::AngleColumn: {
        double mils = QLocale::c().toDouble(value.toString().trimmed(), &ok);
        if (!ok) return false;
        double& field = index.column() == Column::XColumn   ? row.DLX
                        : index.column() == Column::YColumn ? row.DLY
                                                            : row.Angle;
        field = mils;
        break;
      }
      case Column::NameColumn:
        row.CustomName = toStdString(value.toString().left(kMaxNameChars));
        break;
      default:
        return false;
    }
    emit dataChanged(index, index);
    return true;
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return QString();  // the row heading is blank
    if (section < 0 || section >= ApertureTableDialog::ColumnCount) return {};
    return QString::fromLatin1(kColumns[static_cast<size_t>(section)].heading);
  }

 private:
  WorkingApertureTable table_;
};

// ApertureCellDelegate - Cell editors
// ============================================================================

namespace {

// The editor of each column; opening one is the start of a cell edit.
class ApertureCellDelegate final : public QStyledItemDelegate {
 public:
  ApertureCellDelegate(std::function<void(const QModelIndex&)> editStarted, QObject* parent)
      : QStyledItemDelegate(parent), editStarted_(std::move(editStarted)) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                        const QModelIndex& index) const override {
    editStarted_(index);
    if (index.column() == Column::ShapeColumn) {
      auto* shapes = new QComboBox(parent);
      for (int shape = 0; shape < kShapeCount; ++shape) {
        shapes->addItem(QString::fromLatin1(apertureShapeName(static_cast<ApertureShape>(shape))));
      }
      return shapes;
    }
    auto* field = new QLineEdit(parent);
    field->setFrame(false);
    switch (index.column()) {
      case Column::DCodeColumn:
        field->setMaxLength(kMaxDCodeDigits);
        field->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[0-9]{0,10}")), field));
        break;
      case Column::NameColumn:
        field->setMaxLength(kMaxNameChars);
        break;
      default: {
        auto* validator = new QDoubleValidator(0.0, kMaxSize_mils, 2, field);
        validator->setLocale(QLocale::c());
        validator->setNotation(QDoubleValidator::StandardNotation);
        field->setValidator(validator);
        break;
      }
    }
    return field;
  }

  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    if (auto* shapes = qobject_cast<QComboBox*>(editor)) {
      shapes->setCurrentIndex(index.data(Qt::EditRole).toInt());
      return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
  }

  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override {
    if (auto* shapes = qobject_cast<QComboBox*>(editor)) {
      model->setData(index, shapes->currentIndex());
      return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
  }

 private:
  std::function<void(const QModelIndex&)> editStarted_;
};

}  // namespace

// ApertureTableDialog - Layout
// ============================================================================

ApertureTableDialog::ApertureTableDialog(UserPrompts& prompts, QWidget* parent)
    : QDialog(parent),
      prompts_(prompts),
      model_(new ApertureTableModel(this)),
      title_(new QLabel(this)),
      view_(new FrozenColumnTable(this)) {
  setWindowTitle(QStringLiteral("Aperture table"));
  auto* layout = new QVBoxLayout(this);
  QFont bold = title_->font();
  bold.setBold(true);
  title_->setFont(bold);
  layout->addWidget(title_);

  view_->setObjectName(QStringLiteral("Aperture table"));
  view_->attachModel(model_);
  auto editStarted = [this](const QModelIndex& index) {
    model_->table().markEdited(dCodeOfRow(index.row()));
    QApplication::beep();
  };
  view_->setItemDelegate(new ApertureCellDelegate(editStarted, view_));
  view_->setFrozenDelegate(new ApertureCellDelegate(editStarted, view_));
  view_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                         QAbstractItemView::AnyKeyPressed);
  view_->frozenView()->setEditTriggers(view_->editTriggers());
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setSelectionBehavior(QAbstractItemView::SelectItems);

  QHeaderView* columns = view_->horizontalHeader();
  columns->setSectionResizeMode(QHeaderView::Fixed);
  columns->setHighlightSections(false);  // a bold "D-code" would not fit its 46 pixels
  columns->setSectionsMovable(false);
  int tableWidth_px = kRowHeading_px;
  for (int column = 0; column < ColumnCount; ++column) {
    int width_px = kColumns[static_cast<size_t>(column)].width_px;
    view_->setColumnWidth(column, width_px);
    tableWidth_px += width_px;
  }
  QHeaderView* rows = view_->verticalHeader();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(view_->fontMetrics().height() + 6);
  rows->setFixedWidth(kRowHeading_px);
  view_->setMinimumSize(tableWidth_px + view_->verticalScrollBar()->sizeHint().width() + 4, 400);
  layout->addWidget(view_);

  DialogButtons buttons = dialogButtons(this, QStringLiteral("&Save"), QStringLiteral("&Cancel"));
  // Enter belongs to the table, where it moves to the next cell.
  for (QPushButton* button : {buttons.ok, buttons.cancel}) {
    button->setDefault(false);
    button->setAutoDefault(false);
  }
  connect(buttons.ok, &QPushButton::clicked, this, &ApertureTableDialog::askToSave);
  layout->addLayout(buttons.row);
}

ApertureTableDialog::~ApertureTableDialog() = default;

// ApertureTableDialog - Values
// ============================================================================

void ApertureTableDialog::load(const WorkingApertureTable& table, const QString& listed) {
  title_->setText(listed);
  model_->load(table);
  save_ = false;
  view_->scrollToTop();
  view_->horizontalScrollBar()->setValue(0);
  view_->setCurrentIndex(model_->index(0, DCodeColumn));
  view_->setFocus();
}

const WorkingApertureTable& ApertureTableDialog::result() const {
  return model_->table();
}

// "&Save" closes the dialog whatever the answer; only Yes saves.
void ApertureTableDialog::askToSave() {
  save_ = prompts_.askYesNo(this, QString::fromLatin1(kSaveApertureQuestion)) == Answer::Yes;
  if (save_) {
    accept();
  } else {
    reject();
  }
}

}  // namespace drumplot
