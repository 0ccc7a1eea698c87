// TCardOpForm: the card operations window. Owns the one open CardMedium; on show it opens the
// medium, sets its buttons by the card class, and draws the card state: the description, the
// four status panels with their icons and the used/free bar (a click on the bar switches
// between used and free space). Shown modally by the main window for a drive or card image,
// or for a medium given on the command line. Hidden keys on the mode button: Ctrl+I (service
// sector summary), Ctrl+N (service-sector list), Ctrl+E, Ctrl+R. UI thread only.
#pragma once

#include <QDialog>
#include <QString>

#include "app/card_actions.h"
#include "card/card_medium.h"
#include "card/card_state.h"

class QFrame;
class QLabel;
class QPushButton;

namespace app {

class DrivePollState;
class TssList;

class TCardOpForm final : public QDialog {
 public:
  explicit TCardOpForm(platform::NoticeSink& notices, QWidget* parent = nullptr);
  ~TCardOpForm() override;

  // The main window (hidden while this one is shown) and its polling state (told whether
  // closing this window ends the program); both may be null (tests).
  void setShell(QWidget* mainWindow, DrivePollState* poll);
  void setActions(CardActions actions) { actions_ = std::move(actions); }
  void setServiceList(TssList* list) { ssList_ = list; }

  // Shows the window modally for `mediumPath` (device node, image file or image folder);
  // returns when it has closed.
  int openFor(const QString& mediumPath);
  // Sets the medium and caption as openFor does, without showing (tests call show()).
  void setMediumPath(const QString& mediumPath);

  // Opens the medium again, sets the buttons and draws the card state. False when the medium
  // could not be opened (the window then closes itself).
  bool Reopen();
  // Closes the window and tells the main window to open the card again by itself (after a
  // recovery): autoOpen on, exitOnClose off.
  void CloseForReopen();
  void ShowCardState();
  void ShowUsage();

  card::CardMedium& medium() { return medium_; }
  bool showFree() const { return showFree_; }
  // The Ctrl+I text of the current service sector.
  QString summaryText() const;

  // Handlers.
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void UsageClick();
  void SummaryKey();
  void ServiceListKey();
  void EraseKey();
  void RecoverKey();

  QLabel* Label1 = nullptr;
  QPushButton* Button1 = nullptr;  // mode: clear, mark or format
  QPushButton* Button2 = nullptr;  // settings
  QPushButton* Button3 = nullptr;  // records
  QPushButton* Button4 = nullptr;  // back to the drive list
  QFrame* Panel2 = nullptr;
  QLabel* Image1 = nullptr;
  QLabel* Label2 = nullptr;
  QFrame* stat_q = nullptr;
  QFrame* stat_f = nullptr;
  QFrame* stat_a = nullptr;
  QFrame* stat_t = nullptr;
  QLabel* img_q = nullptr;
  QLabel* img_f = nullptr;
  QLabel* img_a = nullptr;
  QLabel* img_t = nullptr;
  QLabel* label_a = nullptr;
  QLabel* lblVer = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* e) override;
  void done(int result) override;

 private:
  void fitDescription();
  void buildLayout();
  void setButtons();
  // Runs a child window's action with `shown` cleared around it.
  void runChild(const CardActions::Action& action);
  bool hiddenKeysAvailable() const;

  card::CardMedium medium_;
  card::CardStateInput state_;
  CardActions actions_;
  QWidget* mainWindow_ = nullptr;
  DrivePollState* poll_ = nullptr;
  TssList* ssList_ = nullptr;
  QString mediumPath_;
  bool showFree_ = false;
  bool shown_ = false;
};

}  // namespace app
