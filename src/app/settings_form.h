// TSettingsForm: the recording settings window ("Настройки записи"). Edits a private copy of
// the card service sector: quality and VOX sliders, ring recording, date/time overlay, the
// audio input, and three timer rows (on, daily, weekly, date, start, duration). Each showing
// reloads the copy from the source sector; "Сохранить" hands the edited copy to the store
// callback and closes, "Отмена" drops it. The mapping lives in prepare/recording_settings.
// Opened modally from the card operations window. UI thread only.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "card/servsectclass.h"
#include "prepare/recording_settings.h"

class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;
class QTimeEdit;

namespace app {

class TSettingsForm final : public QDialog {
 public:
  using Store = std::function<void(const card::ServiceSector& edited)>;

  explicit TSettingsForm(QWidget* parent = nullptr);

  // Shows the window modally for `source`; on save `store` receives the edited copy.
  int openFor(const card::ServiceSector& source, Store store);
  // Sets the source and the store as openFor does, without showing (tests call show()).
  void setSource(const card::ServiceSector& source, Store store);

  // Handlers.
  void FormShow();
  void FormResize();
  void btnSaveClick();
  void btnCancelClick();
  void radioMicClick();
  void radioLineClick();
  void trkbar_avqualilyChange();
  void trkbarAVoxChange();
  void dtPickerTdmyChange();
  void chbxTonClick(int row);
  void chbxTdClick(int row);
  void chbxTwClick(int row);

  QGroupBox* GroupBox1 = nullptr;  // VOX
  QGroupBox* GroupBox2 = nullptr;  // quality
  QGroupBox* GroupBox3 = nullptr;  // audio input
  QGroupBox* GroupBox4 = nullptr;  // timers
  QSlider* trkbar_avqualily = nullptr;
  QLabel* labelAvQuality = nullptr;
  QSlider* trkbarAVox = nullptr;
  QLabel* labelVox = nullptr;
  QCheckBox* chbxRing = nullptr;
  QCheckBox* chbxTxtOverlay = nullptr;
  QRadioButton* radioMic = nullptr;
  QRadioButton* radioLine = nullptr;
  QCheckBox* chbxAGC = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label5 = nullptr;
  // Timer rows 1..3 at indices 0..2 (chbxT1on, chbxT1d, chbxT1w, dtPickerT1dmy, ...).
  std::array<QCheckBox*, 3> chbxTon{};
  std::array<QCheckBox*, 3> chbxTd{};
  std::array<QCheckBox*, 3> chbxTw{};
  std::array<QDateEdit*, 3> dtPickerTdmy{};
  std::array<QTimeEdit*, 3> dtPickerThm{};
  std::array<QTimeEdit*, 3> dtPickerTdur{};
  QPushButton* btnSave = nullptr;
  QPushButton* btnCancel = nullptr;

  // The working copy (what a save would store after the controls are applied).
  const card::ServiceSector& workingCopy() const { return working_; }

 protected:
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void buildControls();
  void buildTimerRows();
  void connectHandlers();
  void refreshWeeklyCaptions();
  void applyOnRule();
  void markEdited(int row);
  prepare::TimerRow rowFromControls(int row) const;
  void showRow(int row, const prepare::TimerRow& t);

  card::ServiceSector source_;
  card::ServiceSector working_;
  Store store_;
  std::array<bool, 3> rowValid_{true, true, true};
  std::array<bool, 3> rowEdited_{};
  bool loading_ = false;
};

}  // namespace app
