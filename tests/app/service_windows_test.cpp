// The hidden service windows: input corrections of the service-sector list and the lines of
// both windows over an in-memory region.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <cstring>

#include "app/block_list_form.h"
#include "app/ss_list_form.h"
#include "support/memory_region.h"

namespace {

// Four readable blocks; the ring may claim more (those read as failures).
void Label(testsupport::MemoryRegion& region) {
  for (uint32_t b = 0; b < 4; ++b) {
    card::ServiceSector s;
    s.set_magic();
    s.set_serv_label_number(1000 + b);
    std::memcpy(region.sector(b * 256 + 255), s.data(), 512);
  }
}

QStringList Lines(const QPlainTextEdit* mm) {
  return mm->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace

class ServiceWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void firstBlockWrapsAndCountIsCorrected() {
    testsupport::MemoryRegion region(4 * 256);
    Label(region);
    app::TssList list;
    list.prepare(&region, 1000, 5, 7);
    QCOMPARE(list.Label3->text(), QStringLiteral("N_s_s = 1000 = 0x000003E8, s_s_bgn = 5 = "
                                                 "0x00000005, s_s_end = 7 = 0x00000007"));
    list.Edit1->setText(QStringLiteral("-1"));
    list.Edit2->setText(QStringLiteral("2"));
    QTest::mouseClick(list.Button1, Qt::LeftButton);
    QCOMPARE(list.Edit1->text(), QStringLiteral("999"));
    const QStringList lines = Lines(list.mm);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QStringLiteral("0x000003E7 hdr=0 read failed"));
    QVERIFY(lines[1].startsWith(QStringLiteral("0x00000000 hdr=1 uid0=0x")));

    list.Edit1->setText(QStringLiteral("0"));
    list.Edit2->setText(QStringLiteral("5000"));
    list.Button1Click();
    QCOMPARE(list.Edit2->text(), QStringLiteral("1000"));
    QCOMPARE(Lines(list.mm).size(), 1000);

    list.Edit2->setText(QStringLiteral("many"));
    list.Button1Click();
    QCOMPARE(list.Edit2->text(), QStringLiteral("128"));
    QCOMPARE(Lines(list.mm).size(), 128);
  }

  void emptyRingListsNothing() {
    testsupport::MemoryRegion region(256);
    app::TssList list;
    list.prepare(&region, 0, 0, 0);
    list.Edit1->setText(QStringLiteral("-1"));
    list.Button1Click();
    QCOMPARE(list.mm->toPlainText(), QString());
    QCOMPARE(list.Edit1->text(), QStringLiteral("-1"));  // untouched: nothing happened
  }

  void blockListShowsEachBlockOfTheRecording() {
    testsupport::MemoryRegion region(4 * 256);
    Label(region);
    app::TBlockListForm form;
    records::TRecord one;
    one.bss_index = one.ess_index = 2;
    form.fill(region, 4, &one);
    QCOMPARE(Lines(form.mm).size(), 1);
    QVERIFY(Lines(form.mm)[0].contains(QStringLiteral("imei_sn=0x")));
    records::TRecord wrapped;
    wrapped.bss_index = 3;
    wrapped.ess_index = 0;
    form.fill(region, 4, &wrapped);
    QCOMPARE(Lines(form.mm).size(), 2);
    form.fill(region, 4, nullptr);
    QCOMPARE(form.mm->toPlainText(), QString());
  }
};

QTEST_MAIN(ServiceWindowsTest)
#include "service_windows_test.moc"
