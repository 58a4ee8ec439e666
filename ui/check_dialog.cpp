// SPDX-License-Identifier: MIT
// The check's report in a dialog.
#include "ui/check_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/qt_conversions.h"

namespace drumplot {

namespace {

enum Column { kSeverity, kBoard, kLayer, kMessage, kColumns };

// Errors in red, warnings in the colour of the board marks.
const QColor kErrorColor(0xC0, 0x00, 0x00);
const QColor kWarningColor(0xA0, 0x60, 0x00);

}  // namespace

CheckDialog::CheckDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Check job"));
  setSizeGripEnabled(true);
  auto* layout = new QVBoxLayout(this);
  table_ = new QTableWidget(0, kColumns, this);
  table_->setHorizontalHeaderLabels(
      {QString(), QStringLiteral("Board"), QStringLiteral("Layer"), QStringLiteral("Problem")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setWordWrap(true);
  layout->addWidget(table_);
  summary_ = new QLabel(this);
  summary_->setWordWrap(true);
  layout->addWidget(summary_);
  auto* row = new QHBoxLayout;
  row->addStretch();
  goOn_ = new QPushButton(QStringLiteral("Go on"), this);
  stop_ = new QPushButton(QStringLiteral("Stop"), this);
  row->addWidget(goOn_);
  row->addWidget(stop_);
  layout->addLayout(row);
  connect(goOn_, &QPushButton::clicked, this, &QDialog::accept);
  connect(stop_, &QPushButton::clicked, this, &QDialog::reject);
  resize(900, 420);
}

void CheckDialog::load(Mode mode, const PreflightReport& report, int dpi) {
  const bool exporting = mode == Mode::BeforeExport;
  setWindowTitle(exporting ? QStringLiteral("Check before the export")
                           : QStringLiteral("Check job"));
  goOn_->setVisible(exporting);
  stop_->setText(exporting ? QStringLiteral("Stop") : QStringLiteral("Close"));
  stop_->setDefault(true);

  table_->setRowCount(static_cast<int>(report.problems.size()));
  for (size_t i = 0; i < report.problems.size(); ++i) {
    const CheckProblem& p = report.problems[i];
    const auto row = static_cast<int>(i);
    auto* severity = new QTableWidgetItem(QString::fromLatin1(severityKey(p.severity)));
    severity->setForeground(p.severity == CheckSeverity::Error ? kErrorColor : kWarningColor);
    table_->setItem(row, kSeverity, severity);
    table_->setItem(row, kBoard,
                    new QTableWidgetItem(p.board ? QString::number(*p.board + 1) : QString()));
    table_->setItem(row, kLayer,
                    new QTableWidgetItem(p.layer ? QString::number(p.layer) : QString()));
    table_->setItem(row, kMessage, new QTableWidgetItem(toQString(p.message)));
  }
  table_->resizeColumnsToContents();
  table_->setVisible(!report.problems.empty());

  QString layers;
  for (int n : report.layers) layers += (layers.isEmpty() ? "" : ", ") + QString::number(n);
  auto count = [](size_t n, const char* what) {
    return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(what)).arg(n == 1 ? "" : "s");
  };
  QString text = QStringLiteral("%1 dpi, layers %2: %3, %4.")
                     .arg(dpi)
                     .arg(layers.isEmpty() ? QStringLiteral("none") : layers)
                     .arg(count(report.errors(), "error"), count(report.warnings(), "warning"));
  if (const std::optional<FilmEstimate>& f = report.film) {
    text += QStringLiteral(
                "\nFilm: %1 x %2 pixels (%3 x %4 inch), about %5 MB; %6 MB of memory "
                "for %7 band(s); about %8 s.")
                .arg(f->width_px)
                .arg(f->height_px)
                .arg(static_cast<double>(f->width_px) / f->dpi, 0, 'f', 2)
                .arg(static_cast<double>(f->height_px) / f->dpi, 0, 'f', 2)
                .arg(static_cast<double>(f->fileBytes) / 1048576.0, 0, 'f', 1)
                .arg(static_cast<double>(f->memoryBytes) / 1048576.0, 0, 'f', 1)
                .arg(f->bands)
                .arg(f->seconds, 0, 'f', 1);
  }
  if (exporting && report.errors() > 0) {
    text += QStringLiteral("\nThe film would not be what the data asks for.");
  }
  summary_->setText(text);
}

}  // namespace drumplot
