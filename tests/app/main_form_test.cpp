// The main window: version label, placement rule, polling and refresh, auto-open of the only
// FAT32 card, the FAT32 filter of OpenSelected, and the administrator check.
#include <QLabel>
#include <QListWidget>
#include <QSettings>
#include <QTest>

#include "app/message_boxes.h"
#include "app/removable_drives_select_form.h"
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
    form.setAdminCheck([] { return true; });
    form.setDriveSource([&] { return std::vector<card::DriveCandidate>{{fat32, ""}}; });
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(!form.selectedDrive().isEmpty(), 3000);
    QVERIFY(form.selectedDrive().startsWith(QString::fromStdString(fat32)));
  }

  void withoutRawAccessTheProgramEnds() {
    NoticeLog log;
    app::TRemovableDrivesSelectForm form(log);
    form.setAdminCheck([] { return false; });
    form.setDriveSource([] { return std::vector<card::DriveCandidate>{}; });
    boxes_.clear();
    form.show();
    QTRY_VERIFY(!form.isVisible());
    QCOMPARE(boxes_.size(), size_t(1));
    QCOMPARE(boxes_[0], QStringLiteral("Программа должна быть запущена\nот имени администратора!"));
    QVERIFY(!form.poll().pollingEnabled);
  }
};

QTEST_MAIN(MainFormTest)
#include "main_form_test.moc"
