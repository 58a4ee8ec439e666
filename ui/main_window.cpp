// SPDX-License-Identifier: MIT
// The main window: menus, tool bar, board mouse handling and every command.
#include "ui/main_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <exception>
#include <new>

#include "job/display_text.h"
#include "job/gerber_import.h"
#include "job/job_file.h"
#include "job/marks.h"
#include "job/panelize.h"
#include "job/settings_file.h"
#include "output/prepared_job.h"
#include "output/workers.h"
#include "ui/about_dialog.h"
#include "ui/aperture_import_dialog.h"
#include "ui/aperture_table_dialog.h"
#include "ui/background_work.h"
#include "ui/board_import_dialog.h"
#include "ui/check_dialog.h"
#include "ui/coordinates_dialog.h"
#include "ui/data_format_dialog.h"
#include "ui/drill_panel_dialog.h"
#include "ui/export_dialog.h"
#include "ui/job_status_bar.h"
#include "ui/job_view.h"
#include "ui/layer_colors_dialog.h"
#include "ui/layer_panel_view.h"
#include "ui/mark_table_dialog.h"
#include "ui/memory_dialog.h"
#include "ui/panelize_dialog.h"
#include "ui/plot_area_dialog.h"
#include "ui/plot_area_panel.h"
#include "ui/preview_window.h"
#include "ui/qt_conversions.h"
#include "ui/ruler.h"
#include "ui/select_mark_dialog.h"
#include "ui/tech_area_dialog.h"
#include "ui/text_viewer.h"
#include "ui/unit_dialog.h"
#include "ui/user_prompts.h"

