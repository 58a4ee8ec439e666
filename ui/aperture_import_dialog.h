// SPDX-License-Identifier: MIT
// ApertureImportDialog ("Import aperture"): a file list, a directory tree and
// a drive box to pick an aperture list, and the "Aperture type" box that
// says which kind of list it is (and sets the file list's mask).
#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QListView;
class QTreeView;

namespace drumplot {

// What the dialog hands over on OK.
struct ApertureImportChoice {
  QString file;               // the selected file's full path; empty when none
  int filterIndex = 0;        // the "Aperture type" entry, 0 to 5
  bool useConverter = false;  // the hidden "Use aperture converter"
};

class ApertureImportDialog final : public QDialog {
 public:
  explicit ApertureImportDialog(QWidget* parent = nullptr);

  // No file selected, the converter flag cleared; the folder and the
  // "Aperture type" entry stay from the last import.
  void load();
  ApertureImportChoice result() const;

  // Shows `folder` in the tree, the drive box and the file list.
  void setFolder(const QString& folder);
  QString folder() const;
  QListView* fileList() const { return files_; }
  QComboBox* typeBox() const { return types_; }
  QCheckBox* converterBox() const { return converter_; }

 private:
  void typeChosen(int index);

  QFileSystemModel* folderModel_;
  QFileSystemModel* fileModel_;
  QListView* files_;
  QTreeView* tree_;
  QComboBox* drives_;
  QComboBox* types_;
  QCheckBox* converter_;
};

}  // namespace drumplot
