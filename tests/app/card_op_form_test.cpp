// The card operations window on real media: image folders, and FAT volume images made with
// mkfs.fat and mcopy (empty, marked by copying the hc files, and unformatted).
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include "app/card_op_form.h"
#include "app/drive_poll_state.h"
#include "app/message_boxes.h"
#include "support/image_folder.h"
#include "support/temp_dir.h"

using testsupport::RunCommand;

namespace {

struct NoticeLog final : platform::NoticeSink {
  std::vector<std::string> notices;
  void notice(platform::NoticeKind, const std::string& text) override { notices.push_back(text); }
};

app::CardActions AllActions() {
  auto none = [](app::TCardOpForm&) {};
  auto notMarked = [](app::TCardOpForm&) { return false; };
  return {none, none, none, notMarked, none, none, none};
}

struct ButtonState {
  QString caption;
  bool mode, settings, records;
};

ButtonState Buttons(const app::TCardOpForm& f) {
  return {f.Button1->text(), f.Button1->isEnabled(), f.Button2->isEnabled(),
          f.Button3->isEnabled()};
}

}  // namespace

class CardOpFormTest : public QObject {
  Q_OBJECT

 private:
  testsupport::TempDir dir_;
  std::vector<QString> boxes_;

  QString path(const std::string& name) { return QString::fromStdString(dir_ / name); }

  // Opens `medium` in a fresh window (shown, not modal) and returns it.
  std::unique_ptr<app::TCardOpForm> open(NoticeLog& log, const QString& medium,
                                         bool withActions = true) {
    auto form = std::make_unique<app::TCardOpForm>(log);
    if (withActions) form->setActions(AllActions());
    form->setMediumPath(medium);
    form->show();
    return form;
  }

  // A 64 MiB FAT32 volume image; with `marked` the hc files are copied onto it.
  QString fatImage(const std::string& name, bool marked) {
    const std::string image = dir_ / name;
    RunCommand("truncate -s 64M " + image + " && mkfs.fat -F 32 " + image + " >/dev/null");
    if (marked) {
      const std::string files = dir_ / (name + ".files");
      RunCommand("mkdir -p " + files);
      testsupport::WriteImageFolder(files, 8);
      for (const char* f : {"hc00info.hcf", "hc01info.hcf", "hcpt0000.hcf"})
        RunCommand("mcopy -i " + image + " " + files + "/" + f + " ::" + f);
    }
    return QString::fromStdString(image);
  }