namespace drumplot {

namespace {

constexpr int kProgressInterval_ms = 333;

FileRequest projectRequest(const QString& title) {
  FileRequest request;
  request.title = title;
  request.filters = {QStringLiteral("Project file (*.WPR)|*.WPR")};
  request.defaultSuffix = QStringLiteral("WPR");
  return request;
}

FileRequest gerberRequest() {
  FileRequest request;
  request.title = QStringLiteral("Import Gerber data");
  request.filters = {QStringLiteral("Gerber data  (*.dat)|*.dat"),
                     QStringLiteral("Gerber data (*.gbr;*.pho)|*.gbr;*.pho"),
                     QStringLiteral("Excellon data (*.exc)|*.exc"),
                     QStringLiteral("All extension (*.*)|*.*")};
  request.selectedFilter = 1;
  request.defaultSuffix = QStringLiteral("dat");
  return request;
}

std::unique_ptr<UserPrompts> desktopPromptsUnless(UserPrompts* given) {
  if (given) return nullptr;
  return std::make_unique<DesktopPrompts>();
}

}  // namespace

// MainWindow - Construction
// ============================================================================

MainWindow::MainWindow(MainWindowOptions options, QWidget* parent)
    : QMainWindow(parent),
      options_(std::move(options)),
      ownPrompts_(desktopPromptsUnless(options_.prompts)),
      prompts_(options_.prompts ? *options_.prompts : *ownPrompts_),
      view_(new JobView(this)),
      status_(new JobStatusBar(this)),
      dataFormatDialog_(new DataFormatDialog(this)),
      unitDialog_(new UnitDialog(this)),
      plotAreaDialog_(new PlotAreaDialog(this)),
      layerColorsDialog_(new LayerColorsDialog(prompts_, this)),
      panelizeDialog_(new PanelizeDialog(this)),
      moveToDialog_(new CoordinatesDialog(QStringLiteral(" New board location coordinates"),
                                          QStringLiteral("X"), QStringLiteral("- Y"),
                                          QStringLiteral("0,0 is left top  corner"), this)),
      relativeMoveDialog_(new CoordinatesDialog(QStringLiteral("Relative move of locked boards"),
                                                QStringLiteral("dX"), QStringLiteral("- dY"),
                                                QString(), this)),
      markTableDialog_(new MarkTableDialog(prompts_, this)),
      selectMarkDialog_(new SelectMarkDialog(this)),
      techAreaDialog_(new TechAreaDialog(this)),
      memoryDialog_(new MemoryDialog(this)),
      textViewer_(new TextViewer(prompts_, this)),
      aboutDialog_(new AboutDialog(this)),
      exportDialog_(new ExportDialog(prompts_, this)),
      previewWindow_(new PreviewWindow(this)),
      apertureTableDialog_(new ApertureTableDialog(prompts_, this)),
      apertureImportDialog_(new ApertureImportDialog(this)),
      drillPanelDialog_(new DrillPanelDialog(prompts_, this)),
      boardImportDialog_(new BoardImportDialog(this)),
      checkDialog_(new CheckDialog(this)) {
  workers_ = std::make_unique<WorkerPool>(0);
  setAcceptDrops(true);
  setCentralWidget(view_);
  setStatusBar(status_);
  createMenus();
  createToolBar();
  createBoardMenu();
  connectView();
  view_->layerPanel()->setNames(job_.settings.LayerNames);
  showCaption();
  showUnit();
  showFormatText();
  exportDialog_->setExportName(programFolder() / "TEST.FPF");

  auto* progressTimer = new QTimer(this);
  connect(progressTimer, &QTimer::timeout, this, &MainWindow::showProgress);
  progressTimer->start(kProgressInterval_ms);
}

MainWindow::~MainWindow() = default;

void MainWindow::createMenus() {
  auto item = [this](QMenu* menu, const QString& text, const QKeySequence& shortcut, auto command) {
    QAction* action = menu->addAction(text);
    action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, command);
    return action;
  };
  QMenu* job = menuBar()->addMenu(QStringLiteral("&Job"));
  item(job, QStringLiteral("&New"), QKeySequence(Qt::CTRL | Qt::Key_N), &MainWindow::onNew);
  item(job, QStringLiteral("New from template..."), {}, &MainWindow::onNewFromTemplate)
      ->setToolTip(QStringLiteral("A new job whose imported boards are placed, panelized and "
                                  "marked by a panel template"));
  item(job, QStringLiteral("&Open"), QKeySequence(Qt::Key_F3), &MainWindow::onOpen);
  item(job, QStringLiteral("&Save"), QKeySequence(Qt::Key_F2), [this] { onSave(); });
  item(job, QStringLiteral("Save as..."), {}, [this] { onSaveAs(); });
  item(job, QStringLiteral("&Close"), {}, &MainWindow::onClose);
  job->addSeparator();
  item(job, QStringLiteral("&Print"), {}, &MainWindow::onPrint);
  item(job, QStringLiteral("E&xport photoplotter bitmap"), QKeySequence(Qt::Key_F4),
       &MainWindow::onExport)
      ->setToolTip(QStringLiteral("Export Gerber into BMP format"));
  item(job, QStringLiteral("250 dpi bitmap (CLIP.BMP)"), {}, &MainWindow::onJobBitmap);
  item(job, QStringLiteral("Preview"), QKeySequence(Qt::Key_F6), &MainWindow::onPreview);
  item(job, QStringLiteral("Open plotter file..."), {}, &MainWindow::onOpenPlotterFile);
  item(job, QStringLiteral("Verify film..."), {}, &MainWindow::onVerifyFilm);
  job->addSeparator();
  item(job, QStringLiteral("Import Master Gerber (insert new board)"),
       QKeySequence(Qt::CTRL | Qt::Key_I), &MainWindow::onImportMaster);
  item(job, QStringLiteral("Import associated Gerber's (active layer)"), {},
       &MainWindow::onAddGerber);
  item(job, QStringLiteral("Import apertures (active layer)"), {}, &MainWindow::onImportApertures);
  item(job, QStringLiteral("Import board (folder or zip)"), {}, &MainWindow::onImportBoard);
  item(job, QStringLiteral("Check job"), {}, &MainWindow::onCheckJob);
  job->addSeparator();
  item(job, QStringLiteral("&Exit"), QKeySequence(Qt::ALT | Qt::Key_X), &QWidget::close);

  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  item(edit, QStringLiteral("&Insert mark"), {}, &MainWindow::onInsertMark);
  item(edit, QStringLiteral("Delete board"), QKeySequence(Qt::CTRL | Qt::Key_Delete),
       &MainWindow::onDelete);
  item(edit, QStringLiteral("Lock all boards"), {}, [this] { onLockAll(true); });
  item(edit, QStringLiteral("Unlock all boards"), {}, [this] { onLockAll(false); });
  item(edit, QStringLiteral("Relative move of locked boards "), {}, &MainWindow::onRelativeMove);

  QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
  item(tools, QStringLiteral("&Panelize board"), {}, &MainWindow::onPanelize);
  item(tools, QStringLiteral("Panelize drill"), {}, &MainWindow::onPanelizeDrill);
  item(tools, QStringLiteral("View text file"), {}, &MainWindow::onViewTextFile);
  item(tools, QStringLiteral("Convert aperture"), {}, &MainWindow::onConvertAperture)
      ->setVisible(false);

  QMenu* preference = menuBar()->addMenu(QStringLiteral("&Preference"));
  item(preference, QStringLiteral("Memory settings"), {}, &MainWindow::onMemory);
  item(preference, QStringLiteral("&Plotting area size"), {}, &MainWindow::onPlotArea);
  item(preference, QStringLiteral("Data format"), QKeySequence(Qt::Key_F9),
       &MainWindow::onDataFormat);
  item(preference, QStringLiteral("Aperture table"), QKeySequence(Qt::Key_F8),
       &MainWindow::onApertureTable)
      ->setToolTip(QStringLiteral("Show a& modify aperture table"));
  item(preference, QStringLiteral("&Units"), {}, &MainWindow::onUnits);
  item(preference, QStringLiteral("&Mark"), {}, &MainWindow::onMarks);
  item(preference, QStringLiteral("&Colors"), {}, &MainWindow::onColors);
  item(preference, QStringLiteral("&Tech area"), {}, &MainWindow::onTechArea);

  QMenu* info = menuBar()->addMenu(QStringLiteral("&Info"));
  item(info, QStringLiteral("&About"), {}, &MainWindow::onAbout);
}

void MainWindow::createToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("Tools"));
  bar->setObjectName(QStringLiteral("toolBar"));
  bar->setMovable(false);
  auto button = [this, bar](QStyle::StandardPixmap icon, const QString& text, const QString& hint,
                            auto command) {
    QAction* action = bar->addAction(text);
    if (icon != QStyle::SP_CustomBase) action->setIcon(style()->standardIcon(icon));
    action->setToolTip(hint);
    connect(action, &QAction::triggered, this, command);
    return action;
  };
  const auto kTextOnly = QStyle::SP_CustomBase;
  importTool_ = button(QStyle::SP_FileDialogNewFolder, QStringLiteral("Import"),
                       QStringLiteral("Import master Gerber data"), &MainWindow::onImportMaster);
  button(QStyle::SP_FileDialogDetailedView, QStringLiteral("Panelize"),
         QStringLiteral("Panelize selected board"), &MainWindow::onPanelize);
  button(QStyle::SP_TrashIcon, QStringLiteral("Delete"), QStringLiteral("Delete selected board"),
         &MainWindow::onDelete);
  bar->addSeparator();
  button(QStyle::SP_FileDialogContentsView, QStringLiteral("Preview"), QStringLiteral("Preview"),
         &MainWindow::onPreview);
  button(QStyle::SP_DialogSaveButton, QStringLiteral("Export"),
         QStringLiteral("Export Gerber into bitmap file "), &MainWindow::onExport);
  button(QStyle::SP_ComputerIcon, QStringLiteral("Print"), QStringLiteral("Print preview"),
         &MainWindow::onPrint);
  button(QStyle::SP_FileDialogListView, QStringLiteral("Apertures"),
         QStringLiteral("View & modify aperture table(active board and active layers}"),
         &MainWindow::onApertureTable);
  bar->addSeparator();
  aptTool_ =
      button(kTextOnly, QStringLiteral("Apt"), QStringLiteral("Import apertures (active layer)"),
             &MainWindow::onImportApertures);
  aptTool_->setEnabled(false);  // until a board was selected
  button(kTextOnly, QStringLiteral("Gbr"),
         QStringLiteral("Import associated Gerber's (active layer)"), &MainWindow::onGbrTool);
}

