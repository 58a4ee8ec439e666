// SPDX-License-Identifier: MIT
// The window shown while cancellable work runs.
#include "ui/work_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace drumplot {

namespace {
constexpr int kStatusInterval_ms = 333;
}

WorkDialog::WorkDialog(const QString& title, std::function<QString()> status,
                       std::atomic<bool>& cancelled, QWidget* parent)
    : QDialog(parent),
      status_(std::move(status)),
      cancelled_(cancelled),
      text_(new QLabel(this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);
  text_->setMinimumWidth(360);
  layout->addWidget(text_);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(cancel_);
  layout->addLayout(row);
  connect(cancel_, &QPushButton::clicked, this, &WorkDialog::reject);

  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, &WorkDialog::showStatus);
  timer->start(kStatusInterval_ms);
  showStatus();
}

void WorkDialog::reject() {
  cancelled_ = true;
  cancel_->setEnabled(false);
  text_->setText(QStringLiteral("Cancelling..."));
}

void WorkDialog::showStatus() {
  if (!cancelled_ && status_) text_->setText(status_());
}

}  // namespace drumplot
