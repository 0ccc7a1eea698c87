// The record list window's thorough scan: the context menu item "Полный поиск записей" and
// opening the window for a thorough scan (as after a recovery), over an in-memory ring whose
// short recording between two gaps the probing scan misses.
#include <QAction>
#include <QListWidget>
#include <QSettings>
#include <QtTest>

#include "app/message_boxes.h"
#include "app/reclist_form.h"
#include "records/ring_builder.h"
#include "support/temp_dir.h"

namespace {

constexpr uint32_t kRsr = 4096;
constexpr uint32_t kRingBlocks = 200;
constexpr int kPatience = 60000;

testsupport::RecordingSpec Rec(uint32_t first, uint32_t blocks, uint64_t identity) {
  testsupport::RecordingSpec s;
  s.first = first;
  s.blocks = blocks;
  s.startrec_cycles = identity;
  return s;
}

// Recordings at 1..40, 45..46 (between gaps) and 61..100; the ring ends at block 150.
struct GappyCard {
  GappyCard() : region(std::make_shared<testsupport::InfoRegion>(kRingBlocks)) {
    testsupport::WriteRecording(*region, Rec(1, 40, 1));
    testsupport::WriteRecording(*region, Rec(45, 2, 2));
    testsupport::WriteRecording(*region, Rec(61, 40, 3));
    card::InitServiceSector(service, region->geometry());
    service.set_rsr_sectnum(kRsr);
    service.set_rec_bgn_sectnum(kRsr);
    service.set_rec_end_sectnum(kRsr + 150 * 256);
  }
  records::RecListMedium medium() {
    records::RecListMedium m;
    m.reader = region;
    m.serviceSector = &service;
    m.N_s_s = kRingBlocks;
    m.s_s_bgn = 0;
    m.s_s_end = 150;
    m.writeServiceSector = [] { return false; };
    m.makeWritable = [](records::RecListMedium&) { return false; };
    return m;
  }
  std::shared_ptr<testsupport::InfoRegion> region;
  card::ServiceSector service;
};

}  // namespace

class RecListFullScanTest : public QObject {
  Q_OBJECT

 private:
  testsupport::TempDir settingsDir_;
  QStringList boxes_;

  QListWidget* list(TRecListForm& f) { return f.findChild<QListWidget*>("CheckListBox1"); }
  QAction* fullScanAction(TRecListForm& f) {
    for (QAction* a : list(f)->actions())
      if (a->text() == QStringLiteral("Полный поиск записей")) return a;
    return nullptr;
  }
  void waitScanned(TRecListForm& form, int lines) {
    QTRY_COMPARE_WITH_TIMEOUT(list(form)->count(), lines, kPatience);
    QTRY_VERIFY_WITH_TIMEOUT(!form.scanRunning(), kPatience);
  }

 private slots:
  void initTestCase() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(settingsDir_.path().string()));
  }
  void init() {
    boxes_.clear();
    app::SetMessageBoxHook([this](app::BoxKind, const QString& text, bool) {
      boxes_.push_back(text);
      return false;
    });
  }
  void cleanup() { app::SetMessageBoxHook(nullptr); }

  void contextMenuItemRescansThoroughly() {
    GappyCard card;
    TRecListForm form;
    form.showFor(card.medium());
    waitScanned(form, 2);  // the probing scan jumps over the short recording
    QVERIFY(!form.thoroughScan());
    QCOMPARE(list(form)->contextMenuPolicy(), Qt::ActionsContextMenu);
    QAction* action = fullScanAction(form);
    QVERIFY(action);
    list(form)->item(0)->setCheckState(Qt::Checked);

    action->trigger();
    QVERIFY(form.thoroughScan());
    waitScanned(form, 3);
    QCOMPARE(int(form.records().size()), 3);
    QCOMPARE(form.records().at(1)->bss_index, 45);
    QCOMPARE(form.records().at(1)->ess_index, 46);
    QVERIFY(list(form)->item(0)->checkState() == Qt::Unchecked);  // a fresh list
    QVERIFY(boxes_.isEmpty());
  }

  void openingForAThoroughScanListsEverythingAtOnce() {
    GappyCard card;
    TRecListForm form;
    form.showFor(card.medium(), true);
    waitScanned(form, 3);
    QVERIFY(form.thoroughScan());
    // Each block's information sector once: the probing search never reads that many.
    QCOMPARE(card.region->reads(), uint64_t(150));
  }
};

QTEST_MAIN(RecListFullScanTest)
#include "reclist_full_scan_test.moc"