void MainWindow::createBoardMenu() {
  boardMenu_ = new QMenu(this);
  auto item = [this](const QString& text, auto command) {
    QAction* action = boardMenu_->addAction(text);
    connect(action, &QAction::triggered, this, command);
    return action;
  };
  item(QStringLiteral("Set active"), &MainWindow::onSetActive)->setVisible(false);
  item(QStringLiteral("Move to"), &MainWindow::onMoveTo);
  item(QStringLiteral("Lock"), [this] { onPopupLock(true); });
  item(QStringLiteral("Unlock"), [this] { onPopupLock(false); });
  item(QStringLiteral("Add gerber on  active layer"), &MainWindow::onAddGerber);
  item(QStringLiteral("Add aperture on  active layer"), &MainWindow::onImportApertures);
  boardMenu_->addAction(QStringLiteral("Negative this board"))->setVisible(false);
}

void MainWindow::connectView() {
  PlotAreaPanel* area = view_->plotArea();
  connect(area, &PlotAreaPanel::boardPressed, this, &MainWindow::onBoardPressed);
  connect(area, &PlotAreaPanel::boardDragged, this, &MainWindow::onBoardDragged);
  connect(area, &PlotAreaPanel::mouseMoved, this, &MainWindow::onMouseOverPlotArea);
  connect(view_->layerPanel(), &LayerPanelView::activeLayerChanged, this,
          [this](int layer) { job_.storedActiveLayer = layer; });
  connect(status_, &JobStatusBar::doubleClicked, this, &MainWindow::onDataFormat);
}

// MainWindow - Showing and closing
// ============================================================================

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!started_) {
    started_ = true;
    readSettings();
    if (job_.settings.memoryWarningNeeded()) {
      QTimer::singleShot(0, this, [this] { prompts_.inform(this, kMemoryWarning); });
    }
  }
  updateScreenScale();
  showFormatText();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (busy_ || !settleUnsavedJob()) {
    event->ignore();
    return;
  }
  job_.closeJob();
  showBoards();
  event->accept();
}

bool MainWindow::settleUnsavedJob() {
  if (job_.boards.empty()) return true;
  switch (prompts_.askYesNoCancel(this, QString::fromLatin1(kNotSavedQuestion))) {
    case Answer::Yes:
      // A cancelled or failed save keeps the job: nothing is lost unasked.
      return onSaveAs();
    case Answer::No:
      return true;
    case Answer::Cancel:
      break;
  }
  return false;
}

bool MainWindow::runCommand(const std::function<void()>& command) {
  struct Settle {
    std::unique_ptr<PreparedJob>& prepared;
    ~Settle() {
      if (prepared && prepared->decodedBytes() > prepared->budgetBytes()) prepared.reset();
    }
  } settle{prepared_};
  try {
    command();
    return true;
  } catch (const std::bad_alloc&) {
    prepared_.reset();
    prompts_.warn(this, QString::fromLatin1(kNotEnoughMemory));
    return false;
  } catch (const std::exception& error) {
    prompts_.warn(this, QString::fromStdString(error.what()));
    return false;
  }
}

PreparedJob& MainWindow::preparedJob() {
  const uint64_t budget = memoryBudgetBytes(job_.settings.memoryMegabytes);
  if (!prepared_ || prepared_->budgetBytes() != budget) {
    prepared_ = std::make_unique<PreparedJob>(budget);
  }
  return *prepared_;
}

