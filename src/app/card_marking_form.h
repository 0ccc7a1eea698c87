// TCardMarkingForm: the marking window. The user chooses with the slider what share of the
// card goes to recordings; the result line shows the share and the region it gives (the share
// moves up by itself while it gives no layout, and the region never exceeds the data area the
// files can occupy). "Разметить карту памяти" asks, then runs the progress window, which runs
// the marking worker. Shown modally by the card operations window; UI thread only.
#pragma once

#include <QDialog>

#include "card/card_medium.h"
#include "prepare/marking_layout.h"

class QLabel;
class QPushButton;
class QSlider;

namespace app {

class TCardMarkingForm final : public QDialog {
 public:
  explicit TCardMarkingForm(QWidget* parent = nullptr);

  // Shows the window modally for the open, writable medium `m` (an empty FAT32 volume).
  // True when the card was marked and checked; false when cancelled or failed.
  bool openFor(card::CardMedium& m);
  // Sets the medium without showing (tests); FormShow then computes the layout.
  void prepareFor(card::CardMedium& m);

  void FormShow();
  void TrackBar1Change();
  void btnCardMarkClick();
  void btnCancelClick();

  const prepare::ShareLayout& layout() const { return layout_; }
  bool marked() const { return marked_; }

  QLabel* InfoLabel1 = nullptr;
  QSlider* TrackBar1 = nullptr;
  QLabel* Label1 = nullptr;
  QPushButton* btnCardMark = nullptr;
  QPushButton* btnCancel = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  card::CardMedium* medium_ = nullptr;
  uint64_t markableBytes_ = 0;
  prepare::ShareLayout layout_;
  bool marked_ = false;
};

}  // namespace app
