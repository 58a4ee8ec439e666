// SPDX-License-Identifier: MIT
// The aperture import dialog.
#include "ui/aperture_import_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>
#include <array>

#include "ui/dialog_buttons.h"

namespace drumplot {

namespace {

// The "Aperture type" entries and the file masks they set, in the order of
// their filter indexes.
struct ApertureType {
  const char* text;
  const char* mask;
};
constexpr std::array<ApertureType, 6> kApertureTypes = {{
    {"Quintor aperture(*.env)", "*.env"},
    {"IsoCam(*.apl)", "*.apl"},
    {"ECAM apertures(*.gap)", "*.gap"},
    {"GC-CAM(*.lst)", "*.lst"},
    {"Polski apert (*.apt)", "*.apt"},
    {"All apert", "*.*"},
}};
// From this entry on the converter is used.
constexpr int kFirstConverterType = 5;

QString maskOf(int type) {
  return QString::fromLatin1(kApertureTypes[static_cast<size_t>(type)].mask);
}

}  // namespace

// ApertureImportDialog - Layout
// ============================================================================

ApertureImportDialog::ApertureImportDialog(QWidget* parent)
    : QDialog(parent),
      folderModel_(new QFileSystemModel(this)),
      fileModel_(new QFileSystemModel(this)),
      files_(new QListView(this)),
      tree_(new QTreeView(this)),
      drives_(new QComboBox(this)),
      types_(new QComboBox(this)),
      converter_(new QCheckBox(QStringLiteral("Use aperture converter"), this)) {
  setWindowTitle(QStringLiteral("Import aperture"));
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;

  // Masks match without regard to case ("*.env" lists "board.Env").
  fileModel_->setFilter(QDir::Files);
  fileModel_->setNameFilterDisables(false);
  files_->setObjectName(QStringLiteral("Files"));
  files_->setModel(fileModel_);
  files_->setSelectionMode(QAbstractItemView::SingleSelection);
  files_->setMinimumSize(220, 260);
  grid->addWidget(new QLabel(QStringLiteral("Files"), this), 0, 0);
  grid->addWidget(files_, 1, 0);

  folderModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  tree_->setObjectName(QStringLiteral("Directory tree"));
  tree_->setModel(folderModel_);
  for (int column = 1; column < folderModel_->columnCount(); ++column) tree_->hideColumn(column);
  tree_->header()->hide();
  tree_->setMinimumSize(240, 260);
  grid->addWidget(new QLabel(QStringLiteral("Directory tree"), this), 0, 1);
  grid->addWidget(tree_, 1, 1);

  types_->setObjectName(QStringLiteral("Aperture type"));
  for (const ApertureType& type : kApertureTypes) types_->addItem(QString::fromLatin1(type.text));
  grid->addWidget(new QLabel(QStringLiteral("Aperture type"), this), 2, 0);
  grid->addWidget(types_, 3, 0);

  drives_->setObjectName(QStringLiteral("Drive"));
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (volume.isValid() && volume.isReady()) drives_->addItem(volume.rootPath());
  }
  if (drives_->findText(QDir::rootPath()) < 0) drives_->insertItem(0, QDir::rootPath());
  grid->addWidget(new QLabel(QStringLiteral("Drive"), this), 2, 1);
  grid->addWidget(drives_, 3, 1);
  layout->addLayout(grid);

  converter_->setObjectName(QStringLiteral("Use aperture converter"));
  converter_->setVisible(false);
  layout->addWidget(converter_);

  DialogButtons buttons = dialogButtons(this, QStringLiteral("OK"), QStringLiteral("Cancel"));
  connect(buttons.ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addLayout(buttons.row);

  connect(types_, &QComboBox::currentIndexChanged, this, &ApertureImportDialog::typeChosen);
  connect(tree_, &QTreeView::clicked, this,
          [this](const QModelIndex& index) { setFolder(folderModel_->filePath(index)); });
  connect(drives_, &QComboBox::textActivated, this, &ApertureImportDialog::setFolder);
  connect(files_, &QListView::doubleClicked, this, &QDialog::accept);

  typeChosen(0);
  setFolder(QDir::currentPath());
}

// ApertureImportDialog - Values
// ============================================================================

void ApertureImportDialog::load() {
  files_->clearSelection();
  files_->setCurrentIndex({});
  converter_->setChecked(false);
}

ApertureImportChoice ApertureImportDialog::result() const {
  ApertureImportChoice choice;
  QModelIndexList selected = files_->selectionModel()->selectedIndexes();
  if (!selected.isEmpty()) choice.file = fileModel_->filePath(selected.constFirst());
  choice.filterIndex = types_->currentIndex();
  choice.useConverter = converter_->isChecked();
  return choice;
}

void ApertureImportDialog::setFolder(const QString& folder) {
  QString path = QDir(folder).absolutePath();
  folderModel_->setRootPath(QDir::rootPath());
  QModelIndex inTree = folderModel_->index(path);
  tree_->setCurrentIndex(inTree);
  tree_->scrollTo(inTree);
  tree_->expand(inTree);
  files_->setRootIndex(fileModel_->setRootPath(path));
  files_->clearSelection();
  // The drive: the volume the folder lies on (the longest root that holds it).
  int drive = -1;
  for (int i = 0; i < drives_->count(); ++i) {
    QString root = drives_->itemText(i);
    if (path.startsWith(root) && (drive < 0 || root.size() > drives_->itemText(drive).size())) {
      drive = i;
    }
  }
  if (drive >= 0) drives_->setCurrentIndex(drive);
}

QString ApertureImportDialog::folder() const {
  return fileModel_->rootPath();
}

// Choosing a type sets the list's mask; the last type also sets the hidden
// converter box, any other clears it.
void ApertureImportDialog::typeChosen(int index) {
  if (index < 0) return;
  fileModel_->setNameFilters({maskOf(index)});
  converter_->setChecked(index >= kFirstConverterType);
}

}  // namespace drumplot