bool MainWindow::confirm(const QString& file, const std::string& finding, const char* question) {
  return prompts_.askYesNo(this, file + QStringLiteral("\r") + toQString(finding) +
                                     QStringLiteral(".\r") + QString::fromLatin1(question)) ==
         Answer::Yes;
}

// MainWindow - Job menu
// ============================================================================

void MainWindow::onNew() {
  if (job_.boards.empty()) {
    panelTemplate_.reset();  // a template's job left before its first import
    return;
  }
  if (!settleUnsavedJob()) return;
  startNewJob(std::nullopt);
}

void MainWindow::startNewJob(std::optional<std::pair<PanelTemplate, std::filesystem::path>> t) {
  panelTemplate_ = std::move(t);
  job_.newJob();
  prepared_.reset();
  jobFileStamp_ = {};
  popupBoard_.reset();
  showBoards();
  showCaption();
}

void MainWindow::onNewFromTemplate() {
  if (!job_.boards.empty() && !settleUnsavedJob()) return;
  FileRequest request;
  request.title = QStringLiteral("New from template: the panel template");
  request.filters = {QStringLiteral("Panel template (*.ini)|*.ini"),
                     QStringLiteral("Any file (*.*)|*.*")};
  const QString chosen = prompts_.openFileName(this, request);
  if (chosen.isEmpty()) return;
  const std::filesystem::path file = toPath(chosen);
  PanelTemplate read;
  if (runCommand([&] { read = readPanelTemplate(file); })) startNewJob({{std::move(read), file}});
}

void MainWindow::onClose() {
  if (job_.boards.empty() || !settleUnsavedJob()) return;
  job_.closeJob();
  prepared_.reset();
  panelTemplate_.reset();
  popupBoard_.reset();
  showBoards();
}

void MainWindow::onOpen() {
  if (!job_.boards.empty() &&
      prompts_.askYesNo(this, QString::fromLatin1(kNotSavedQuestion)) == Answer::Yes && !onSave()) {
    return;  // the job could not be saved: it stays
  }
  QString file = prompts_.openFileName(this, projectRequest(QStringLiteral("Open project")));
  if (file.isEmpty()) return;
  panelTemplate_.reset();
  JobFileInfo opened;
  prepared_.reset();
  if (runCommand([&] { opened = openJob(job_, toPath(file)); })) {
    jobFileStamp_ = opened.stamp;
    if (opened.partialBytes > 0) {
      prompts_.inform(this, file + QStringLiteral("\r") +
                                toQString(partialRecordText(opened.partialBytes)) +
                                QStringLiteral("."));
    }
  }
  popupBoard_.reset();
  showBoards();
  showCaption();
}

bool MainWindow::onSave() {
  if (job_.isUnnamed()) return onSaveAs();
  return saveJobTo(toQString(job_.JobName), false);
}

bool MainWindow::onSaveAs() {
  QString file = prompts_.saveFileName(this, projectRequest(QStringLiteral("Save as")));
  if (file.isEmpty()) return false;
  bool saved = saveJobTo(file, true);
  showCaption();
  return saved;
}

// The window holds no lock on the job file between commands: before it
// writes, it looks at the file as it is now, and asks before overwriting
// what another program changed since the window last read or wrote it, or a
// last record cut off (which the job does not hold).
bool MainWindow::saveJobTo(const QString& file, bool saveAs) {
  const std::filesystem::path path = toPath(file);
  JobFileInfo onDisk;
  if (!runCommand([&] { onDisk = JobFileEdit(path).info(); })) return false;
  const bool sameFile = path.string() == job_.JobName && !job_.isUnnamed();
  if (sameFile && onDisk.stamp.exists && jobFileStamp_.exists && onDisk.stamp != jobFileStamp_ &&
      !confirm(file, kJobChangedFinding, kOverwriteQuestion)) {
    return false;
  }
  if (onDisk.partialBytes > 0 &&
      !confirm(file, partialRecordText(onDisk.partialBytes), kSaveWithoutQuestion)) {
    return false;
  }
  JobFileInfo written;
  const bool dropPartialRecord = onDisk.partialBytes > 0;
  if (!runCommand([&] {
        written = saveAs ? saveJobAs(job_, path, dropPartialRecord)
                         : saveJob(job_, path, dropPartialRecord);
      })) {
    return false;
  }
  jobFileStamp_ = written.stamp;
  return true;
}

