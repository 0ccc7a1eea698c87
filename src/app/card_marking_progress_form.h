// TCardMarkingProgress: "Ждите..." while the marking worker runs. On show it plans the
// marking and starts the worker; a 100 ms timer moves the progress bar and, when the worker
// is done or failed, shows the outcome, asks the worker to end and closes. The check after
// marking is shown in the label; a marking that failed or did not pass the check is reported
// with the advice to format the card. Cannot be closed by the user while the worker runs.
// UI thread only.
#pragma once

#include <QDialog>
#include <memory>

#include "card/card_medium.h"
#include "prepare/cardmarkingth.h"
#include "prepare/marking_layout.h"

class QLabel;
class QProgressBar;
class QTimer;

namespace app {

class TCardMarkingProgress final : public QDialog {
 public:
  explicit TCardMarkingProgress(QWidget* parent = nullptr);
  ~TCardMarkingProgress() override;

  // Shows the window modally and marks `m` with `layout`; true when marked and checked.
  bool run(card::CardMedium& m, const prepare::MarkingLayout& layout);

  void FormShow();
  void Timer1Timer();
  bool succeeded() const { return result_; }

  QLabel* Label1 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QTimer* Timer1 = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;
  void reject() override;  // ignored while the worker runs

 private:
  void Finish(bool ok, const QString& message);

  card::CardMedium* medium_ = nullptr;
  prepare::MarkingLayout layout_;
  std::unique_ptr<prepare::CardMarkingTh> worker_;
  bool result_ = false;
};

}  // namespace app
