// The recording settings window under Qt Test: what each service-sector value shows, the row
// rules, the labels and captions, the layout, and the bytes a save hands over.
#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimeEdit>

#include <optional>

#include "app/settings_form.h"

namespace {

card::ServiceSector Defaults() {
  card::ServiceSector s;
  card::InitServiceSector(s, card::RegionGeometry{1, 8192, 8192, 8192});
  return s;
}

}  // namespace

class SettingsFormTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<app::TSettingsForm> form_;
  std::optional<card::ServiceSector> stored_;

  app::TSettingsForm& show(const card::ServiceSector& s) {
    form_ = std::make_unique<app::TSettingsForm>();
    stored_.reset();
    form_->setSource(s, [this](const card::ServiceSector& edited) { stored_ = edited; });
    form_->show();
    return *form_;
  }

  card::ServiceSector save() {
    form_->btnSaveClick();
    if (!stored_) qFatal("nothing stored");
    return *stored_;
  }

 private slots:
  void captionsAndSliderLabels() {
    app::TSettingsForm& f = show(Defaults());
    QCOMPARE(f.windowTitle(), QStringLiteral("Настройки записи"));
    QCOMPARE(f.GroupBox1->title(), QStringLiteral("Акустопуск"));
    QCOMPARE(f.GroupBox4->title(), QStringLiteral("Таймеры включения записи"));
    QCOMPARE(f.trkbar_avqualily->value(), 2);  // level 0 is high
    QCOMPARE(f.labelAvQuality->text(), QStringLiteral("Высокое"));
    QCOMPARE(f.labelVox->text(), QStringLiteral("Выкл."));
    f.trkbar_avqualily->setValue(1);
    QCOMPARE(f.labelAvQuality->text(), QStringLiteral("Среднее"));
    f.trkbar_avqualily->setValue(0);
    QCOMPARE(f.labelAvQuality->text(), QStringLiteral("Низкое"));
    f.trkbarAVox->setValue(7);
    QCOMPARE(f.labelVox->text(), QStringLiteral("Уровень 7"));
    QVERIFY(f.chbxRing->isChecked());
    QVERIFY(f.chbxTxtOverlay->isChecked());
    const card::ServiceSector s = save();
    QCOMPARE(int(s.av_quality_level()), 2);
    QCOMPARE(int(s.audio_vox_level()), 7);
  }

  void lineInputWinsOverACheckedAgc() {
    card::ServiceSector s = Defaults();
    s.set_audio_input_conf(1);
    app::TSettingsForm& f = show(s);
    QVERIFY(f.radioMic->isChecked());
    QVERIFY(f.chbxAGC->isChecked());
    QVERIFY(f.chbxAGC->isEnabled());
    f.radioLine->click();
    QVERIFY(!f.chbxAGC->isEnabled());
    QVERIFY(f.chbxAGC->isChecked());
    QCOMPARE(int(save().audio_input_conf()), 2);
  }

  void pastStartJumpsToNowFutureStartStays() {
    card::ServiceSector s = Defaults();
    s.set_timer(0, card::TimerEntry{0, 0x00, 0x08, 0x01, 0x03, 0x01, 0x00, 0x01});  // 2001
    s.set_timer(1, card::TimerEntry{0, 0x30, 0x12, 0x01, 0x03, 0x98, 0x00, 0x01});  // 2098
    app::TSettingsForm& f = show(s);
    QVERIFY(!f.dtPickerTdmy[0]->isEnabled());  // off rows are disabled
    f.chbxTon[0]->click();
    QVERIFY(f.dtPickerTdmy[0]->isEnabled());
    QCOMPARE(f.dtPickerTdmy[0]->date(), QDate::currentDate());
    const QTime now = QTime::currentTime();
    QVERIFY(qAbs(f.dtPickerThm[0]->time().secsTo(QTime(now.hour(), now.minute()))) <= 60);
    f.chbxTon[1]->click();
    QCOMPARE(f.dtPickerTdmy[1]->date(), QDate(2098, 3, 1));
    QCOMPARE(f.dtPickerThm[1]->time(), QTime(12, 30));
    const card::ServiceSector out = save();
    QCOMPARE(int(out.timer(0).mode), 1);
    QCOMPARE(int(out.timer(1).year), 0x98);
  }

  void dailyAndWeeklyExcludeEachOther() {
    card::ServiceSector s = Defaults();
    s.set_timer(2, card::TimerEntry{0x03, 0x00, 0x10, 0x31, 0x12, 0x15, 0x00, 0x01});
    app::TSettingsForm& f = show(s);
    QVERIFY(f.chbxTw[2]->isChecked());
    QCOMPARE(f.chbxTw[2]->text(), QStringLiteral("каждый четверг"));  // 31 Dec 2015
    f.chbxTd[2]->click();
    QVERIFY(f.chbxTd[2]->isChecked());
    QVERIFY(!f.chbxTw[2]->isChecked());
    QCOMPARE(int(save().timer(2).mode), 2);
    f.chbxTw[2]->click();
    QVERIFY(!f.chbxTd[2]->isChecked());
    QCOMPARE(int(save().timer(2).mode), 3);
  }

  void weeklyCaptionFollowsTheDate() {
    app::TSettingsForm& f = show(Defaults());
    f.dtPickerTdmy[1]->setDate(QDate(2026, 12, 13));
    QCOMPARE(f.chbxTw[1]->text(), QStringLiteral("каждое воскресенье"));
    f.dtPickerTdmy[1]->setDate(QDate(2026, 12, 9));
    QCOMPARE(f.chbxTw[1]->text(), QStringLiteral("каждую среду"));
  }

  void invalidTimerDateOpensWithTodayAndIsKeptUnlessEdited() {
    card::ServiceSector s = Defaults();
    s.set_timer(0, card::TimerEntry{0x01, 0x30, 0x10, 0x01, 0x00, 0x15, 0x00, 0x01});  // month 0
    s.set_timer(3, card::TimerEntry{0x02, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11});
    app::TSettingsForm& f = show(s);
    QCOMPARE(f.dtPickerTdmy[0]->date(), QDate::currentDate());
    QVERIFY(f.chbxTon[0]->isChecked());
    QCOMPARE(save().bytes(), s.bytes());  // unchanged, the fourth slot too

    show(s);
    form_->dtPickerTdur[0]->setTime(QTime(2, 0));  // an edit of that row writes it whole
    const card::TimerEntry t = save().timer(0);
    QCOMPARE(int(t.month), QDate::currentDate().month() / 10 * 16 + QDate::currentDate().month() % 10);
    QCOMPARE(int(t.dur_hours), 0x02);
  }

  void cancelStoresNothingAndAShowReloads() {
    card::ServiceSector s = Defaults();
    app::TSettingsForm& f = show(s);
    f.trkbarAVox->setValue(5);
    f.btnCancelClick();
    QVERIFY(!stored_);
    f.show();
    QCOMPARE(f.trkbarAVox->value(), 0);
  }

  void layoutFollowsTheClientWidth() {
    app::TSettingsForm& f = show(Defaults());
    const int w = f.width();
    QCOMPARE(f.GroupBox2->geometry(), QRect(8, 8, (6 * w - 144) / 16, f.GroupBox2->height()));
    QCOMPARE(f.GroupBox1->width(), (6 * w - 144) / 16);
    QCOMPARE(f.GroupBox4->x(), f.GroupBox1->width() + 16);
    QCOMPARE(f.GroupBox4->width(), (10 * w - 240) / 16);
    QCOMPARE(f.GroupBox4->x() + f.GroupBox4->width() + 8, w);
    QCOMPARE(f.chbxRing->y(), f.GroupBox2->y() + f.GroupBox2->height() + 8);
    QCOMPARE(f.chbxRing->height(), 15);
    QCOMPARE(f.GroupBox3->y(), f.chbxTxtOverlay->y() + f.chbxTxtOverlay->height() + 12);
    QCOMPARE(f.GroupBox4->height(), f.GroupBox1->y() + f.GroupBox1->height() - f.GroupBox2->y());
    QCOMPARE(f.btnSave->y(), f.GroupBox4->y() + f.GroupBox4->height() + 8);
    QCOMPARE(f.btnCancel->x(), 8 + f.btnSave->width() + 8);
    QCOMPARE(f.btnSave->width(), (w - 24) / 2);
    QCOMPARE(f.height(), f.btnSave->y() + 22 + 8);
  }
};

QTEST_MAIN(SettingsFormTest)
#include "settings_form_test.moc"
