#include "app/app_windows.h"

#include <utility>

#include "app/block_list_form.h"
#include "app/card_format_action.h"
#include "app/card_marking_form.h"
#include "app/card_op_form.h"
#include "app/removable_drives_select_form.h"
#include "app/ss_list_form.h"
#include "app/reclist_form.h"
#include "app/rec_preview_form.h"
#include "app/card_prep_actions.h"
#include "app/settings_form.h"

namespace app {

namespace {

AppWindows& Instance() {
  static AppWindows windows;
  return windows;
}

}  // namespace

AppWindows& Windows() { return Instance(); }

void CreateWindows(platform::NoticeSink& notices) {
  AppWindows& w = Instance();
  w.main = std::make_unique<TRemovableDrivesSelectForm>(notices);
  w.cardOp = std::make_unique<TCardOpForm>(notices);
  w.recList = std::make_unique<TRecListForm>();
  w.blockList = std::make_unique<TBlockListForm>();
  w.ssList = std::make_unique<TssList>();
  w.settings = std::make_unique<TSettingsForm>();
  w.cardMarking = std::make_unique<TCardMarkingForm>();
  w.main->setCardOpForm(w.cardOp.get());
  w.cardOp->setServiceList(w.ssList.get());
  CardActions actions;
  actions.records = [](TCardOpForm& form) {
    AppWindows& w = Instance();
    w.recList->openFor(form.medium(), std::exchange(w.thoroughScanNext, false));
  };
  actions.settings = [](TCardOpForm& form) { SettingsAction(*Instance().settings, form); };
  actions.clear = ClearCardAction;
  actions.erase = EraseCardAction;
  actions.recover = [](TCardOpForm& form) {
    if (RecoverRecordsAction(form)) Instance().thoroughScanNext = true;
  };
  actions.mark = [](TCardOpForm& form) {
    // Marking writes raw: the medium is opened again for writing first.
    card::CardMedium& m = form.medium();
    const std::string path = m.mediumPath;
    if (!m.OpenMedium(path, card::OpenOptions{.writable = true})) return false;
    return Instance().cardMarking->openFor(m);
  };
  actions.format = FormatCardAction;
  w.cardOp->setActions(std::move(actions));
  w.recPreview = std::make_unique<TRecPreviewForm>();
  w.recList->setPreviewOpener([](TRecListForm& list) { Instance().recPreview->openFor(list); });
}

void DestroyWindows() {
  AppWindows& w = Instance();
  w.recPreview.reset();
  w.settings.reset();
  w.cardMarking.reset();
  w.ssList.reset();
  w.blockList.reset();
  w.recList.reset();
  w.cardOp.reset();
  w.main.reset();
}

}  // namespace app
