// The main window: version label, placement rule, polling and refresh, auto-open of the only
// FAT32 card, the FAT32 filter of OpenSelected, the raw-access check for devices, the hint
// and tooltips of the drive list.
#include <QLabel>
#include <QListWidget>
#include <QSettings>
#include <QTest>

#include "app/message_boxes.h"
#include "app/removable_drives_select_form.h"
#include "app/settings_store.h"
#include "app/version_text.h"
#include "app/window_placement.h"
#include "support/temp_dir.h"

using testsupport::RunCommand;

namespace {

struct NoticeLog final : platform::NoticeSink {
  std::vector<std::string> notices;
  void notice(platform::NoticeKind, const std::string& text) override { notices.push_back(text); }
};

}  // namespace

class MainFormTest : public QObject {
  Q_OBJECT

 private:
  testsupport::TempDir dir_;
  std::vector<QString> boxes_;

  std::string image(const std::string& name, const std::string& mkfsOptions) {
    const std::string path = dir_ / name;
    RunCommand("truncate -s 64M " + path + " && mkfs.fat " + mkfsOptions + " " + path +
               " >/dev/null");
    return path;
  }

 private slots:
  void initTestCase() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir_ / "settings"));
    app::SetMessageBoxHook([this](app::BoxKind, const QString& text, bool) {
      boxes_.push_back(text);
      return false;
    });
  }

  void versionFromBuildDate() {
    QCOMPARE(app::VersionFromBuildDate("Feb 15 2015"), std::string("5.047"));
    QCOMPARE(app::VersionFromBuildDate("Dec  5 2019"), std::string("9.357"));
    QCOMPARE(app::VersionFromBuildDate("Jan 01 2020"), std::string("0.001"));
    QCOMPARE(app::VersionFromBuildDate("??? 01 2021"), std::string("1.385"));  // no month: 12
    NoticeLog log;
    app::TRemovableDrivesSelectForm form(log);
    QVERIFY(form.lblVer->text().startsWith(QStringLiteral("Версия: ")));
    QVERIFY(form.lblVer->geometry().right() <= form.width() - 8);
  }

  void placementPullsWindowsOntoTheScreen() {
    const QRect screen(0, 0, 1024, 768);
    const QSize window(240, 200);
    QCOMPARE(app::PlaceWindow(std::nullopt, window, screen), QPoint(392, 284));
    QCOMPARE(app::PlaceWindow(QPoint(-50, 10), window, screen), QPoint(0, 10));
    QCOMPARE(app::PlaceWindow(QPoint(900, 700), window, screen), QPoint(784, 568));
    QCOMPARE(app::PlaceWindow(QPoint(100, 100), window, screen), QPoint(100, 100));
    // A second screen to the right of the first: its own edges bound the window.
    const QRect right(1024, 0, 1280, 1024);
    QCOMPARE(app::PlaceWindow(std::nullopt, window, right), QPoint(1544, 412));
    QCOMPARE(app::PlaceWindow(QPoint(900, -5), window, right), QPoint(1024, 0));
    QCOMPARE(app::PlaceWindow(QPoint(2300, 900), window, right), QPoint(2064, 824));
    // A window larger than the screen keeps its top-left corner (and title bar) visible.
    QCOMPARE(app::PlaceWindow(QPoint(50, 50), QSize(1100, 800), screen), QPoint(0, 0));
  }

  void framePositionRoundTripsWithoutCreeping() {
    NoticeLog log;
    app::SettingsStore::setWindowPosition(1, QPoint(100, 120));
    auto form = std::make_unique<app::TRemovableDrivesSelectForm>(log);
    form->setDriveSource([] { return std::vector<card::DriveCandidate>{}; });
    for (int start = 0; start < 3; ++start) {
      form->show();
      QTRY_COMPARE(form->frameGeometry().topLeft(), QPoint(100, 120));
      QTest::qWait(300);  // past the placement's settling time: the user moves from here
      form->hide();
    }
    form->show();
    QTest::qWait(300);
    form->move(150, 170);
    QTRY_COMPARE(app::SettingsStore::windowPosition(1), std::optional(QPoint(150, 170)));
    form->hide();
    form->show();
    QTRY_COMPARE(form->frameGeometry().topLeft(), QPoint(150, 170));
  }

  void emptyListShowsHowToStartAndLinesCarryTheirFullText() {
    if (!testsupport::HaveProgram("mkfs.fat")) QSKIP("dosfstools missing");
    NoticeLog log;
    app::TRemovableDrivesSelectForm form(log);
    std::vector<card::DriveCandidate> drives;
    form.setDriveSource([&] { return drives; });
    form.show();
    form.RefreshDriveList();
    auto* hint = form.ListBox1->viewport()->findChild<QLabel*>();
    QVERIFY(hint && hint->isVisible());
    QVERIFY(hint->text().contains(QStringLiteral("Ctrl+M")));
    const std::string fat32 = image("long.img", "-F 32");
    drives = {{fat32, "/media/someone/A-CARD-WITH-A-RATHER-LONG-VOLUME-LABEL"}};
    form.RefreshDriveList();
    QVERIFY(!hint->isVisible());
    QCOMPARE(form.ListBox1->item(0)->toolTip(), form.ListBox1->item(0)->text());
    QCOMPARE(form.ListBox1->textElideMode(), Qt::ElideMiddle);
    form.close();
  }

  void pollingRefreshesOneQuietTickAfterEvents() {
    app::DrivePollState poll;
    poll.countEvent();  // ignored: polling is off
    QCOMPARE(poll.changeCount(), 1);
    poll.pollingEnabled = true;
    QCOMPARE(poll.tick(), app::DrivePollState::Tick::idle);     // first sight of count 1
    QCOMPARE(poll.tick(), app::DrivePollState::Tick::refresh);  // a quiet tick: refresh
    QCOMPARE(poll.tick(), app::DrivePollState::Tick::idle);
    poll.countEvent();
    QCOMPARE(poll.tick(), app::DrivePollState::Tick::idle);
    poll.countEvent();  // still arriving: wait again
    QCOMPARE(poll.tick(), app::DrivePollState::Tick::idle);
    QCOMPARE(poll.tick(), app::DrivePollState::Tick::refresh);
    poll.exitOnClose = true;
    QCOMPARE(poll.tick(), app::DrivePollState::Tick::exit);
  }

  void autoOpenOnlyTheOneFat32Card() {
    app::DrivePollState poll;
    const std::string fat32 = "/dev/sdb1, 7.402GB,  FAT32, formatted";
    QCOMPARE(poll.autoOpenLine({fat32}), 0);
    QCOMPARE(poll.autoOpenLine({"/dev/sdb1, 64MB,  FAT16"}), -1);
    QCOMPARE(poll.autoOpenLine({fat32, "/dev/sdc1, 2GB,  FAT32"}), -1);
    QCOMPARE(poll.autoOpenLine({}), -1);
    poll.autoOpen = false;  // after "Выбрать носитель"
    QCOMPARE(poll.autoOpenLine({fat32}), -1);
  }

  void listShowsVolumesAndRefusesFat16() {
    if (!testsupport::HaveProgram("mkfs.fat")) QSKIP("dosfstools missing");
    const std::string fat16 = image("fat16.img", "-F 16");
    const std::string fat32 = image("fat32.img", "-F 32");
    NoticeLog log;
    app::TRemovableDrivesSelectForm form(log);
    form.setDriveSource([&] {
      return std::vector<card::DriveCandidate>{{fat16, ""}, {fat32, "/media/card"}};
    });
    form.RefreshDriveList();
    QCOMPARE(form.ListBox1->count(), 2);
    QCOMPARE(form.ListBox1->item(1)->text(),
             QString::fromStdString(fat32 + " (/media/card), 64MB,  FAT32, formatted"));
    form.ListBox1->setCurrentRow(0);
    boxes_.clear();
    form.OpenSelected();
    QCOMPARE(boxes_.size(), size_t(1));
    QCOMPARE(boxes_[0], QStringLiteral("Данная файловая система не поддерживается."));
    QVERIFY(form.selectedDrive().isEmpty());
    // The selection survives a refresh while its index is still in the list.
    form.ListBox1->setCurrentRow(1);
    form.RefreshDriveList();
    QCOMPARE(form.ListBox1->currentRow(), 1);
  }

  void onlyFat32CardOpensByItself() {
    if (!testsupport::HaveProgram("mkfs.fat")) QSKIP("dosfstools missing");
    const std::string fat32 = image("only.img", "-F 32");
    NoticeLog log;
    app::TRemovableDrivesSelectForm form(log);  // no card window: opening only selects
    form.setAdminCheck([](const std::string&) { return true; });
    form.setDriveSource([&] { return std::vector<card::DriveCandidate>{{fat32, ""}}; });
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(!form.selectedDrive().isEmpty(), 3000);
    QVERIFY(form.selectedDrive().startsWith(QString::fromStdString(fat32)));
  }

  void withoutRawAccessOnlyDevicesAreRefused() {
    if (!testsupport::HaveProgram("mkfs.fat")) QSKIP("dosfstools missing");
    const std::string fat32 = image("device.img", "-F 32");
    NoticeLog log;
    app::TRemovableDrivesSelectForm form(log);  // no card window: opening only selects
    std::vector<std::string> asked;
    form.setAdminCheck([&](const std::string& path) {
      asked.push_back(path);
      return false;
    });
    form.setDriveSource([&] { return std::vector<card::DriveCandidate>{{fat32, ""}}; });
    form.poll().autoOpen = false;
    boxes_.clear();
    form.show();
    QTest::keyClick(&form, Qt::Key_Escape);  // never ends the program
    QTest::qWait(1200);  // the list is built on the second tick
    QVERIFY(form.isVisible());
    QVERIFY(boxes_.empty());  // no refusal at start: card copies need no privilege
    QVERIFY(form.poll().pollingEnabled);

    QTRY_COMPARE(form.ListBox1->count(), 1);
    form.ListBox1->setCurrentRow(0);
    form.OpenSelected();
    QCOMPARE(asked, std::vector<std::string>{fat32});
    QCOMPARE(boxes_.size(), size_t(1));
    QVERIFY(boxes_[0].startsWith(
        QStringLiteral("Программа должна быть запущена\nот имени администратора!")));
    QVERIFY(boxes_[0].contains(QStringLiteral("run as root or join the disk group")));
    QVERIFY(form.isVisible());

    // An image folder is opened without asking for raw access.
    form.OpenImageFolder(QString::fromStdString(dir_ / "folder"));
    QCOMPARE(asked.size(), size_t(1));
    QCOMPARE(form.selectedDrive(), QString::fromStdString(dir_ / "folder"));
    form.close();
  }
};

QTEST_MAIN(MainFormTest)
#include "main_form_test.moc"
