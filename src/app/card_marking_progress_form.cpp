#include "app/card_marking_progress_form.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <ctime>

#include "app/form_font.h"
#include "app/message_boxes.h"
#include "prepare/marking_plan.h"

namespace app {

namespace {
const char* const kFailed =
    "Произошла ошибка в процессе разметки карты!\nОтформатируйте карту памяти средствами "
    "операционной системы!";
}  // namespace

TCardMarkingProgress::TCardMarkingProgress(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Ждите..."));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  ApplyFormFont(*this);
  setFixedSize(280, 64);
  Label1 = new QLabel(QStringLiteral("Подождите, идёт разметка карты памяти"), this);
  Label1->setGeometry(8, 8, 264, 20);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setGeometry(8, 36, 264, 18);
  ProgressBar1->setRange(0, 100);
  Timer1 = new QTimer(this);
  Timer1->setInterval(100);
  connect(Timer1, &QTimer::timeout, this, &TCardMarkingProgress::Timer1Timer);
}

TCardMarkingProgress::~TCardMarkingProgress() = default;

bool TCardMarkingProgress::run(card::CardMedium& m, const prepare::MarkingLayout& layout) {
  medium_ = &m;
  layout_ = layout;
  result_ = false;
  exec();
  return result_;
}

void TCardMarkingProgress::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  // Started once the window is on screen (a queued call, so that it is drawn first).
  QTimer::singleShot(0, this, &TCardMarkingProgress::FormShow);
}

void TCardMarkingProgress::reject() {
  if (!worker_) QDialog::reject();
}

void TCardMarkingProgress::FormShow() {
  result_ = false;
  ProgressBar1->setValue(0);
  if (!medium_ || !medium_->volume()) {
    Finish(false, QString::fromUtf8(kFailed));
    return;
  }
  // Nothing is written unless the whole marking can be placed on the volume.
  const prepare::PlanResult planned =
      prepare::PlanMarking(*medium_->volume(), medium_->geometry, layout_);
  if (!planned.ok()) {
    Finish(false, QString::fromUtf8(kFailed));
    return;
  }
  card::CardMedium* m = medium_;
  worker_ = std::make_unique<prepare::CardMarkingTh>(
      [m](const std::function<bool(platform::RawVolume&)>& writes) { return m->WithRawWrites(writes); },
      m->volume(), planned.plan, prepare::FatTimestampOf(std::time(nullptr)));
  worker_->start();
  Timer1->start();
}

void TCardMarkingProgress::Timer1Timer() {
  if (!worker_) return;
  ProgressBar1->setValue(worker_->progress);
  if (worker_->failed) {
    Finish(false, QString::fromUtf8(kFailed));
  } else if (worker_->done) {
    ProgressBar1->setValue(100);
    if (worker_->checked) {
      Label1->setText(QStringLiteral("Проверка разметки: ошибок нет"));
      Finish(true, QStringLiteral("Разметка носителя завершена."));
    } else {
      Label1->setText(QStringLiteral("Проверка разметки: ") +
                      QString::fromStdString(worker_->checkProblem));
      Finish(false, QString::fromUtf8(kFailed));
    }
  }
}

void TCardMarkingProgress::Finish(bool ok, const QString& message) {
  Timer1->stop();
  if (worker_) {
    worker_->request_terminate();
    worker_.reset();  // joins: the worker ends once asked
  }
  result_ = ok;
  if (ok)
    ShowInformation(this, message);
  else
    ShowError(this, message);
  done(ok ? Accepted : Rejected);
}

}  // namespace app
