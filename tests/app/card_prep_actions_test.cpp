// Clearing, erase, recovery and the settings save from the card operations window, on a marked
// volume image written by the recorder simulator: the questions and results shown, what
// reaches the card, and how the window closes after a recovery.
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "app/card_op_form.h"
#include "app/card_prep_actions.h"
#include "app/drive_poll_state.h"
#include "app/message_boxes.h"
#include "app/settings_form.h"
#include "cardsim/volume_image_sink.h"
#include "cardsim/volume_maker.h"
#include "support/image_folder.h"
#include "support/temp_dir.h"

using testsupport::RunCommand;

namespace {

struct Silent final : platform::NoticeSink {
  void notice(platform::NoticeKind, const std::string&) override {}
};

app::CardActions NoActions() {
  auto none = [](app::TCardOpForm&) {};
  app::CardActions a{none, none, none, nullptr, none, none, none};
  a.mark = [](app::TCardOpForm&) { return false; };
  return a;
}

}  // namespace

class CardPrepActionsTest : public QObject {
  Q_OBJECT

 private:
  testsupport::TempDir dir_;
  std::vector<QString> boxes_;
  bool answer_ = true;
  Silent sink_;

  // A fresh marked volume with two recordings; returns its path.
  QString card(const std::string& name) {
    const std::string image = dir_ / name;
    std::string error;
    cardsim::VolumeLayout layout;
    layout.partition_file_bytes = {8u << 20, 8u << 20};
    if (!cardsim::MakeMarkedVolume(image, layout, error)) qFatal("%s", error.c_str());
    cardsim::Scenario s;
    s.info_only = true;
    s.ring_start_block = 5;
    for (uint32_t blocks : {3u, 4u}) {
      cardsim::RecordingSpec r;
      r.blocks = blocks;
      s.recordings.push_back(r);
    }
    if (!cardsim::WriteCardToVolumeImage(s, image).ok) qFatal("card not written");
    return QString::fromStdString(image);
  }

  std::unique_ptr<app::TCardOpForm> open(const QString& medium) {
    auto form = std::make_unique<app::TCardOpForm>(sink_);
    form->setActions(NoActions());
    form->setMediumPath(medium);
    form->show();
    boxes_.clear();
    return form;
  }

  bool haveTools() {
    return testsupport::HaveProgram("mkfs.fat") && testsupport::HaveProgram("mcopy");
  }

 private slots:
  void initTestCase() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir_ / "settings"));
    app::SetMessageBoxHook([this](app::BoxKind, const QString& text, bool) {
      boxes_.push_back(text);
      return answer_;
    });
  }

  void clearAsksNamesTheCardAndEmptiesTheRing() {
    if (!haveTools()) QSKIP("dosfstools or mtools missing");
    const QString path = card("clear.img");
    auto form = open(path);
    const uint32_t end = form->medium().serviceSector.rec_end_sectnum();
    QVERIFY(form->medium().s_s_bgn != form->medium().s_s_end);

    answer_ = false;  // No: nothing happens
    app::ClearCardAction(*form);
    QCOMPARE(boxes_.size(), size_t(1));
    QCOMPARE(boxes_[0],
             QStringLiteral("Вы действительно хотите удалить\nвсе записи на карте памяти ") +
                 path + QStringLiteral(" ?"));
    QVERIFY(form->medium().serviceSector.rec_bgn_sectnum() != end);

    answer_ = true;
    boxes_.clear();
    app::ClearCardAction(*form);
    QCOMPARE(boxes_.size(), size_t(2));
    QCOMPARE(boxes_[1], QStringLiteral("Карта памяти очищена."));
    // Reopened: read back from the card.
    QVERIFY(!form->medium().writable());
    QCOMPARE(form->medium().serviceSector.rec_bgn_sectnum(), end);
    QCOMPARE(form->medium().serviceSector.rec_end_sectnum(), end);
  }

  void eraseThenRecoverClosesTheWindowForAReopen() {
    if (!haveTools()) QSKIP("dosfstools or mtools missing");
    const QString path = card("recover.img");
    auto form = open(path);
    app::DrivePollState poll;
    poll.autoOpen = false;
    poll.exitOnClose = true;
    form->setShell(nullptr, &poll);

    app::EraseCardAction(*form);
    QCOMPARE(boxes_.back(), QStringLiteral("Карта памяти очищена!"));
    QVERIFY(boxes_[0].endsWith(QStringLiteral(" ?!")));
    QCOMPARE(form->medium().serviceSector.rec_end_sectnum(), 0xFFFFFFFFu);

    boxes_.clear();
    const uint32_t rsr = form->medium().partitionStart + form->medium().hcpt0000Sector;
    const uint32_t region = form->medium().dirRegionSectors;
    QVERIFY(app::RecoverRecordsAction(*form));  // true: the next record list scans every block
    QCOMPARE(boxes_.size(), size_t(2));
    QCOMPARE(boxes_[0], QStringLiteral("Вы действительно хотите попытаться\nвосстановить все "
                                       "возможные записи\nна карте памяти ") +
                            path + QStringLiteral(" ?"));
    QCOMPARE(boxes_[1], QStringLiteral("Произведена попытка воостановления записей."));
    QVERIFY(poll.autoOpen);
    QVERIFY(!poll.exitOnClose);
    QVERIFY(!form->isVisible());

    auto again = open(path);
    QCOMPARE(again->medium().serviceSector.rec_bgn_sectnum(), rsr);
    QCOMPARE(again->medium().serviceSector.rec_end_sectnum(), rsr + region - 256);
  }

  void nothingHappensOnACardImage() {
    const std::string folder = dir_ / "image";
    RunCommand("mkdir -p " + folder);
    testsupport::WriteImageFolder(folder, 8, [](card::ServiceSector& s) {
      s.set_rsr_sectnum(5000);
      s.set_rec_bgn_sectnum(5000);
      s.set_rec_end_sectnum(5000);
    });
    auto form = open(QString::fromStdString(folder));
    app::CardActions actions = NoActions();
    actions.clear = app::ClearCardAction;
    actions.erase = app::EraseCardAction;
    actions.recover = app::RecoverRecordsAction;
    form->setActions(actions);
    app::DrivePollState poll;
    form->setShell(nullptr, &poll);
    poll.autoOpen = false;
    form->EraseKey();
    form->RecoverKey();
    app::ClearCardAction(*form);
    QVERIFY(boxes_.empty());
    QVERIFY(form->isVisible());
    QVERIFY(!poll.autoOpen);
  }

  void settingsSaveReachesTheCard() {
    if (!haveTools()) QSKIP("dosfstools or mtools missing");
    const QString path = card("settings.img");
    auto form = open(path);
    app::TSettingsForm settings;
    QTimer::singleShot(0, &settings, [&] {
      settings.trkbarAVox->setValue(6);
      settings.btnSaveClick();
    });
    app::SettingsAction(settings, *form);
    QVERIFY(boxes_.empty());  // a good write shows nothing
    QCOMPARE(int(form->medium().serviceSector.audio_vox_level()), 6);
    auto again = open(path);
    QCOMPARE(int(again->medium().serviceSector.audio_vox_level()), 6);
  }
};

QTEST_MAIN(CardPrepActionsTest)
#include "card_prep_actions_test.moc"
