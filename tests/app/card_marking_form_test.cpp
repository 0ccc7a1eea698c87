// The marking window and its progress window on FAT32 volume images made by mkfs.fat: the
// slider rule (a share without a layout moves up; the region is bounded by the free data
// area), a marking run through the progress window, a failing write reported without
// claiming success, and the card window writing the service sector only after a success.
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "app/card_marking_form.h"
#include "app/card_marking_progress_form.h"
#include "app/card_op_form.h"
#include "app/message_boxes.h"
#include "card/card_state.h"
#include "platform/faulty_volume.h"
#include "prepare/mark_volume.h"
#include "prepare/marking_plan.h"
#include "support/temp_dir.h"

using testsupport::RunCommand;

namespace {

struct NoticeLog final : platform::NoticeSink {
  std::vector<std::string> notices;
  void notice(platform::NoticeKind, const std::string& text) override { notices.push_back(text); }
};

const char* const kFailed =
    "Произошла ошибка в процессе разметки карты!\nОтформатируйте карту памяти средствами "
    "операционной системы!";

}  // namespace

class CardMarkingFormTest : public QObject {
  Q_OBJECT

 private:
  testsupport::TempDir dir_;
  std::vector<QString> boxes_;
  bool answer_ = true;

  std::string emptyImage(const std::string& name, const std::string& size) {
    const std::string image = dir_ / name;
    RunCommand("rm -f " + image + " && truncate -s " + size + " " + image +
               " && mkfs.fat -F 32 " + image + " >/dev/null");
    return image;
  }

 private slots:
  void initTestCase() {
    app::SetMessageBoxHook([this](app::BoxKind, const QString& text, bool) {
      boxes_.push_back(text);
      return answer_;
    });
  }
  void init() {
    boxes_.clear();
    answer_ = true;
    if (!testsupport::HaveProgram("mkfs.fat")) QSKIP("mkfs.fat missing");
  }

  void sliderMovesUpToTheFirstShareWithALayout() {
    NoticeLog log;
    card::CardMedium m(log);
    QVERIFY(m.OpenMedium(emptyImage("small.img", "64M")));
    app::TCardMarkingForm form;
    form.prepareFor(m);
    form.FormShow();
    // 100 %: bounded by the data area after the FATs and the info files, not the whole 64 MiB.
    QCOMPARE(form.TrackBar1->value(), 100);
    QVERIFY(form.layout().ok);
    QVERIFY(form.layout().layout.regionBytes() <= prepare::MarkableBytes(*m.volume(), m.geometry));
    QCOMPARE(form.Label1->text(), QStringLiteral("100% = 60MB"));
    // 1 % of 64 MiB gives no layout; the slider moves up to the first share that does
    // (5 %: 3,355,443 bytes give three files of 1 MiB), the one below it giving none.
    form.TrackBar1->setValue(1);
    QCOMPARE(form.TrackBar1->value(), 5);
    QCOMPARE(form.Label1->text(), QStringLiteral("5% = 3MB"));
    prepare::MarkingLayout below;
    QVERIFY(!prepare::ChooseLayout(m.cardLength * 4 / 100, prepare::kStartFileCount, below));
    QVERIFY(form.btnCardMark->isEnabled());
  }

  void progressWindowMarksAndChecks() {
    NoticeLog log;
    card::CardMedium m(log);
    QVERIFY(m.OpenMedium(emptyImage("mark.img", "64M"), card::OpenOptions{.writable = true}));
    const prepare::ShareLayout s = prepare::LayoutForShare(
        m.cardLength, prepare::MarkableBytes(*m.volume(), m.geometry), 100);
    app::TCardMarkingProgress progress;
    QVERIFY(progress.run(m, s.layout));
    QCOMPARE(boxes_.back(), QStringLiteral("Разметка носителя завершена."));
    QCOMPARE(progress.Label1->text(), QStringLiteral("Проверка разметки: ошибок нет"));
  }

  void failingWriteIsReportedAsFailure() {
    NoticeLog log;
    card::CardMedium m(log);
    const std::string image = emptyImage("fail.img", "64M");
    int error = 0;
    auto faulty = std::make_shared<platform::FaultyVolume>(
        std::shared_ptr<platform::RawVolume>(platform::OpenFileVolume(image, true, &error)));
    faulty->fail_write_on(3);
    QVERIFY(m.OpenMediumOn(faulty, image, card::OpenOptions{.writable = true}));
    const prepare::ShareLayout s = prepare::LayoutForShare(
        m.cardLength, prepare::MarkableBytes(*m.volume(), m.geometry), 100);
    app::TCardMarkingProgress progress;
    QVERIFY(!progress.run(m, s.layout));
    QCOMPARE(boxes_.back(), QString::fromUtf8(kFailed));
  }

  void cardWindowWritesTheServiceSectorOnlyAfterASuccess() {
    for (const bool success : {false, true}) {
      const std::string image = emptyImage("op.img", "64M");
      NoticeLog log;
      app::TCardOpForm form(log);
      app::CardActions actions;
      // Marks the card in both runs; only the second reports success.
      actions.mark = [success](app::TCardOpForm& f) {
        card::CardMedium& m = f.medium();
        if (!m.OpenMedium(m.mediumPath, card::OpenOptions{.writable = true})) return false;
        const auto s = prepare::LayoutForShare(m.cardLength,
                                               prepare::MarkableBytes(*m.volume(), m.geometry), 100);
        const auto plan = prepare::PlanMarking(*m.volume(), m.geometry, s.layout);
        if (!plan.ok()) return false;
        m.WithRawWrites([&](platform::RawVolume& v) {
          return prepare::MarkVolume(v, plan.plan, prepare::FatTimestamp{}) == prepare::MarkStatus::ok;
        });
        return success;
      };
      form.setActions(std::move(actions));
      form.setMediumPath(QString::fromStdString(image));
      form.show();
      QCOMPARE(form.Button1->text(), QStringLiteral("Разметить карту"));
      form.Button1Click();
      QVERIFY(form.medium().marked);
      // The default service sector carries the magic; an unwritten one is all zeros.
      QCOMPARE(form.medium().serviceSector.has_magic(), success);
      form.close();
    }
  }
};

QTEST_MAIN(CardMarkingFormTest)
#include "card_marking_form_test.moc"
