// SPDX-License-Identifier: MIT
// WorkDialog: the small modal window shown while long work that can be
// cancelled (an export, a preview, a print) runs on a worker thread. It
// shows what is being done and a Cancel button that asks the work to stop;
// the window behind it keeps painting and its timers keep firing.
#pragma once

#include <QDialog>
#include <QMetaObject>
#include <atomic>
#include <functional>
#include <type_traits>

#include "ui/background_work.h"

class QLabel;
class QPushButton;

namespace drumplot {

class WorkDialog final : public QDialog {
 public:
  // `status` is asked for the text to show every 333 ms; Cancel (also
  // Escape and the close box) sets `cancelled`, and the window stays until
  // the work has stopped.
  WorkDialog(const QString& title, std::function<QString()> status, std::atomic<bool>& cancelled,
             QWidget* parent = nullptr);

  void reject() override;  // Cancel
  QPushButton* cancelButton() const { return cancel_; }

 private:
  void showStatus();

  std::function<QString()> status_;
  std::atomic<bool>& cancelled_;
  QLabel* text_;
  QPushButton* cancel_;
};

// Runs `work` on a worker thread while a WorkDialog is shown, then returns
// its result or rethrows its exception here. The work should watch
// `cancelled` and return early once it is set.
template <typename Work>
auto runCancellable(QWidget* parent, const QString& title, std::function<QString()> status,
                    std::atomic<bool>& cancelled, Work work) -> std::invoke_result_t<Work&> {
  WorkDialog dialog(title, std::move(status), cancelled, parent);
  return runOnWorker(
      work, [&dialog] { dialog.exec(); },
      // Queued: it runs inside dialog.exec(), even when posted before it starts.
      [&dialog] {
        QMetaObject::invokeMethod(
            &dialog, [&dialog] { dialog.done(QDialog::Accepted); }, Qt::QueuedConnection);
      });
}

}  // namespace drumplot
