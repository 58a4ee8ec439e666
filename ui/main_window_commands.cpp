// SPDX-License-Identifier: MIT
// The main window's commands that read the layer files: the photoplotter
// export, the job bitmap, preview and print, the aperture table and import,
// and the drill panelization.
#include <unistd.h>

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>
#include <filesystem>
#include <string>
#include <variant>

#include "apertures/aperture_converter.h"
#include "apertures/aperture_file.h"
#include "apertures/aperture_list_conversion.h"
#include "apertures/layer_aperture_table.h"
#include "drill/drill_overview.h"
#include "drill/drill_panel.h"
#include "engine/errors.h"
#include "job/aperture_attachment.h"
#include "job/board_import.h"
#include "job/display_text.h"
#include "output/film_compare.h"
#include "output/film_export.h"
#include "output/job_bitmap.h"
#include "output/job_preview.h"
#include "output/plotter_export.h"
#include "output/prepared_job.h"
#include "ui/aperture_import_dialog.h"
#include "ui/aperture_table_dialog.h"
#include "ui/background_work.h"
#include "ui/drill_panel_dialog.h"
#include "ui/export_dialog.h"
#include "ui/image_conversion.h"
#include "ui/main_window.h"
#include "ui/plot_area_panel.h"
#include "ui/plotter_file_view.h"
#include "ui/preview_window.h"
#include "ui/qt_conversions.h"
#include "ui/user_prompts.h"
#include "ui/work_dialog.h"