std::optional<MasterMeasurement> MainWindow::measureGerber(const std::string& file,
                                                           const DataFormat& format) {
  std::filesystem::path path = job_.resolvePath(file);
  JobSettings settings = job_.settings;
  MasterMeasurement measured;
  busy_ = true;
  // The file is read on a worker thread.
  bool read = runCommand([&] {
    measured = runInBackground(
        [path, format, settings] { return measureMasterGerber(path, format, settings); });
    requireReadData(measured.status, file);
  });
  busy_ = false;
  if (!read) return std::nullopt;
  // A file that draws nothing, or may be cut off, is the operator's to judge.
  if (!measured.warnings.empty()) {
    std::string findings;
    for (const std::string& w : measured.warnings) findings += (findings.empty() ? "" : "\r") + w;
    if (!confirm(toQString(file), findings, kImportAnywayQuestion)) return std::nullopt;
  }
  if (!measured.sizeProblem.empty() &&
      !confirm(toQString(file), measured.sizeProblem, kImportAnywayQuestion)) {
    return std::nullopt;
  }
  return measured;
}

void MainWindow::onImportMaster() {
  QString chosen = prompts_.openFileName(this, gerberRequest());
  if (chosen.isEmpty()) return;
  std::string file = toStdString(chosen);
  if (std::optional<MasterMeasurement> measured = measureGerber(file, job_.CurrentFormat)) {
    runCommand([&] { job_.createBoard(file, measured->extents); });
  }
  showBoards();
}

void MainWindow::onAddGerber() {
  if (!job_.BoardSelectedOnce) return;
  QString chosen = prompts_.openFileName(this, gerberRequest());
  if (chosen.isEmpty()) return;  // Cancel names no file
  std::string file = toStdString(chosen);
  // The layer is read in the format of the board that draws it.
  std::optional<size_t> board = job_.lastSelected();
  if (!board || measureGerber(file, job_.boards[*board].format)) {
    runCommand([&] { job_.addGerberOnActiveLayer(file); });
  }
  showBoards();
}

// MainWindow - Edit menu
// ============================================================================

void MainWindow::onInsertMark() {
  std::vector<std::string> names = markChoices(job_.settings.marks);
  if (names.empty()) {
    prompts_.inform(this, QString::fromLatin1(kNoMarkDefined));
    return;
  }
  selectMarkDialog_->load(names);
  if (selectMarkDialog_->exec() != QDialog::Accepted) return;
  int line = selectMarkDialog_->chosenLine();
  if (line < 0) return;
  runCommand([&] { insertMark(job_, line); });
  showBoards();
}

void MainWindow::onDelete() {
  job_.deleteSelected();
  popupBoard_.reset();
  showBoards();
}

void MainWindow::onLockAll(bool locked) {
  job_.setAllLocked(locked);
}

void MainWindow::onRelativeMove() {
  relativeMoveDialog_->load({0.0, 0.0}, job_.settings);
  if (relativeMoveDialog_->exec() != QDialog::Accepted) return;
  InchPoint shift = relativeMoveDialog_->result();
  job_.relativeMoveLocked(shift.x, shift.y);
  showBoards();
}

// MainWindow - Tools menu
// ============================================================================

void MainWindow::onPanelize() {
  if (!canPanelize(job_)) return;
  panelizeDialog_->load(job_.settings.unitText);
  if (panelizeDialog_->exec() != QDialog::Accepted) return;
  panelize(job_, panelizeDialog_->result());
  showBoards();
}

