// SPDX-License-Identifier: MIT
// WorkDialog: the small modal window shown while long work that can be
// cancelled (an export, a preview, a print) runs on a worker thread. It
// shows what is being done and a Cancel button that asks the work to stop;
// the window behind it keeps painting and its timers keep firing.
#pragma once

#include <QDialog>
#include <QMetaObject>
#include <atomic>
#include <exception>
#include <functional>
#include <optional>
#include <thread>
#include <type_traits>

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
  using Result = std::invoke_result_t<Work&>;
  std::optional<Result> result;
  std::exception_ptr failure;
  WorkDialog dialog(title, std::move(status), cancelled, parent);
  std::thread worker([&] {
    try {
      result.emplace(work());
    } catch (...) {
      failure = std::current_exception();
    }
    // Queued: it runs inside dialog.exec(), even when posted before it starts.
    QMetaObject::invokeMethod(
        &dialog, [&dialog] { dialog.done(QDialog::Accepted); }, Qt::QueuedConnection);
  });
  dialog.exec();
  worker.join();
  if (failure) std::rethrow_exception(failure);
  return std::move(*result);
}

}  // namespace drumplot