namespace drumplot {

namespace {

bool systemPrintDialog(QWidget* parent, QPrinter& printer) {
  QPrintDialog dialog(&printer, parent);
  return dialog.exec() == QDialog::Accepted;
}

// Panel 4 shows `file` and the fraction the output reports, from now until
// the work ends.
void watchOutput(MainWindow& window, Progress& output, const std::filesystem::path& file) {
  Progress& shown = window.workProgress();
  output.onChange = [&shown](const Progress& p) { shown.fraction = p.fraction.load(); };
  window.setWorkFile(toQString(file.string()));
  shown.fraction = 0.0;
  shown.busy = true;
}

// The busy cursor while long work runs.
class BusyCursor {
 public:
  BusyCursor() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }
  ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

// MainWindow - Long work
// ============================================================================

template <typename Work>
auto MainWindow::runWork(const QString& title, std::atomic<bool>& cancelled, Work work) {
  BusyCursor cursor;
  busy_ = true;
  auto status = [this] {
    return progress_.busy ? toQString(progressText(toStdString(workFile_), progress_.fraction))
                          : QStringLiteral("Work ") + workFile_;
  };
  struct Done {
    MainWindow* window;
    ~Done() {
      window->busy_ = false;
      window->progress_.busy = false;
      window->showProgress();
    }
  } done{this};
  return runCancellable(this, title, status, cancelled, std::move(work));
}

std::filesystem::path MainWindow::programFolder() const {
  if (!options_.programFolder.empty()) return options_.programFolder;
  std::filesystem::path folder = programDirectory();
  if (!folder.empty() && ::access(folder.c_str(), W_OK) == 0) return folder;
  return options_.settingsFile.parent_path();
}

// MainWindow - Photoplotter export and job bitmap
// ============================================================================

namespace {

// What reading the layer files found to say, a line each.
QString warningLines(const std::vector<std::string>& warnings) {
  QString lines;
  for (const std::string& w : warnings) lines += QStringLiteral("\r") + toQString(w);
  return QStringLiteral("Warnings:") + lines;
}

}  // namespace

FilmScale MainWindow::filmScalePreset() const {
  JobSettings settings = job_.settings;
  if (panelTemplate_) applyPanelTemplate(panelTemplate_->first, settings);
  return settings.filmScale;
}

void MainWindow::onExport() {
  exportDialog_->load(ExportDialog::Mode::Export, job_.settings.LayerNames, filmScalePreset());
  if (exportDialog_->exec() != QDialog::Accepted) return;
  FilmSettings settings = exportDialog_->filmSettings();
  settings.plotter.run.budgetBytes = memoryBudgetBytes(job_.settings.memoryMegabytes);
  if (!checkBeforeExport(settings.plotter)) return;
  Progress exportProgress;
  settings.plotter.run.progress = &exportProgress;
  settings.plotter.run.prepared = &preparedJob();
  settings.plotter.run.workers = workers_.get();
  watchOutput(*this, exportProgress, settings.plotter.file);
  FilmExportSummary summary;
  bool written = runCommand([&] {
    summary = runWork(QStringLiteral("Export photoplotter bitmap"), exportProgress.cancelled,
                      [&] { return exportFilms(job_, settings); });
  });
  if (!written || summary.cancelled || summary.films.empty()) return;
  // The overview of the first film (of all chosen layers, unless one per layer).
  previewWindow_->showImage(toQImage(summary.films.front().overview()));
  std::vector<std::string> warnings;
  for (const FilmSummary& film : summary.films) {
    for (const std::string& w : film.raster().warnings) {
      if (std::find(warnings.begin(), warnings.end(), w) == warnings.end()) warnings.push_back(w);
    }
  }
  if (!warnings.empty()) {
    prompts_.inform(this, toQString(settings.plotter.file.string()) +
                              QStringLiteral(" was written.\r") + warningLines(warnings));
  }
}

void MainWindow::onJobBitmap() {
  exportDialog_->load(ExportDialog::Mode::JobBitmap, job_.settings.LayerNames);
  if (exportDialog_->exec() != QDialog::Accepted) return;
  JobBitmapSettings settings = exportDialog_->jobBitmapSettings();
  settings.file = programFolder() / kJobBitmapFileName;
  settings.run.budgetBytes = memoryBudgetBytes(job_.settings.memoryMegabytes);
  Progress exportProgress;
  settings.run.progress = &exportProgress;
  settings.run.prepared = &preparedJob();
  settings.run.workers = workers_.get();
  watchOutput(*this, exportProgress, settings.file);
  JobBitmapSummary summary;
  bool written = runCommand([&] {
    summary = runWork(QStringLiteral("250 dpi bitmap"), exportProgress.cancelled,
                      [&] { return writeJobBitmap(job_, settings); });
  });
  if (!written || summary.cancelled) return;
  QString message = QString::fromLatin1(kJobBitmapMessage) + toQString(settings.file.string());
  if (!summary.raster.warnings.empty()) {
    message += QStringLiteral("\r") + warningLines(summary.raster.warnings);
  }
  prompts_.inform(this, message);
}

// MainWindow - Preview and print
// ============================================================================

namespace {

// Publishes each layer file for panel 4 (from the worker thread); the
// drawing's progress is the window's own.
void watchLayers(MainWindow* window, Progress& progress) {
  progress.layerStarted = [window](const std::string& file) {
    QMetaObject::invokeMethod(
        window, [window, shown = toQString(file)] { window->setWorkFile(shown); },
        Qt::QueuedConnection);
  };
}

// The chosen layers that some board draws on, in their colours, and
// whether the picture is mirrored.
PreviewLegend previewLegend(const Job& job, const JobPreviewSettings& settings) {
  PreviewLegend legend;
  for (size_t n = 0; n < settings.draw.layers.size(); ++n) {
    const bool drawn = std::any_of(job.boards.begin(), job.boards.end(), [n](const Board& board) {
      return !board.LayerGerber[n].empty();
    });
    if (!settings.draw.layers[n] || !drawn) continue;
    legend.layers.push_back(
        {toQColor(job.settings.LayerColors[n]),
         QString::number(n + 1) + QLatin1Char(' ') + toQString(job.settings.LayerNames[n])});
  }
  // The data are drawn with Y growing downwards, so "on" shows them turned
  // top to bottom and "off" (which turns the picture) as a viewer shows them.
  legend.mirror = settings.mirror ? QStringLiteral(
                                        "Mirrored: \"Mirror horizontal\" is on (top "
                                        "and bottom swapped against the Gerber data)")
                                  : QStringLiteral(
                                        "Not mirrored: \"Mirror horizontal\" is off "
                                        "(the Gerber data as a viewer shows them)");
  return legend;
}

}  // namespace

void MainWindow::onPreview() {
  exportDialog_->load(ExportDialog::Mode::Preview, job_.settings.LayerNames);
  if (exportDialog_->exec() != QDialog::Accepted) return;
  JobPreviewSettings settings = exportDialog_->previewSettings();
  QSize area = previewWindow_->previewAreaSize();
  progress_.cancelled = false;
  watchLayers(this, progress_);
  JobPreview preview;
  PreparedJob& prepared = preparedJob();
  bool drawn = runCommand([&] {
    preview = runWork(QStringLiteral("Preview"), progress_.cancelled, [&] {
      return renderJobPreview(job_, settings, area.width(), area.height(), &progress_, &prepared);
    });
  });
  if (!drawn || preview.cancelled) return;
  QApplication::beep();
  previewWindow_->showPreview(toQImage(preview.image), previewLegend(job_, settings),
                              settings.zoom == 1);
}

// The plotter file opens in a window of its own, which reads it in the
// background; the chooser starts at the file last opened, else at the export's.
void MainWindow::onOpenPlotterFile() {
  FileRequest request;
  request.title = QStringLiteral("Open plotter file");
  request.filters = {QStringLiteral("Plotter file (*.fpf)|*.fpf;*.FPF"),
                     QStringLiteral("All extension (*.*)|*.*")};
  request.startFile =
      toQString((plotterFile_.empty() ? exportDialog_->exportName() : plotterFile_).string());
  const QString file = prompts_.openFileName(this, request);
  if (file.isEmpty()) return;
  plotterFile_ = toPath(file);
  auto* view =
      new PlotterFileView(plotterFile_, memoryBudgetBytes(job_.settings.memoryMegabytes), this);
  view->show();
}

// A film on disk checked against the job drawn with the output dialog's
// settings (the film as the export would write it): the findings, and the
// picture of the differences when there are any.
void MainWindow::onVerifyFilm() {
  exportDialog_->load(ExportDialog::Mode::Export, job_.settings.LayerNames, filmScalePreset());
  if (exportDialog_->exec() != QDialog::Accepted) return;
  FilmSettings settings = exportDialog_->filmSettings();
  FileRequest request;
  request.title = QStringLiteral("Verify film");
  request.filters = {
      QStringLiteral("Film (*.fpf *.tif *.tiff *.bmp)|*.fpf;*.FPF;*.tif;*.TIF;*.tiff;*.bmp;*.BMP"),
      QStringLiteral("All extension (*.*)|*.*")};
  request.startFile = toQString(settings.plotter.file.string());
  const QString chosen = prompts_.openFileName(this, request);
  if (chosen.isEmpty()) return;
  const std::filesystem::path film = toPath(chosen);
  settings.plotter.run.budgetBytes = memoryBudgetBytes(job_.settings.memoryMegabytes);
  Progress progress;
  settings.plotter.run.progress = &progress;
  settings.plotter.run.prepared = &preparedJob();
  settings.plotter.run.workers = workers_.get();
  DiffPictureSettings diff;
  diff.file = std::filesystem::temp_directory_path() /
              ("drumplot-verify-" + std::to_string(::getpid()) + ".png");
  diff.width = 1000;
  FilmComparison result;
  const bool compared = runCommand([&] {
    result = runWork(QStringLiteral("Verify film"), progress.cancelled,
                     [&] { return verifyFilm(job_, settings, film, diff); });
  });
  QImage picture;
  if (compared && !result.cancelled && !result.identical())
    picture.load(toQString(diff.file.string()));
  std::error_code ignored;
  std::filesystem::remove(diff.file, ignored);
  if (!compared || result.cancelled) return;
  if (!picture.isNull()) previewWindow_->showImage(picture);
  prompts_.inform(this, toQString(comparisonText(film.string(), result,
                                                 matchesWith(result, settings.plotter.mirror,
                                                             settings.plotter.negative))));
}

void MainWindow::onPrint() {
  QPrinter printer(QPrinter::HighResolution);
  auto choosePrinter = options_.choosePrinter ? options_.choosePrinter : systemPrintDialog;
  if (!choosePrinter(this, printer)) return;
  exportDialog_->load(ExportDialog::Mode::Preview, job_.settings.LayerNames);
  if (exportDialog_->exec() != QDialog::Accepted) return;
  DrawSettings settings = exportDialog_->drawSettings();
  QRect printable = printer.pageLayout().paintRectPixels(printer.resolution());
  PrinterPage page{printable.width(), printable.height(),
                   static_cast<double>(printer.logicalDpiX()),
                   static_cast<double>(printer.logicalDpiY())};
  progress_.cancelled = false;
  watchLayers(this, progress_);
  JobPrint print;
  PreparedJob& prepared = preparedJob();
  bool drawn = runCommand([&] {
    print = runWork(QStringLiteral("Print"), progress_.cancelled,
                    [&] { return renderJobPrint(job_, settings, page, &progress_, &prepared); });
  });
  if (!drawn || print.cancelled) return;
  QPainter painter;
  if (!painter.begin(&printer)) {
    prompts_.warn(this, QStringLiteral("The printer cannot be started"));
    return;
  }
  painter.drawImage(QPoint(5, 5), toQImage(print.image));
  painter.end();
}

// MainWindow - Aperture table and aperture import
// ============================================================================

void MainWindow::onApertureTable() {
  if (!job_.BoardSelectedOnce) return;
  std::optional<size_t> selected = job_.lastSelected();
  if (!selected) return;
  const Board* board = &job_.boards[*selected];
  const size_t layer = static_cast<size_t>(job_.activeLayer() - 1);
  // Whole: a name cut short would read, and save into, some other file.
  const std::string& apertureFile = board->LayerAperture[layer];
  const std::string gerber = board->LayerGerber[layer].empty()
                                 ? std::string()
                                 : job_.resolvePath(board->LayerGerber[layer]).string();
  const std::string apertures =
      apertureFile.empty() ? std::string() : job_.resolvePath(apertureFile).string();
  const DataFormat format = board->format;
  const QString listed = QStringLiteral("Board ") + boardLabel(*board, *selected) +
                         QStringLiteral(", layer ") + QString::number(layer + 1) +
                         QLatin1Char(' ') + toQString(job_.settings.LayerNames[layer]);

  WorkingApertureTable table;
  std::string unread;
  busy_ = true;
  bool built = runCommand([&] {
    table = runInBackground([&] { return layerApertureTable(gerber, apertures, format, &unread); });
  });
  busy_ = false;
  if (!built) return;
  if (!unread.empty()) {
    prompts_.warn(this, toQString(unread));
  }
  apertureTableDialog_->load(table, listed);
  apertureTableDialog_->exec();
  if (!apertureTableDialog_->saveRequested()) return;

  std::string target = apertures;
  if (target.empty()) {
    FileRequest request;
    request.title = QStringLiteral("Save aperture file");
    request.filters = {QStringLiteral("Aperture file|*.Env"), QStringLiteral("All files|*.*")};
    request.defaultSuffix = QStringLiteral("env");
    target = toStdString(prompts_.saveFileName(this, request));
    if (target.empty()) return;
  }
  runCommand([&] { SaveApertureFile(apertureTableDialog_->result(), target); });
}

void MainWindow::onGbrTool() {
  onApertureTable();
  onAddGerber();
}

void MainWindow::onImportApertures() {
  if (!job_.BoardSelectedOnce) return;
  apertureImportDialog_->load();
  if (apertureImportDialog_->exec() != QDialog::Accepted) return;
  ApertureImportChoice choice = apertureImportDialog_->result();
  const std::string file = toStdString(choice.file);
  std::string attached;
  bool imported = runCommand([&] {
    switch (apertureImportAction(choice.filterIndex, choice.useConverter)) {
      case ApertureImportAction::AttachUnchanged: {
        // Read as every drawing will read it: a file that is no aperture file is refused now.
        ApertureTable check;
        LoadApertureFile(check, file);
        attached = file;
        break;
      }
      case ApertureImportAction::ConvertList: {
        std::string target = convertedApertureFileName(file);
        ApertureListConversion conversion = convertApertureListFile(
            file, static_cast<ApertureListType>(choice.filterIndex), target);
        attached = target;
        if (std::string message = conversion.customMessage(); !message.empty()) {
          prompts_.inform(this, toQString(message));
        }
        break;
      }
      case ApertureImportAction::ExternalConverter: {
        std::filesystem::path workDir = std::filesystem::current_path();
        ConverterProcess converter = beginExternalConversion(file, programDirectory(), workDir);
        prompts_.inform(this, QString::fromLatin1(kConverterWaitMessage));
        std::string target = convertedApertureFileName(file);
        finishExternalConversion(target, workDir);
        attached = target;
        break;
      }
      case ApertureImportAction::ClearEntry:
        break;
    }
  });
  if (imported) runCommand([&] { attachApertureFile(job_, attached); });
  showBoards();
}

void MainWindow::onConvertAperture() {
  FileRequest request;
  request.title = QStringLiteral("Convert aperture");
  request.filters = {QStringLiteral("file of aperture|*.*")};
  QString file = prompts_.openFileName(this, request);
  if (file.isEmpty()) return;
  // Started and not waited for.
  runCommand([&] { startConverter(programDirectory(), {toStdString(file)}); });
}

// MainWindow - Drill panelization
// ============================================================================

void MainWindow::onPanelizeDrill() {
  drillPanelDialog_->load(job_.settings.unitText, makeMarkDrillTable(gatherMarkNames(job_.boards)));
  drillPanelDialog_->offerInput(offeredDrillFile(job_));
  if (drillPanelDialog_->exec() != QDialog::Accepted) return;
  DrillPanelSettings settings = drillPanelDialog_->result();
  // The status line's data format serves drill files that do not state theirs.
  settings.dataFormat = job_.CurrentFormat;
  DrillPanelResult result;
  if (!runCommand([&] { result = panelizeDrillFile(job_, settings); })) return;
  if (!result.formatNote.empty()) prompts_.inform(this, QString::fromStdString(result.formatNote));
  if (result.status != DrillPanelStatus::Written) {
    prompts_.inform(this, QString::fromLatin1(toString(result.status)));
    return;
  }
  const DrillPanel& panel = result.panel;
  previewWindow_->showImage(toQImage(drillOverview(job_.boards, panel.crosses, panel.paths)));
  if (!result.warnings.empty()) {
    prompts_.inform(this, toQString(settings.outputFile) + QStringLiteral(" was written.\r") +
                              warningLines(result.warnings));
  }
}

}  // namespace drumplot