void MainWindow::onViewTextFile() {
  textViewer_->exec();
}

// MainWindow - Preference and Info menus
// ============================================================================

void MainWindow::onMemory() {
  memoryDialog_->load(job_.settings.memoryMegabytes);
  if (memoryDialog_->exec() != QDialog::Accepted) return;
  job_.settings.memoryMegabytes = memoryDialog_->result();
  runCommand([&] { writeMemorySetting(options_.settingsFile, job_.settings.memoryMegabytes); });
}

void MainWindow::onPlotArea() {
  plotAreaDialog_->load(job_.settings);
  if (plotAreaDialog_->exec() == QDialog::Accepted) {
    PlotAreaSize size = plotAreaDialog_->result();
    runCommand(
        [&] { writePlotAreaSettings(options_.settingsFile, size.PlotWidth, size.PlotHeight); });
  }
  // Ok or Cancel: the window takes its settings from the file again.
  readSettings();
  updateScreenScale();
}

void MainWindow::onDataFormat() {
  dataFormatDialog_->load(job_.CurrentFormat);
  if (dataFormatDialog_->exec() == QDialog::Accepted)
    job_.CurrentFormat = dataFormatDialog_->result();
  showFormatText();
}

void MainWindow::onUnits() {
  std::string unitText;
  if (!runCommand([&] { unitText = readUnitSetting(options_.settingsFile); })) return;
  unitDialog_->load(unitText);
  if (unitDialog_->exec() != QDialog::Accepted) return;
  job_.settings.setUnit(unitDialog_->result());
  runCommand([&] { writeUnitSetting(options_.settingsFile, job_.settings.unitText); });
  showUnit();
  showFormatText();
}

void MainWindow::onMarks() {
  markTableDialog_->load(job_.settings.marks);
  if (markTableDialog_->exec() != QDialog::Accepted) return;
  job_.settings.marks = markTableDialog_->result();
  runCommand([&] { writeMarkSettings(options_.settingsFile, job_.settings.marks); });
}

void MainWindow::onColors() {
  layerColorsDialog_->load({job_.settings.LayerNames, job_.settings.LayerColors});
  if (layerColorsDialog_->exec() != QDialog::Accepted) return;
  LayerLook look = layerColorsDialog_->result();
  job_.settings.LayerNames = look.names;
  job_.settings.LayerColors = look.colors;
  runCommand([&] { writeLayerSettings(options_.settingsFile, look.names, look.colors); });
  view_->layerPanel()->setNames(look.names);
}

void MainWindow::onTechArea() {
  techAreaDialog_->load(job_.settings.tech, job_.settings.unitText);
  if (techAreaDialog_->exec() != QDialog::Accepted) return;
  job_.settings.tech = techAreaDialog_->result();
  runCommand([&] { writeTechAreaSettings(options_.settingsFile, job_.settings.tech); });
}

void MainWindow::onAbout() {
  aboutDialog_->exec();
}

// MainWindow - Boards: mouse and pop-up menu
// ============================================================================

void MainWindow::onBoardPressed(size_t index, Qt::MouseButton button, QPoint position) {
  if (index >= job_.boards.size()) return;
  if (button != Qt::LeftButton && button != Qt::RightButton) return;
  if (button == Qt::LeftButton) pressPoint_ = position;
  job_.selectBoard(index);
  showBoards();
  if (button == Qt::RightButton) {
    popupBoard_ = index;
    PlotAreaPanel* area = view_->plotArea();
    boardMenu_->popup(area->mapToGlobal(area->board(index).rect.topLeft() + position));
  }
}

