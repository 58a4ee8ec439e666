// SPDX-License-Identifier: MIT
// The main window's board import (Job > Import board, or a folder or zip
// dropped on the window) and the check before plotting (Job > Check job,
// and before every export), with the marks it leaves on the boards.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "job/board_archive.h"
#include "job/board_import.h"
#include "job/layer_roles.h"
#include "output/preflight.h"
#include "output/prepared_job.h"
#include "ui/background_work.h"
#include "ui/board_import_dialog.h"
#include "ui/check_dialog.h"
#include "ui/export_dialog.h"
#include "ui/job_view.h"
#include "ui/main_window.h"
#include "ui/plot_area_panel.h"
#include "ui/qt_conversions.h"
#include "ui/user_prompts.h"

namespace drumplot {

namespace {

namespace fs = std::filesystem;

const QColor kErrorMark(0xFF, 0x00, 0xFF);    // magenta: neither board colour
const QColor kWarningMark(0xFF, 0xA0, 0x00);  // orange

// A folder, or a zip file, that a board can be imported from.
bool isBoardSource(const fs::path& path) {
  std::error_code ec;
  return fs::is_directory(path, ec) || (fs::is_regular_file(path, ec) && isZipFile(path));
}

// The one board folder or zip a drag carries, or nothing.
std::optional<fs::path> droppedSource(const QMimeData* mime) {
  if (!mime || !mime->hasUrls() || mime->urls().size() != 1) return std::nullopt;
  const QUrl url = mime->urls().front();
  if (!url.isLocalFile()) return std::nullopt;
  fs::path path = toPath(url.toLocalFile());
  return isBoardSource(path) ? std::optional(path) : std::nullopt;
}

// What a check depends on: where the boards are and what they draw.
bool sameForCheck(const std::vector<Board>& a, const std::vector<Board>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Board& x, const Board& y) {
    return x.PosX == y.PosX && x.PosY == y.PosY && x.DataWidth == y.DataWidth &&
           x.DataHeight == y.DataHeight && x.DataMinX == y.DataMinX && x.DataMinY == y.DataMinY &&
           x.LayerGerber == y.LayerGerber && x.LayerAperture == y.LayerAperture &&
           x.format == y.format;
  });
}

}  // namespace

// MainWindow - Board import
// ============================================================================

void MainWindow::onImportBoard() {
  FileRequest request;
  request.title = QStringLiteral("Import board: its zip file, or any file in its folder");
  request.filters = {QStringLiteral("Board zip file (*.zip)|*.zip"),
                     QStringLiteral("Any file in the board's folder (*.*)|*.*")};
  const QString chosen = prompts_.openFileName(this, request);
  if (chosen.isEmpty()) return;
  const fs::path file = toPath(chosen);
  importBoard(isZipFile(file) ? file : file.parent_path());
}

void MainWindow::importBoard(const fs::path& source) {
  const DataFormat format = job_.CurrentFormat;
  const fs::path settings = options_.settingsFile;
  const uint64_t budget = static_cast<uint64_t>(job_.settings.memoryBudgetBytes());
  BoardImportPlan plan;
  busy_ = true;
  const bool planned = runCommand([&] {
    plan = runInBackground(
        [&] { return planBoardImport(source, format, loadLayerMap(settings), {}, budget); });
  });
  busy_ = false;
  if (!planned) return;
  boardImportDialog_->load(plan);
  if (boardImportDialog_->exec() != QDialog::Accepted) return;
  runCommand([&] {
    const size_t index = addImportedBoard(job_, plan, [](const fs::path& file) {
      return fs::absolute(file).lexically_normal().generic_string();
    });
    if (panelTemplate_) placeByJobTemplate(index);
    plan.unpacked.keep();  // refused or cancelled: the zip's files go with the plan
  });
  showBoards();
}

// A board of a job started from a template: placed, panelized and marked
// by it, with the template's tech area for the fit (the window's settings
// stay as they are); when that fails the board is taken out again.
void MainWindow::placeByJobTemplate(size_t index) {
  const auto& [panel, file] = *panelTemplate_;
  const JobSettings kept = job_.settings;
  applyPanelTemplate(panel, job_.settings);
  try {
    placeByTemplate(job_, index, panel, file);
  } catch (...) {
    job_.settings = kept;
    job_.boards.erase(job_.boards.begin() + static_cast<std::ptrdiff_t>(index));
    throw;
  }
  job_.settings = kept;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!busy_ && droppedSource(event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  std::optional<fs::path> source = droppedSource(event->mimeData());
  if (busy_ || !source) return;
  event->acceptProposedAction();
  importBoard(*source);
}

// MainWindow - The check before plotting
// ============================================================================

PreflightReport MainWindow::runCheck(const PlotterExportSettings& settings) {
  PreflightSettings check;
  check.exportSettings = settings;
  check.exportSettings.run.budgetBytes = memoryBudgetBytes(job_.settings.memoryMegabytes);
  check.exportSettings.run.prepared = &preparedJob();
  check.exportSettings.run.workers = workers_.get();
  PreflightReport report;
  busy_ = true;
  runCommand([&] { report = runInBackground([&] { return checkJob(job_, check); }); });
  busy_ = false;
  markCheckedBoards(report);
  return report;
}

void MainWindow::onCheckJob() {
  // The export dialog's resolution, layers (every layer with Gerber data
  // while none is chosen there) and holes; its line widths start at 0.
  PlotterExportSettings settings = exportDialog_->filmSettings().plotter;
  settings.draw.lineWidth_mils = 0.0;
  settings.horizontalLine_mils = 0.0;
  if (settings.draw.layers == OutputLayers{}) settings.draw.layers = layersWithGerber(job_);
  const PreflightReport report = runCheck(settings);
  checkDialog_->load(CheckDialog::Mode::Report, report, settings.dpi);
  checkDialog_->exec();
}

bool MainWindow::checkBeforeExport(const PlotterExportSettings& settings) {
  const PreflightReport report = runCheck(settings);
  // A film that cannot be made is for the export itself to say.
  const bool filmImpossible =
      std::any_of(report.problems.begin(), report.problems.end(),
                  [](const CheckProblem& p) { return p.Kind == CheckKind::FilmImpossible; });
  if (report.problems.empty() || filmImpossible) return true;
  checkDialog_->load(CheckDialog::Mode::BeforeExport, report, settings.dpi);
  return checkDialog_->exec() == QDialog::Accepted;
}

void MainWindow::markCheckedBoards(const PreflightReport& report) {
  std::vector<BoardMark> marks(job_.boards.size());
  for (size_t i = 0; i < marks.size(); ++i) {
    if (std::optional<CheckSeverity> worst = report.boardSeverity(i)) {
      marks[i].outline = *worst == CheckSeverity::Error ? kErrorMark : kWarningMark;
      marks[i].text = toQString(report.boardText(i));
    }
  }
  checkedBoards_ = job_.boards;
  view_->plotArea()->setMarks(std::move(marks));
}

void MainWindow::clearStaleMarks() {
  if (checkedBoards_.empty() || sameForCheck(checkedBoards_, job_.boards)) return;
  checkedBoards_.clear();
  view_->plotArea()->setMarks({});
}

}  // namespace drumplot
