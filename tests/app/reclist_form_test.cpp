// The record list window over an in-memory ring: scan, check marks, queue, erase, keys.
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSettings>
#include <QtTest>
#include <deque>
#include <fstream>

#include "app/message_boxes.h"
#include "app/settings_store.h"
#include "records/record_diagnostics.h"
#include "app/reclist_form.h"
#include "support/temp_dir.h"
#include "records/ring_builder.h"

namespace {

constexpr uint32_t kRsr = 4096;
constexpr uint32_t kRingBlocks = 100;
// Waits end as soon as their condition holds; the bound only matters on a loaded machine.
constexpr int kPatience = 60000;

struct Box {
  app::BoxKind kind;
  QString text;
};

// A card whose ring holds `count` recordings of three blocks from block 1 on.
struct FakeCard {
  explicit FakeCard(int count) : region(std::make_shared<testsupport::InfoRegion>(kRingBlocks)) {
    for (int i = 0; i < count; ++i) {
      testsupport::RecordingSpec desc;
      desc.first = 1 + 3 * i;
      desc.blocks = 3;
      desc.startrec_cycles = 1000 + i;
      desc.label = 100 * i;
      testsupport::WriteRecording(*region, desc);
    }
    card::InitServiceSector(service, region->geometry());
    service.set_rsr_sectnum(kRsr);
    service.set_rec_bgn_sectnum(kRsr);
    service.set_rec_end_sectnum(kRsr + uint32_t(3 * count) * 256);
  }

  records::RecListMedium medium() {
    records::RecListMedium m;
    m.reader = region;
    m.serviceSector = &service;
    m.N_s_s = kRingBlocks;
    m.s_s_bgn = (service.rec_bgn_sectnum() - kRsr) >> 8;
    m.s_s_end = (service.rec_end_sectnum() - kRsr) >> 8;
    m.writeServiceSector = [this] {
      ++writes;
      return writable;
    };
    m.makeWritable = [this](records::RecListMedium&) { return writable; };
    return m;
  }

  std::shared_ptr<testsupport::InfoRegion> region;
  card::ServiceSector service;
  bool writable = true;
  int writes = 0;
};

class FakeWorker final : public convert::ConversionWorker {
 public:
  explicit FakeWorker(convert::ConvWorkerStatus s, int* alive) : status_(s), alive_(alive) {
    ++*alive_;
  }
  ~FakeWorker() override { --*alive_; }
  convert::ConvWorkerStatus status() const override { return status_; }

 private:
  convert::ConvWorkerStatus status_;
  int* alive_;
};

}  // namespace

class RecListFormTest : public QObject {
  Q_OBJECT

 private:
  std::vector<Box> boxes_;
  std::deque<bool> answers_;  // Yes/No answers in order; No when none is left
  std::function<void(const QString&)> onBox_;
  testsupport::TempDir settingsDir_;

  QListWidget* list(TRecListForm& f) { return f.findChild<QListWidget*>("CheckListBox1"); }
  QPushButton* button(TRecListForm& f, const char* name) {
    return f.findChild<QPushButton*>(name);
  }
  std::vector<int> checkedLines(TRecListForm& f) {
    std::vector<int> out;
    for (int i = 0; i < list(f)->count(); ++i)
      if (list(f)->item(i)->checkState() == Qt::Checked) out.push_back(i);
    return out;
  }
  bool sawBox(const QString& text) {
    for (const Box& b : boxes_)
      if (b.text == text) return true;
    return false;
  }
  // A press before the double click, as a real double click has.
  void doubleClick(QListWidget* l, int row) {
    const QPoint at = l->visualItemRect(l->item(row)).center() + QPoint(40, 0);
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(l->viewport(), Qt::LeftButton, {}, at);
  }
  void showScanned(TRecListForm& form, FakeCard& card, int lines) {
    form.showFor(card.medium());
    QTRY_COMPARE_WITH_TIMEOUT(list(form)->count(), lines, kPatience);
    QTRY_VERIFY_WITH_TIMEOUT(!form.scanRunning(), kPatience);
  }

