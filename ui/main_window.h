// SPDX-License-Identifier: MIT
// MainWindow: the job editor's window. It owns the job, shows it (plotting
// area with boards, rulers, layer panel, status bar) and dispatches every
// command to job/; the dialogs live as long as the window.
#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QSize>
#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "engine/interpreter.h"
#include "io/file_io.h"
#include "job/gerber_import.h"
#include "job/job.h"
#include "job/panel_template.h"

class QMenu;
class QPrinter;

namespace drumplot {

class AboutDialog;
class ApertureImportDialog;
class ApertureTableDialog;
class BoardImportDialog;
class CheckDialog;
class CoordinatesDialog;
class DataFormatDialog;
class DrillPanelDialog;
class ExportDialog;
class JobStatusBar;
class JobView;
class LayerColorsDialog;
class MarkTableDialog;
class MemoryDialog;
class PanelizeDialog;
class PlotAreaDialog;
class PreviewWindow;
class SelectMarkDialog;
class TechAreaDialog;
class TextViewer;
class UnitDialog;
class UserPrompts;

class PreparedJob;
class WorkerPool;
struct PlotterExportSettings;
struct PreflightReport;

struct MainWindowOptions {
  std::filesystem::path settingsFile;  // GerbPrj.ini
  UserPrompts* prompts = nullptr;      // not owned; the desktop's own when null
  QSize screen;  // screen size for ScreenScale; the window's screen when empty
  // The program's folder (the default export name, Clip.Bmp); when empty,
  // the executable's folder if it is writable, else the settings file's.
  std::filesystem::path programFolder = {};
  // Sets up the printer for Print; the system print dialog when empty.
  std::function<bool(QWidget* parent, QPrinter& printer)> choosePrinter = {};
};

// Texts of the window's own messages.
inline constexpr const char* kNotSavedQuestion = "File not saved !\rSave it";
inline constexpr const char* kConverterWaitMessage =
    "Use OK to continue after aperture conversion is done";
inline constexpr const char* kNotEnoughMemory =
    "Not enough memory to finish this command (for an output, a lower resolution may fit)";
// Questions put as "<file>\r<finding>.\r<question>".
inline constexpr const char* kJobChangedFinding =
    "was changed by another program since it was opened or saved here";
inline constexpr const char* kOverwriteQuestion = "Overwrite those changes?";
inline constexpr const char* kSaveWithoutQuestion = "Save the job without it?";
inline constexpr const char* kImportAnywayQuestion = "Import it all the same?";

class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(MainWindowOptions options, QWidget* parent = nullptr);
  ~MainWindow() override;

  const Job& job() const { return job_; }
  JobView* view() const { return view_; }
  JobStatusBar* statusPanels() const { return status_; }
  QMenu* boardMenu() const { return boardMenu_; }