void MainWindow::onBoardDragged(size_t index, QPoint position) {
  if (index >= job_.boards.size()) return;
  DragResult dragged =
      job_.dragBoard(index, pressPoint_.x(), pressPoint_.y(), position.x(), position.y());
  if (dragged == DragResult::Locked) {
    prompts_.inform(this, QString::fromLatin1(kBoardLockedMessage));
    return;
  }
  clearStaleMarks();
  view_->plotArea()->showBoard(index, job_.boards[index]);
}

void MainWindow::onMouseOverPlotArea(QPoint position) {
  status_->setPanelText(
      JobStatusBar::MousePanel,
      toQString(mousePositionText(position.x(), position.y(), job_.ScreenScale, job_.settings)));
  showFormatText();
}

std::optional<size_t> MainWindow::popupBoard() const {
  if (popupBoard_ && *popupBoard_ < job_.boards.size()) return popupBoard_;
  return std::nullopt;
}

void MainWindow::onMoveTo() {
  std::optional<size_t> index = popupBoard();
  if (!index) return;
  const Board& board = job_.boards[*index];
  moveToDialog_->load({board.PosX, board.PosY}, job_.settings);
  if (moveToDialog_->exec() != QDialog::Accepted) return;
  InchPoint to = moveToDialog_->result();
  job_.moveTo(*index, to.x, to.y);
  showBoards();
}

void MainWindow::onPopupLock(bool locked) {
  if (std::optional<size_t> index = popupBoard()) job_.setLocked(*index, locked);
}

void MainWindow::onSetActive() {
  if (std::optional<size_t> index = popupBoard()) job_.selectBoard(*index);
  showBoards();
}

// MainWindow - Bringing the window up to date
// ============================================================================

void MainWindow::readSettings() {
  bool loaded = runCommand([&] { job_.settings = loadSettings(options_.settingsFile); });
  if (!loaded) {
    // The unit key could not be written: the values read still serve.
    runCommand([&] { job_.settings = drumplot::readSettings(options_.settingsFile); });
  }
  for (const std::string& note : job_.settings.readNotes) prompts_.inform(this, toQString(note));
  view_->layerPanel()->setNames(job_.settings.LayerNames);
  showUnit();
}

void MainWindow::updateScreenScale() {
  QSize screenSize = options_.screen;
  if (!screenSize.isValid()) screenSize = screen()->size();
  job_.ScreenScale = screenScale(screenSize.width(), screenSize.height(), job_.settings.PlotWidth,
                                 job_.settings.PlotHeight);
  view_->setPlotAreaSize(QSize(job_.plotAreaWidth_px(), job_.plotAreaHeight_px()));
  showUnit();
}

void MainWindow::showBoards() {
  clearStaleMarks();
  view_->plotArea()->showBoards(job_.boards);
  view_->layerPanel()->showFiles(job_.panel);
  aptTool_->setEnabled(job_.BoardSelectedOnce);
}

void MainWindow::showUnit() {
  const JobSettings& settings = job_.settings;
  QString unit = toQString(settings.unitText);
  status_->setPanelText(JobStatusBar::UnitPanel, unit);
  view_->plotArea()->setLook(toQString(plotAreaCaption(settings)), toQColor(settings.panelColor));
  double unitsPerPixel = settings.toDisplay(1.0 / job_.ScreenScale);
  view_->topRuler()->setScale(unit, unitsPerPixel, Ruler::kThickness_px);
  view_->leftRuler()->setScale(unit, unitsPerPixel, 0);
}

void MainWindow::showFormatText() {
  QString format = toQString(formatText(job_.CurrentFormat));
  status_->setPanelText(JobStatusBar::FormatPanel, format);
  importTool_->setToolTip(displayText(
      QStringLiteral("Import master Gerber(insert new board)\rCurrent format :") + format));
}

void MainWindow::showCaption() {
  setWindowTitle(toQString(job_.JobName));
}

void MainWindow::showProgress() {
  QString text;
  if (progress_.busy) text = toQString(progressText(toStdString(workFile_), progress_.fraction));
  status_->setPanelText(JobStatusBar::ProgressPanel, text);
}

}  // namespace drumplot