 private slots:
  void initTestCase() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir_ / "settings"));
    app::SetMessageBoxHook([this](app::BoxKind, const QString& text, bool) {
      boxes_.push_back(text);
      return false;
    });
    RunCommand("mkdir -p " + dir_ / "image");
    testsupport::WriteImageFolder(dir_ / "image", 8);
  }

  void imageFolderIsMarkedButReadOnly() {
    NoticeLog log;
    auto form = open(log, path("image") + "/");
    const ButtonState b = Buttons(*form);
    QCOMPARE(b.caption, QStringLiteral("Очистить карту"));
    QVERIFY(!b.mode);
    QVERIFY(!b.settings);
    QVERIFY(b.records);
    QCOMPARE(form->windowTitle(), QStringLiteral("Korvan (%1)").arg(path("image")));
    QVERIFY(form->Label1->text().startsWith(QStringLiteral("Образ карты памяти размечен.")));
    // Record space and total are the same size for an image: 8 blocks of 128 KiB.
    QVERIFY(form->Label1->text().endsWith(QStringLiteral("отведено 1MB из 1MB")));
  }

  void buttonsFollowTheCardClass() {
    if (!testsupport::HaveProgram("mkfs.fat") || !testsupport::HaveProgram("mcopy"))
      QSKIP("dosfstools or mtools missing");
    NoticeLog log;
    auto marked = open(log, fatImage("marked.img", true));
    ButtonState b = Buttons(*marked);
    QCOMPARE(b.caption, QStringLiteral("Очистить карту"));
    QVERIFY(b.mode && b.settings && b.records);

    auto empty = open(log, fatImage("empty.img", false));
    b = Buttons(*empty);
    QCOMPARE(b.caption, QStringLiteral("Разметить карту"));
    QVERIFY(b.mode && !b.settings && !b.records);

    RunCommand("truncate -s 1M " + dir_ / "zeros.img");
    auto unformatted = open(log, path("zeros.img"));
    b = Buttons(*unformatted);
    QCOMPARE(b.caption, QStringLiteral("Форматир. карту"));
    QVERIFY(b.mode && !b.settings && !b.records);
    QCOMPARE(unformatted->Label2->text(), QString(36, QLatin1Char('=')));
    QVERIFY(unformatted->Button4->isEnabled());
  }

  void missingOperationsStayDisabled() {
    if (!testsupport::HaveProgram("mkfs.fat") || !testsupport::HaveProgram("mcopy"))
      QSKIP("dosfstools or mtools missing");
    NoticeLog log;
    auto form = open(log, fatImage("bare.img", true), false);
    const ButtonState b = Buttons(*form);
    QCOMPARE(b.caption, QStringLiteral("Очистить карту"));
    QVERIFY(!b.mode && !b.settings && !b.records);
  }

  void summaryOfAFreshlyMarkedCard() {
    NoticeLog log;
    auto form = open(log, path("image"));
    QCOMPARE(form->summaryText(),
             QStringLiteral("rec_bgn/end_sectnum: [-1 : -1]\n == [0ss : 0ss]\n"
                            " N_sectors_in_rsr = 2048 = 8ss\n rsr_sectnum = -1\n"
                            " serv_label_number = -1\n recstate = ()"));
    boxes_.clear();
    form->SummaryKey();  // the mode button is disabled for an image: no hidden key works
    form->ServiceListKey();
    form->EraseKey();
    QVERIFY(boxes_.empty());
  }

  void hiddenKeysNeedTheFocusedEnabledModeButton() {
    if (!testsupport::HaveProgram("mkfs.fat") || !testsupport::HaveProgram("mcopy"))
      QSKIP("dosfstools or mtools missing");
    NoticeLog log;
    auto form = open(log, fatImage("keys.img", true));
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QVERIFY(form->Button1->isEnabled());
    form->Button3->setFocus();
    boxes_.clear();
    QTest::keyClick(form.get(), Qt::Key_I, Qt::ControlModifier);
    QVERIFY(boxes_.empty());
    form->Button1->setFocus();
    QTest::keyClick(form->Button1, Qt::Key_I, Qt::ControlModifier);
    QCOMPARE(boxes_.size(), size_t(1));
    QCOMPARE(boxes_[0], form->summaryText());
  }

  void escapeNeitherClosesTheWindowNorEndsTheProgram() {
    NoticeLog log;
    app::DrivePollState poll;
    auto form = open(log, path("image"));
    form->setShell(nullptr, &poll);
    poll.exitOnClose = true;  // as after a device was opened
    QTest::keyClick(form.get(), Qt::Key_Escape);
    QVERIFY(form->isVisible());
    QVERIFY(poll.exitOnClose);
  }

  void theWholeDescriptionFits() {
    NoticeLog log;
    auto form = open(log, path("image"));
    // The whole description fits: the label is as tall as its wrapped text needs.
    QVERIFY(form->Label1->height() >= form->Label1->heightForWidth(form->Label1->width()));
    QVERIFY(form->Button3->y() >= form->Label1->y() + form->Label1->height());
  }

  void barClickSwitchesUsedAndFree() {
    RunCommand("mkdir -p " + dir_ / "used");
    testsupport::WriteImageFolder(dir_ / "used", 8, [](card::ServiceSector& s) {
      s.set_rsr_sectnum(5000);
      s.set_rec_bgn_sectnum(5000 + 1792);  // wrapped ring: begin after end
      s.set_rec_end_sectnum(5000 + 256);
    });
    NoticeLog log;
    auto form = open(log, path("used"));
    // used = 2048 - (1792 - 256) = 512 sectors
    QCOMPARE(form->Label2->text(), QStringLiteral(" Заполн.: 256kB из 1MB"));
    QTest::mouseClick(form->Label2, Qt::LeftButton);
    QCOMPARE(form->Label2->text(), QStringLiteral(" Своб.: 768kB из 1MB"));
    QTest::mouseClick(form->Image1, Qt::LeftButton);
    QCOMPARE(form->Label2->text(), QStringLiteral(" Заполн.: 256kB из 1MB"));
  }

  void failedOpenTellsTheShellNotToExit() {
    NoticeLog log;
    app::DrivePollState poll;
    poll.exitOnClose = true;
    app::TCardOpForm form(log);
    form.setShell(nullptr, &poll);
    form.setMediumPath(path("no-such-device"));
    form.show();
    QVERIFY(!poll.exitOnClose);
    QCOMPARE(log.notices.size(), size_t(1));
    QTRY_VERIFY(!form.isVisible());
  }

  void chooseMediumTurnsAutoOpenOff() {
    NoticeLog log;
    app::DrivePollState poll;
    auto form = open(log, path("image"));
    form->setShell(nullptr, &poll);
    form->Button4Click();
    QVERIFY(!poll.autoOpen);
    QVERIFY(!poll.exitOnClose);
    QVERIFY(!form->isVisible());
  }
};

QTEST_MAIN(CardOpFormTest)
#include "card_op_form_test.moc"