  // Long work (rendering) publishes its progress here and the name of the
  // file it works on; status panel 4 shows them every 333 ms while busy.
  Progress& workProgress() { return progress_; }
  void setWorkFile(const QString& file) { workFile_ = file; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // A board folder or zip dropped on the window is imported.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Set-up
  void createMenus();
  void createToolBar();
  void createBoardMenu();
  void connectView();

  // Job menu
  void onNew();
  void onNewFromTemplate();
  // An empty job, remembering the template its imports go by (or none).
  void startNewJob(std::optional<std::pair<PanelTemplate, std::filesystem::path>> t);
  void onOpen();
  bool onSave();
  bool onSaveAs();
  void onClose();
  void onImportMaster();
  void onAddGerber();
  // Edit menu
  void onInsertMark();
  void onDelete();
  void onLockAll(bool locked);
  void onRelativeMove();
  // Tools, Preference and Info menus
  void onPanelize();
  void onViewTextFile();
  void onMemory();
  void onPlotArea();
  void onDataFormat();
  void onUnits();
  void onMarks();
  void onColors();
  void onTechArea();
  void onAbout();
  // Output, preview, print, aperture and drill commands (main_window_commands.cpp)
  void onExport();
  void onJobBitmap();
  void onPreview();
  void onOpenPlotterFile();
  void onVerifyFilm();
  void onPrint();
  void onApertureTable();
  void onGbrTool();  // the aperture table first, then Add Gerber
  void onImportApertures();
  void onConvertAperture();
  void onPanelizeDrill();
  // Board import and the check before plotting (main_window_board.cpp)
  void onImportBoard();
  void importBoard(const std::filesystem::path& source);
  void placeByJobTemplate(size_t index);
  void onCheckJob();
  // The check of an export about to start: true when it goes on (no
  // problem, or the operator chose to go on).
  bool checkBeforeExport(const PlotterExportSettings& settings);
  PreflightReport runCheck(const PlotterExportSettings& settings);
  // Boards the check found problems with are outlined until the job changes.
  void markCheckedBoards(const PreflightReport& report);
  void clearStaleMarks();
  // Long work of those commands on a worker thread, with panel 4 showing
  // its progress and a Cancel button setting `cancelled`.
  template <typename Work>
  auto runWork(const QString& title, std::atomic<bool>& cancelled, Work work);
  std::filesystem::path programFolder() const;
  // Boards: mouse and pop-up menu
  void onBoardPressed(size_t index, Qt::MouseButton button, QPoint position);
  void onBoardDragged(size_t index, QPoint position);
  void onMouseOverPlotArea(QPoint position);
  void onMoveTo();
  void onPopupLock(bool locked);
  void onSetActive();

  // "File not saved !" before New, Close and closing the window: true when
  // the flow goes on (No, or Yes and the job was saved).
  bool settleUnsavedJob();
  // Runs one command's file work; an error is shown and false returned.
  // Afterwards the prepared job is let go when it holds more than the
  // memory setting.
  bool runCommand(const std::function<void()>& command);
  // The layer files as earlier commands read them, for the next one: kept
  // while the files and the memory setting stay as they were.
  PreparedJob& preparedJob();
  // Asks "<file>\r<finding>.\r<question>"; true on Yes.
  bool confirm(const QString& file, const std::string& finding, const char* question);
  // Save and Save as: true when the job was written.
  bool saveJobTo(const QString& file, bool saveAs);
  // Reads a Gerber file's extents on a worker thread; nothing when it cannot
  // be read, or the operator declines a file that draws nothing, may be cut
  // off, or has a size no plot can mean.
  std::optional<MasterMeasurement> measureGerber(const std::string& file, const DataFormat& format);
  std::optional<size_t> popupBoard() const;
  // The export dialog's film scale: the job's template's, else the settings'.
  FilmScale filmScalePreset() const;

  // Bringing the window up to date
  void readSettings();
  void updateScreenScale();
  void showBoards();
  void showUnit();
  void showFormatText();
  void showCaption();
  void showProgress();

  MainWindowOptions options_;
  std::unique_ptr<UserPrompts> ownPrompts_;
  UserPrompts& prompts_;
  Job job_;
  FileStamp jobFileStamp_;  // the job file as the window last read or wrote it
  Progress progress_;
  QString workFile_;
  std::optional<size_t> popupBoard_;
  QPoint pressPoint_;  // where the left button went down on a board
  bool started_ = false;
  bool busy_ = false;                 // long work is running: the window cannot close
  std::vector<Board> checkedBoards_;  // the boards as the marks' check saw them
  std::unique_ptr<PreparedJob> prepared_;
  // New from template: the template (and its file) that places, panelizes
  // and marks every board the job imports; none for a job started otherwise.
  std::optional<std::pair<PanelTemplate, std::filesystem::path>> panelTemplate_;
  std::unique_ptr<WorkerPool> workers_;  // the outputs' threads, started once
  std::filesystem::path plotterFile_;    // the plotter file last opened

  JobView* view_;
  JobStatusBar* status_;
  QMenu* boardMenu_ = nullptr;
  QAction* importTool_ = nullptr;
  QAction* aptTool_ = nullptr;

  // The dialogs, children of the window.
  DataFormatDialog* dataFormatDialog_;
  UnitDialog* unitDialog_;
  PlotAreaDialog* plotAreaDialog_;
  LayerColorsDialog* layerColorsDialog_;
  PanelizeDialog* panelizeDialog_;
  CoordinatesDialog* moveToDialog_;
  CoordinatesDialog* relativeMoveDialog_;
  MarkTableDialog* markTableDialog_;
  SelectMarkDialog* selectMarkDialog_;
  TechAreaDialog* techAreaDialog_;
  MemoryDialog* memoryDialog_;
  TextViewer* textViewer_;
  AboutDialog* aboutDialog_;
  ExportDialog* exportDialog_;
  PreviewWindow* previewWindow_;
  ApertureTableDialog* apertureTableDialog_;
  ApertureImportDialog* apertureImportDialog_;
  DrillPanelDialog* drillPanelDialog_;
  BoardImportDialog* boardImportDialog_;
  CheckDialog* checkDialog_;
};

}  // namespace drumplot
