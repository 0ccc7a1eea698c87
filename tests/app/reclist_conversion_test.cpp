// A real conversion through the record list window: a simulated card, the scan, the queue of
// every recording, and .mp4 files that ffprobe reads.
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QtTest>
#include <filesystem>

#include "app/message_boxes.h"
#include "app/settings_store.h"
#include "card/card_medium.h"
#include "cardsim/card_writer.h"
#include "platform/notice_sink.h"
#include "app/reclist_form.h"
#include "support/temp_dir.h"

namespace {

cardsim::Scenario TwoRecordings() {
  cardsim::Scenario s;
  s.seed = 5;
  s.width = 352;
  s.height = 288;
  s.partition_file_bytes = {1u << 20, 512u << 10};
  cardsim::RecordingSpec r;
  r.start = cardsim::CivilTime{2014, 3, 5, 14, 7, 9};
  r.duration_s = 3;
  s.recordings.push_back(r);
  r.start.reset();
  r.pause_s = 20;
  r.duration_s = 2;
  s.recordings.push_back(r);
  return s;
}

}  // namespace

class RecListConversionTest : public QObject {
  Q_OBJECT

 private:
  testsupport::TempDir settingsDir_;

 private slots:
  // Settings go to a folder of this test run, so that parallel test programs do not meet.
  void initTestCase() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(settingsDir_.path().string()));
  }

  void convertsEveryCheckedRecordingIntoPlayableFiles() {
    testsupport::TempDir dir;
    const cardsim::CardResult card = cardsim::WriteCardToFolder(TwoRecordings(), dir / "card");
    QVERIFY2(card.ok, card.error.c_str());
    std::filesystem::create_directory(dir / "out");

    platform::NullNoticeSink notices;
    card::CardMedium medium(notices);
    QVERIFY(medium.OpenMedium(dir / "card"));
    QVERIFY(medium.marked);

    QStringList asked;
    app::SetMessageBoxHook([&](app::BoxKind, const QString& text, bool) {
      asked << text;
      return false;
    });
    TRecListForm form;
    form.setFolderChooser(
        [&](QWidget*, const QString&) { return QString::fromStdString(dir / "out"); });
    form.showFor(records::RecListMediumOf(medium));
    auto* list = form.findChild<QListWidget*>("CheckListBox1");
    QTRY_COMPARE(list->count(), 2);
    QTRY_VERIFY(!form.scanRunning());

    form.findChild<QPushButton*>("btnSelAll")->click();
    form.findChild<QPushButton*>("btnStartConv")->click();
    QVERIFY(form.converting());
    QTRY_VERIFY_WITH_TIMEOUT(!form.isVisible(), 120000);
    app::SetMessageBoxHook(nullptr);
    QCOMPARE(asked.value(0), QStringLiteral("Готово! Открыть папку с записями?"));

    for (const cardsim::RecordingResult& rec : card.recordings) {
      const std::string mp4 = dir / ("out/" + rec.stamp + ".mp4");
      QVERIFY2(std::filesystem::exists(mp4), mp4.c_str());
      if (!testsupport::HaveProgram("ffprobe")) continue;
      const testsupport::CommandResult probe = testsupport::RunCommand(
          "ffprobe -v error -show_entries stream=codec_type -of csv=p=0 '" + mp4 + "'");
      QCOMPARE(probe.status, 0);
      QVERIFY2(probe.output.find("video") != std::string::npos, probe.output.c_str());
      QVERIFY2(probe.output.find("audio") != std::string::npos, probe.output.c_str());
    }
    // Nothing but the two movies is left behind (no temporary elementary streams).
    QCOMPARE(std::distance(std::filesystem::directory_iterator(dir / "out"),
                           std::filesystem::directory_iterator()),
             std::ptrdiff_t(card.recordings.size()));
  }

  // The check box is kept in the settings and makes the queue write the track, subtitles
  // and samples beside every file.
  void telemetryCheckBoxWritesTheFilesBesideEachMovie() {
    testsupport::TempDir dir;
    const cardsim::CardResult card = cardsim::WriteCardToFolder(TwoRecordings(), dir / "card");
    QVERIFY2(card.ok, card.error.c_str());
    std::filesystem::create_directory(dir / "out");
    platform::NullNoticeSink notices;
    card::CardMedium medium(notices);
    QVERIFY(medium.OpenMedium(dir / "card"));
    app::SetMessageBoxHook([](app::BoxKind, const QString&, bool) { return false; });
    app::SettingsStore::setSaveTelemetry(false);
    {
      TRecListForm form;
      auto* check = form.findChild<QCheckBox*>("chkTelemetry");
      QVERIFY(check);
      QCOMPARE(check->text(), QStringLiteral("Сохранять трек GPS и субтитры"));
      QVERIFY(!check->isChecked());
      check->setChecked(true);
    }
    QVERIFY(app::SettingsStore::saveTelemetry());

    TRecListForm form;
    QVERIFY(form.findChild<QCheckBox*>("chkTelemetry")->isChecked());
    form.setFolderChooser(
        [&](QWidget*, const QString&) { return QString::fromStdString(dir / "out"); });
    form.showFor(records::RecListMediumOf(medium));
    QTRY_COMPARE(form.findChild<QListWidget*>("CheckListBox1")->count(), 2);
    QTRY_VERIFY(!form.scanRunning());
    form.findChild<QPushButton*>("btnSelAll")->click();
    form.findChild<QPushButton*>("btnStartConv")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.isVisible(), 120000);
    app::SetMessageBoxHook(nullptr);
    app::SettingsStore::setSaveTelemetry(false);
    for (const cardsim::RecordingResult& rec : card.recordings)
      for (const char* ext : {".mp4", ".gpx", ".srt", ".csv"}) {
        const std::string path = dir / ("out/" + rec.stamp + ext);
        std::error_code ec;
        QVERIFY2(std::filesystem::file_size(path, ec) > 0 && !ec, path.c_str());
      }
  }
  // The queue moves on when a worker reports done, not on the progress timer's tick: with a
  // timer that would not tick for an hour, both recordings are still converted.
  void queueMovesOnWhenTheWorkerReportsDone() {
    testsupport::TempDir dir;
    const cardsim::CardResult card = cardsim::WriteCardToFolder(TwoRecordings(), dir / "card");
    QVERIFY2(card.ok, card.error.c_str());
    std::filesystem::create_directory(dir / "out");
    platform::NullNoticeSink notices;
    card::CardMedium medium(notices);
    QVERIFY(medium.OpenMedium(dir / "card"));
    app::SetMessageBoxHook([&](app::BoxKind, const QString&, bool) { return false; });
    TRecListForm form;
    form.setFolderChooser(
        [&](QWidget*, const QString&) { return QString::fromStdString(dir / "out"); });
    form.showFor(records::RecListMediumOf(medium));
    QTRY_COMPARE(form.findChild<QListWidget*>("CheckListBox1")->count(), 2);
    QTRY_VERIFY(!form.scanRunning());
    auto* timer = form.findChild<QTimer*>("Timer1");
    QVERIFY(timer);
    timer->setInterval(3600 * 1000);
    form.findChild<QPushButton*>("btnSelAll")->click();
    form.findChild<QPushButton*>("btnStartConv")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.isVisible(), 120000);
    app::SetMessageBoxHook(nullptr);
    for (const cardsim::RecordingResult& rec : card.recordings)
      QVERIFY(std::filesystem::exists(dir / ("out/" + rec.stamp + ".mp4")));
  }
};

QTEST_MAIN(RecListConversionTest)
#include "reclist_conversion_test.moc"
