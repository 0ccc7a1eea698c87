// The preview window on a simulated card: decode deferred to the timer, a range converted into
// a playable file under the next free number, closing during a conversion, a reopening that
// does not seek on the previous recording, Ctrl+O, and a missing decoder.
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QtTest>
#include <filesystem>

#include "app/message_boxes.h"
#include "app/rec_preview_form.h"
#include "app/reclist_form.h"
#include "card/card_medium.h"
#include "cardsim/card_writer.h"
#include "platform/notice_sink.h"
#include "support/temp_dir.h"

namespace {

cardsim::Scenario TwoRecordings() {
  cardsim::Scenario s;
  s.seed = 9;
  s.width = 352;
  s.height = 288;
  s.partition_file_bytes = {2u << 20};
  cardsim::RecordingSpec r;
  r.start = cardsim::CivilTime{2016, 4, 5, 6, 7, 8};
  r.duration_s = 3;
  s.recordings.push_back(r);
  r.start.reset();
  r.duration_s = 2;
  s.recordings.push_back(r);
  return s;
}

std::vector<std::string> FilesWith(const std::string& dir, const std::string& ext) {
  std::vector<std::string> found;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.path().extension() == ext) found.push_back(e.path().filename().string());
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

class RecPreviewFormTest : public QObject {
  Q_OBJECT

 private:
  testsupport::TempDir settingsDir_;
  testsupport::TempDir dir_;
  cardsim::CardResult card_;
  platform::NullNoticeSink notices_;
  std::unique_ptr<card::CardMedium> medium_;
  std::unique_ptr<TRecListForm> list_;
  QStringList messages_;

  // Opens the preview for recording `index` of the list.
  void openPreview(TRecPreviewForm& form, int index) {
    list_->conversionRequest().convRecord = index;
    form.showFor(*list_);
  }
  bool isBlack(const TRecPreviewForm& form) {
    return form.shownImage().pixel(100, 100) == (0xFF000000u | preview::kBlackPixel);
  }

