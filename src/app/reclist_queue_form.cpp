// The conversion queue, the output folder, erase last record and Ctrl+D of the record list.
#include <QCoreApplication>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "app/conversion_error_text.h"
#include "app/folder_dialog.h"
#include "app/message_boxes.h"
#include "app/settings_store.h"
#include "records/erase_last_record.h"
#include "records/output_folder.h"
#include "app/reclist_form.h"
#include "records/record_line.h"

int32_t TRecListForm::blocksOf(int line) const {
  const std::optional<records::TRecord> r = records_.at(size_t(line));
  return r ? records::RecordBlocks(*r) : 0;
}

void TRecListForm::btnStartConvClick() {
  if (queue_.converting())
    abortQueue();
  else
    startQueue();
}

void TRecListForm::startQueue() {
  request_.splitAlways = true;
  const auto blocks = [this](int line) { return blocksOf(line); };
  const convert::QueueStart start = queue_.prepare(selection_, blocks);
  syncChecks();
  if (start == convert::QueueStart::nothing_selected) {
    inform(QStringLiteral("Ни одной записи не выбрано!"));
    setControlsEnabled();
    return;
  }
  if (!chooseOutputDir()) return;

  queue_.begin();
  btnSelAll->setEnabled(false);
  btnSelInv->setEnabled(false);
  btnEraseLastRec->setEnabled(false);
  CheckListBox1->setEnabled(false);
  btnStartConv->setText(QStringLiteral("Прервать"));
  ProgressBar1->setValue(0);
  convWorker_.reset();
  Timer1->start();
  Timer1Timer();  // the first recording starts now, not one tick later
}

bool TRecListForm::chooseOutputDir() {
  outputDir_.clear();
  const QString start = QString::fromStdString(
      records::UsableStartFolder(app::SettingsStore::outputDir().toStdString()));
  const QString chosen =
      folderChooser_ ? folderChooser_(this, start) : app::ChooseFolder(this, start);
  if (chosen.isEmpty()) return false;
  app::SettingsStore::setOutputDir(chosen);
  outputDir_ = records::WithTrailingSeparator(chosen.toStdString());
  return true;
}

void TRecListForm::Timer1Timer() {
  convert::ConvWorkerStatus status;
  if (convWorker_) status = convWorker_->status();
  ProgressBar1->setValue(queue_.progress(convWorker_ != nullptr, status.progress));
  const auto blocks = [this](int line) { return blocksOf(line); };
  convert::QueueAction action = queue_.step(convWorker_ ? &status : nullptr, selection_, blocks);
  if (action.release_worker) convWorker_.reset();
  syncChecks();

  if (action.kind == convert::QueueAction::start_record) {
    const std::optional<records::TRecord> record = records_.at(size_t(action.record));
    const convert::ConversionLauncher& launch = launcherOverride_ ? launcherOverride_ : launcher_;
    if (record && launch) {
      request_ = convert::WholeRecordRequest(action.record, *record, outputDir_);
      convWorker_ = launch(request_, *record);
    }
    if (convWorker_) {
      // Go on as soon as this worker reports done or failed; the timer only shows progress.
      convert::ConversionWorker* const started = convWorker_.get();
      convWorker_->set_finished_callback([this, started] {
        QMetaObject::invokeMethod(this, [this, started] {
          if (convWorker_.get() == started) Timer1Timer();
        }, Qt::QueuedConnection);
      });
      return;
    }
    queue_.stop();  // the worker could not start: end the queue like a failed conversion
    action.kind = convert::QueueAction::failed;
    action.errorCode = -1;
  }
  if (action.kind == convert::QueueAction::failed) {
    Timer1->stop();
    error(QStringLiteral("Произошла ошибка при конвертации: %1").arg(action.errorCode) +
          QLatin1Char('\n') +
          app::ConversionErrorDetail(action.errorCode, QString::fromStdString(outputDir_)));
    setControlsEnabled();
    ProgressBar1->setValue(0);
  } else if (action.kind == convert::QueueAction::finished) {
    finishQueue();
  }
}

void TRecListForm::finishQueue() {
  Timer1->stop();
  if (app::AskYesNo(this, app::BoxKind::information,
                    QStringLiteral("Готово! Открыть папку с записями?"), app::DefaultAnswer::yes)) {
    const QString folder = QString::fromStdString(outputDir_);
    if (!(folderOpener_ ? folderOpener_(folder) : app::OpenFolderInFileManager(folder)))
      error(QStringLiteral("Не удалось открыть папку в файловом менеджере:\n%1").arg(folder));
  }
  if (ask(true, QStringLiteral("Закрыть программу конвертации записей?")))
    QCoreApplication::quit();
  setControlsEnabled();
  ProgressBar1->setValue(0);
  QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
}

void TRecListForm::abortQueue() {
  Timer1->stop();
  stopConversionWorker();
  queue_.stop();
  inform(QStringLiteral("Конвертация прервана!"));
  setControlsEnabled();
  ProgressBar1->setValue(0);
}

void TRecListForm::stopConversionWorker() { convWorker_.reset(); }

void TRecListForm::btnEraseLastRecClick() {
  if (records_.empty()) return;
  const QString failed = QStringLiteral("Неудачная попытка удаления последней записи!");
  // Only a completed scan knows the newest recording; erasing another one would cut it.
  if (scanWorker_ || !scanCompleted_ || !medium_.serviceSector) {
    error(failed + QStringLiteral("\nСписок записей получен не полностью."));
    return;
  }
  if (!ask(true, QStringLiteral("Вы действительно хотите удалить\nпоследнюю запись?"))) return;
  const std::optional<records::TRecord> last = records_.last();
  if (!last) return;
  // A partition file held open would keep a mounted card busy while it is written.
  if (medium_.reader) medium_.reader->close();
  if (!medium_.makeWritable || !medium_.makeWritable(medium_)) {
    error(failed + QStringLiteral("\nНет доступа на запись к носителю."));
    return;
  }
  const records::EraseOutcome outcome =
      records::EraseLastRecord(*medium_.serviceSector, *last, medium_.writeServiceSector);
  if (outcome != records::EraseOutcome::erased) {
    error(failed);
    return;
  }
  records_.remove_last();
  selection_.remove_last();
  delete CheckListBox1->takeItem(CheckListBox1->count() - 1);
  inform(QStringLiteral("Последняя запись удалена успешно."));
}

void TRecListForm::btnStartConvKeyDown() {
  if (ask(true, QStringLiteral("Удалить путь к выходной директории из реестра?")))
    app::SettingsStore::setOutputDir(QString());
}