 private slots:
  // Settings go to a folder of this test run, so that parallel test programs do not meet.
  void initTestCase() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(settingsDir_.path().string()));
  }

  void init() {
    boxes_.clear();
    answers_.clear();
    onBox_ = nullptr;
    app::SettingsStore::setOutputDir(QString());
    app::SetMessageBoxHook([this](app::BoxKind kind, const QString& text, bool yesNo) {
      boxes_.push_back({kind, text});
      if (onBox_) onBox_(text);
      if (!yesNo || answers_.empty()) return false;
      const bool answer = answers_.front();
      answers_.pop_front();
      return answer;
    });
  }

  void cleanup() { app::SetMessageBoxHook(nullptr); }

  void scanFillsTheListAndSelectAllAlternates() {
    FakeCard card(4);
    TRecListForm form;
    showScanned(form, card, 4);
    QCOMPARE(form.findChild<QProgressBar*>("ProgressBar2")->value(), 100);
    QVERIFY(list(form)->item(0)->text().endsWith(QStringLiteral("длит. 0 ч 00 мин 02 с")));

    QPushButton* all = button(form, "btnSelAll");
    QCOMPARE(all->text(), QStringLiteral("Выбрать все записи"));
    QTest::mouseClick(all, Qt::LeftButton);
    QCOMPARE(checkedLines(form), (std::vector<int>{0, 1, 2, 3}));
    QCOMPARE(all->text(), QStringLiteral("Снять выделение"));
    QTest::mouseClick(all, Qt::LeftButton);
    QVERIFY(checkedLines(form).empty());
    QCOMPARE(all->text(), QStringLiteral("Выбрать все записи"));

    list(form)->item(1)->setCheckState(Qt::Checked);
    QTest::mouseClick(button(form, "btnSelInv"), Qt::LeftButton);
    QCOMPARE(checkedLines(form), (std::vector<int>{0, 2, 3}));
  }

  void shiftClickChecksTheRangeFromTheAnchor() {
    FakeCard card(10);
    TRecListForm form;
    showScanned(form, card, 10);
    QListWidget* l = list(form);
    l->setCurrentRow(7);
    QTest::keyPress(l, Qt::Key_Shift, Qt::ShiftModifier);
    const QPoint onText = l->visualItemRect(l->item(3)).center() + QPoint(60, 0);
    QTest::mouseClick(l->viewport(), Qt::LeftButton, Qt::ShiftModifier, onText);
    QCOMPARE(checkedLines(form), (std::vector<int>{3, 4, 5, 6, 7}));
  }

  void queueWithNothingCheckedConvertsTheCurrentLine() {
    FakeCard card(4);
    testsupport::TempDir out;
    const QString outDir = QString::fromStdString(out.path().string());
    app::SettingsStore::setOutputDir(outDir);
    TRecListForm form;
    QString startSeen = "unset";
    form.setFolderChooser([&](QWidget*, const QString& start) {
      startSeen = start;
      return start;
    });
    std::vector<convert::ConversionRequest> launched;
    int alive = 0;
    form.setConversionLauncher([&](const convert::ConversionRequest& r, const records::TRecord&) {
      launched.push_back(r);
      convert::ConvWorkerStatus done;
      done.done = true;
      done.progress = 100;
      return std::make_unique<FakeWorker>(done, &alive);
    });
    std::vector<int> checkedWhenDone{-1};
    onBox_ = [&](const QString& text) {
      if (text.startsWith(QStringLiteral("Готово!"))) checkedWhenDone = checkedLines(form);
    };
    showScanned(form, card, 4);
    list(form)->setCurrentRow(2);
    QTest::mouseClick(button(form, "btnStartConv"), Qt::LeftButton);
    QCOMPARE(startSeen, outDir);
    QVERIFY(form.converting());
    QCOMPARE(button(form, "btnStartConv")->text(), QStringLiteral("Прервать"));
    QVERIFY(!list(form)->isEnabled());

    QTRY_VERIFY_WITH_TIMEOUT(!form.isVisible(), kPatience);
    QCOMPARE(launched.size(), size_t(1));
    QCOMPARE(launched[0].convRecord, 2);
    QCOMPARE(launched[0].convStart, int32_t(7 * 256));
    QCOMPARE(launched[0].convEnd, 0);
    QCOMPARE(launched[0].convBaseName, std::string("2014-03-05_14-07-09"));
    QCOMPARE(launched[0].outputDir, out.path().string() + "/");
    QVERIFY(checkedWhenDone.empty());
    QVERIFY(sawBox(QStringLiteral("Закрыть программу конвертации записей?")));
    QCOMPARE(alive, 0);
  }

  void nothingSelectedIsReported() {
    FakeCard card(2);
    TRecListForm form;
    showScanned(form, card, 2);
    list(form)->setCurrentRow(-1);
    QTest::mouseClick(button(form, "btnStartConv"), Qt::LeftButton);
    QVERIFY(sawBox(QStringLiteral("Ни одной записи не выбрано!")));
    QVERIFY(!form.converting());
  }

  void storedFolderThatIsGoneStartsTheDialogEmptyAndCancelStoresNothing() {
    FakeCard card(2);
    testsupport::TempDir tmp;
    const QString gone = QString::fromStdString(tmp / "gone");
    app::SettingsStore::setOutputDir(gone);
    TRecListForm form;
    QString startSeen = "unset";
    form.setFolderChooser([&](QWidget*, const QString& start) {
      startSeen = start;
      return QString();
    });
    showScanned(form, card, 2);
    button(form, "btnSelAll")->click();
    button(form, "btnStartConv")->click();
    QCOMPARE(startSeen, QString());
    QVERIFY(!form.converting());
    QCOMPARE(app::SettingsStore::outputDir(), gone);
  }

  void conversionErrorEndsTheQueueKeepingTheRestChecked() {
    FakeCard card(3);
    testsupport::TempDir out;
    TRecListForm form;
    form.setFolderChooser([&](QWidget*, const QString&) {
      return QString::fromStdString(out.path().string());
    });
    int alive = 0;
    form.setConversionLauncher([&](const convert::ConversionRequest&, const records::TRecord&) {
      convert::ConvWorkerStatus failed;
      failed.failed = true;
      failed.errorCode = 1021;
      return std::make_unique<FakeWorker>(failed, &alive);
    });
    showScanned(form, card, 3);
    button(form, "btnSelAll")->click();
    button(form, "btnStartConv")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.converting(), kPatience);
    // The first line as it always was; the second names the problem and the folder.
    QCOMPARE(boxes_.back().text.section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("Произошла ошибка при конвертации: 1021"));
    QVERIFY(boxes_.back().text.section(QLatin1Char('\n'), 1).contains(
        QStringLiteral("Папка: %1/").arg(QString::fromStdString(out.path().string()))));
    QCOMPARE(boxes_.back().kind, app::BoxKind::error);
    QCOMPARE(checkedLines(form), (std::vector<int>{0, 1, 2}));
    QCOMPARE(button(form, "btnStartConv")->text(), QStringLiteral("Конвертировать"));
    QVERIFY(list(form)->isEnabled());
    QCOMPARE(alive, 0);
  }

  void abortStopsTheWorker() {
    FakeCard card(2);
    testsupport::TempDir out;
    TRecListForm form;
    form.setFolderChooser([&](QWidget*, const QString&) {
      return QString::fromStdString(out.path().string());
    });
    int alive = 0;
    form.setConversionLauncher([&](const convert::ConversionRequest&, const records::TRecord&) {
      return std::make_unique<FakeWorker>(convert::ConvWorkerStatus{}, &alive);
    });
    showScanned(form, card, 2);
    list(form)->setCurrentRow(0);
    button(form, "btnStartConv")->click();
    QTRY_COMPARE_WITH_TIMEOUT(alive, 1, kPatience);
    button(form, "btnStartConv")->click();
    QCOMPARE(alive, 0);
    QVERIFY(sawBox(QStringLiteral("Конвертация прервана!")));
    QVERIFY(!form.converting());
  }

  void escapeAndCloseDuringAConversionDoNotDropIt() {
    FakeCard card(2);
    testsupport::TempDir out;
    TRecListForm form;
    form.setFolderChooser([&](QWidget*, const QString&) {
      return QString::fromStdString(out.path().string());
    });
    int alive = 0;
    form.setConversionLauncher([&](const convert::ConversionRequest&, const records::TRecord&) {
      return std::make_unique<FakeWorker>(convert::ConvWorkerStatus{}, &alive);
    });
    showScanned(form, card, 2);
    list(form)->setCurrentRow(0);
    button(form, "btnStartConv")->click();
    QTRY_COMPARE_WITH_TIMEOUT(alive, 1, kPatience);

    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(form.isVisible());
    QVERIFY(form.converting());
    QCOMPARE(alive, 1);

    answers_ = {false};  // "go on converting"
    form.close();
    QVERIFY(form.isVisible());
    QVERIFY(form.converting());
    QCOMPARE(boxes_.back().kind, app::BoxKind::warning);

    answers_ = {true};
    form.close();
    QVERIFY(!form.isVisible());
    QCOMPARE(alive, 0);
    QVERIFY(sawBox(QStringLiteral("Конвертация прервана!")));
  }

  void escapeWhileIdleClosesTheWindow() {
    FakeCard card(2);
    TRecListForm form;
    showScanned(form, card, 2);
    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(!form.isVisible());
    QVERIFY(boxes_.empty());
  }

  void shiftClickOnACheckBoxMovesTheCurrentLine() {
    FakeCard card(10);
    TRecListForm form;
    showScanned(form, card, 10);
    QListWidget* l = list(form);
    l->setCurrentRow(7);
    QTest::keyPress(l, Qt::Key_Shift, Qt::ShiftModifier);
    const QRect line = l->visualItemRect(l->item(3));
    const QPoint onCheckBox(line.left() + 6, line.center().y());
    QTest::mouseClick(l->viewport(), Qt::LeftButton, Qt::ShiftModifier, onCheckBox);
    QCOMPARE(l->currentRow(), 3);
    QCOMPARE(form.currentLine(), 3);
    for (int i = 4; i <= 7; ++i) QCOMPARE(l->item(i)->checkState(), Qt::Checked);
  }

  void aFolderTheFileManagerCannotOpenIsReported() {
    FakeCard card(1);
    testsupport::TempDir out;
    TRecListForm form;
    form.setFolderChooser([&](QWidget*, const QString&) {
      return QString::fromStdString(out.path().string());
    });
    int alive = 0;
    form.setConversionLauncher([&](const convert::ConversionRequest&, const records::TRecord&) {
      convert::ConvWorkerStatus done;
      done.done = true;
      return std::make_unique<FakeWorker>(done, &alive);
    });
    QString opened;
    form.setFolderOpener([&](const QString& folder) {
      opened = folder;
      return false;
    });
    answers_ = {true, false};  // open the folder: yes; close the program: no
    showScanned(form, card, 1);
    list(form)->setCurrentRow(0);
    button(form, "btnStartConv")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.converting(), kPatience);
    QCOMPARE(opened, QString::fromStdString(out.path().string() + "/"));
    QVERIFY(sawBox(QStringLiteral("Не удалось открыть папку в файловом менеджере:\n%1")
                       .arg(opened)));
    QCOMPARE(alive, 0);
  }

  void noRecordingsClosesTheWindow() {
    FakeCard card(0);
    card.service.set_rec_end_sectnum(card::kUnsetPointer);
    TRecListForm form;
    form.showFor(card.medium());
    QVERIFY(sawBox(QStringLiteral("Записей нет.")));
    QTRY_VERIFY_WITH_TIMEOUT(!form.isVisible(), kPatience);
  }

  void eraseLastRecordMovesTheRingEndBack() {
    FakeCard card(3);
    TRecListForm form;
    showScanned(form, card, 3);
    answers_ = {true};
    button(form, "btnEraseLastRec")->click();
    QCOMPARE(card.writes, 1);
    QCOMPARE(card.service.rec_end_sectnum(), kRsr + 9 * 256 - 768);
    QCOMPARE(list(form)->count(), 2);
    QCOMPARE(form.records().size(), size_t(2));
    QVERIFY(sawBox(QStringLiteral("Последняя запись удалена успешно.")));
  }

  void eraseOnAReadOnlyMediumChangesNothing() {
    FakeCard card(3);
    card.writable = false;
    TRecListForm form;
    showScanned(form, card, 3);
    answers_ = {true};
    button(form, "btnEraseLastRec")->click();
    QCOMPARE(card.writes, 0);
    QCOMPARE(card.service.rec_end_sectnum(), kRsr + 9 * 256);
    QCOMPARE(list(form)->count(), 3);
    QCOMPARE(boxes_.back().kind, app::BoxKind::error);
    QCOMPARE(boxes_.back().text, QStringLiteral("Неудачная попытка удаления последней записи!\n"
                                                "Нет доступа на запись к носителю."));
  }

  void doubleClickDuringTheScanDoesNothing() {
    FakeCard card(6);
    card.region->hold_read(12);  // holds the scan after the first recordings are listed
    TRecListForm form;
    // Released on every way out (before the form stops the scan), so that a failed check does
    // not leave the scan blocked.
    const std::unique_ptr<testsupport::InfoRegion, void (*)(testsupport::InfoRegion*)> release(
        card.region.get(), [](testsupport::InfoRegion* r) { r->release(); });
    int previews = 0;
    form.setPreviewOpener([&](TRecListForm& f) {
      ++previews;
      QCOMPARE(f.conversionRequest().convRecord, 1);
    });
    form.showFor(card.medium());
    QTRY_VERIFY_WITH_TIMEOUT(list(form)->count() >= 1, kPatience);
    QVERIFY(form.scanRunning());
    QListWidget* l = list(form);
    doubleClick(l, 0);
    QCOMPARE(previews, 0);
    card.region->release();
    QTRY_VERIFY_WITH_TIMEOUT(!form.scanRunning(), kPatience);
    QCOMPARE(l->count(), 6);
    doubleClick(l, 1);
    QCOMPARE(previews, 1);
  }

  void diagnosticsKeys() {
    FakeCard card(3);
    testsupport::TempDir out;
    TRecListForm form;
    form.setFolderChooser([&](QWidget*, const QString&) {
      return QString::fromStdString(out.path().string());
    });
    showScanned(form, card, 3);
    QListWidget* l = list(form);
    l->setCurrentRow(1);
    QTest::keyClick(l, Qt::Key_I, Qt::ControlModifier);
    const records::TRecord r = *form.records().at(1);
    QCOMPARE(boxes_.back().kind, app::BoxKind::plain);
    QCOMPARE(boxes_.back().text.toStdString(), records::FullRecordDump(r, 1, {0, 9}));
    QTest::keyClick(l, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(boxes_.back().text.toStdString(), records::ShortRecordDump(r, 1, {0, 9}));

    const size_t before = boxes_.size();
    QTest::keyClick(l, Qt::Key_B, Qt::ControlModifier);
    QCOMPARE(boxes_.size(), before);  // the log is written silently
    std::ifstream log(out / "2014-03-05_14-07-09_accum.dat");
    std::string line;
    int lines = 0;
    while (std::getline(log, line)) ++lines;
    QCOMPARE(lines, 3);
  }

  void ctrlDClearsTheStoredFolder() {
    FakeCard card(1);
    app::SettingsStore::setOutputDir(QStringLiteral("/somewhere"));
    TRecListForm form;
    showScanned(form, card, 1);
    answers_ = {true};
    QTest::keyClick(button(form, "btnEraseLastRec"), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(app::SettingsStore::outputDir(), QString());
    QCOMPARE(boxes_.back().text, QStringLiteral("Удалить путь к выходной директории из реестра?"));
  }

  void layoutFollowsTheWindowSize() {
    FakeCard card(1);
    TRecListForm form;
    showScanned(form, card, 1);
    form.resize(500, 400);
    QPushButton* conv = button(form, "btnStartConv");
    QCOMPARE(conv->geometry(), QRect(8 + (500 - 24) / 2 + 8, 38, (500 - 24) / 2, 22));
    QProgressBar* bar1 = form.findChild<QProgressBar*>("ProgressBar1");
    QCOMPARE(bar1->geometry().bottom() + 1, 400 - 8);
    QCOMPARE(bar1->geometry().right() + 1, 500 - 8);
    QCOMPARE(list(form)->geometry().top(), 68);
  }
};

QTEST_MAIN(RecListFormTest)
#include "reclist_form_test.moc"