 private slots:
  void initTestCase() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(settingsDir_.path().string()));
    card_ = cardsim::WriteCardToFolder(TwoRecordings(), dir_ / "card");
    QVERIFY2(card_.ok, card_.error.c_str());
    medium_ = std::make_unique<card::CardMedium>(notices_);
    QVERIFY(medium_->OpenMedium(dir_ / "card"));
    list_ = std::make_unique<TRecListForm>();
    list_->showFor(records::RecListMediumOf(*medium_));
    QTRY_COMPARE(list_->findChild<QListWidget*>("CheckListBox1")->count(), 2);
    QTRY_VERIFY(!list_->scanRunning());
    app::SetMessageBoxHook([this](app::BoxKind, const QString& text, bool) {
      messages_ << text;
      return false;
    });
  }
  void init() { messages_.clear(); }
  void cleanupTestCase() { app::SetMessageBoxHook(nullptr); }

  void sliderMovesDecodeOnlyAfterTheTimer() {
    TRecPreviewForm form;
    openPreview(form, 0);
    QVERIFY(isBlack(form));
    QVERIFY(!form.session()->seeker().shown_decoded());
    QTRY_VERIFY_WITH_TIMEOUT(!isBlack(form), 2000);
    auto* slider = form.findChild<QSlider*>("TrackBar1");
    QCOMPARE(slider->maximum(), int(card_.recordings[0].blocks) - 1);
    slider->setValue(slider->maximum());
    QVERIFY(!form.session()->seeker().shown_decoded());  // sought, not decoded yet
    QTRY_VERIFY_WITH_TIMEOUT(form.session()->seeker().shown_decoded(), 2000);
    QCOMPARE(form.findChild<QLabel*>("lblGps")->text().left(7), QStringLiteral("заряд: "));
    // Beside the battery line, the block's fix as the track files give it.
    QCOMPARE(form.findChild<QLabel*>("lblFix")->text().toStdString(),
             form.session()->fix_text());
    QVERIFY(!form.findChild<QLabel*>("lblFix")->text().isEmpty());
    form.close();
  }

  void ctrlOShowsTheMapOnlyOverADecodedPicture() {
    TRecPreviewForm form;
    form.setDecoderName("no-such-decoder");  // nothing is ever decoded
    openPreview(form, 0);
    auto* slider = form.findChild<QSlider*>("TrackBar1");
    QTest::keyClick(slider, Qt::Key_O, Qt::ControlModifier);
    QVERIFY(isBlack(form));
    form.close();

    TRecPreviewForm decoding;
    openPreview(decoding, 0);
    QTRY_VERIFY_WITH_TIMEOUT(!isBlack(decoding), 2000);
    QTest::keyClick(decoding.findChild<QSlider*>("TrackBar1"), Qt::Key_O, Qt::ControlModifier);
    const QRgb p = decoding.shownImage().pixel(0, 0);
    QCOMPARE(qRed(p), 24);  // the map's border lines
    QCOMPARE(qGreen(p), 24);
    decoding.close();
  }

  void missingDecoderIsReportedAndTheWindowStaysUsable() {
    TRecPreviewForm form;
    form.setDecoderName("no-such-decoder");
    openPreview(form, 0);
    QTest::qWait(500);
    QCOMPARE(messages_, QStringList{QStringLiteral("Декодер H264 не найден.")});
    QVERIFY(form.isVisible());
    QVERIFY(form.findChild<QSlider*>("TrackBar1")->isEnabled());
    form.close();
    QVERIFY(!form.isVisible());
  }

  void reopeningDoesNotSeekOnThePreviousRecording() {
    TRecPreviewForm form;
    openPreview(form, 0);
    auto* slider = form.findChild<QSlider*>("TrackBar1");
    slider->setValue(1);
    QCOMPARE(TRecPreviewForm::lastHandledPosition(), 1);
    form.close();
    openPreview(form, 1);
    // The reset to 0 did not reach the position handler (it would have sought on recording 0).
    QCOMPARE(TRecPreviewForm::lastHandledPosition(), 1);
    QCOMPARE(form.session()->seeker().cur_block(), int(card_.recordings[1].first_block));
    QCOMPARE(slider->value(), 0);
    form.close();
  }

  void rangeConversionWritesPlayableNumberedFiles() {
    if (!testsupport::HaveProgram("ffprobe")) QSKIP("ffprobe is not installed");
    testsupport::TempDir out;
    TRecPreviewForm form;
    form.setFolderChooser([&](QWidget*, const QString&) { return QString::fromStdString(out.path()); });
    openPreview(form, 0);
    auto* conv = form.findChild<QPushButton*>("btnConv");
    for (int n = 1; n <= 2; ++n) {
      conv->click();
      QVERIFY(form.converting());
      QCOMPARE(conv->text(), QStringLiteral("прервать"));
      QVERIFY(!form.findChild<QSlider*>("TrackBar1")->isEnabled());
      QTRY_VERIFY_WITH_TIMEOUT(!form.converting(), 60000);
      QCOMPARE(messages_.value(n - 1), QStringLiteral("Готово! Открыть папку с записями?"));
    }
    const std::string stamp = card_.recordings[0].stamp;
    QCOMPARE(FilesWith(out.path(), ".mp4"),
             (std::vector<std::string>{stamp + "_001.mp4", stamp + "_002.mp4"}));
    const testsupport::CommandResult probe = testsupport::RunCommand(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames "
        "-of csv=p=0 " + (out / (stamp + "_001.mp4")));
    QCOMPARE(probe.status, 0);
    QCOMPARE(std::stoull(probe.output), card_.recordings[0].stats.video_frames);
    form.close();
  }

  void closingDuringAConversionStopsItAndLeavesNoTemporaryFile() {
    testsupport::TempDir out;
    TRecPreviewForm form;
    form.setFolderChooser([&](QWidget*, const QString&) { return QString::fromStdString(out.path()); });
    openPreview(form, 0);
    form.findChild<QPushButton*>("btnConv")->click();
    QVERIFY(form.converting());
    form.close();
    QVERIFY(!form.converting());
    QCOMPARE(messages_, QStringList{QStringLiteral("Конвертация прервана!")});
    QVERIFY(FilesWith(out.path(), ".264").empty());
    QVERIFY(FilesWith(out.path(), ".aac").empty());
    QCOMPARE(form.findChild<QPushButton*>("btnConv")->text(), QStringLiteral("конвертировать"));
  }
};

QTEST_MAIN(RecPreviewFormTest)
#include "rec_preview_form_test.moc"
