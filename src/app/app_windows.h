// The program-wide windows, created once at start-up in a fixed order (main window, card
// operations window, then the windows opened from it) and wired together; they are shown and
// hidden, never re-created, and destroyed in reverse order at the end. Windows of other
// subsystems reach these through Windows(). UI thread only.
#pragma once

#include <memory>

#include "platform/notice_sink.h"

class TRecListForm;
class TRecPreviewForm;

namespace app {

class TBlockListForm;
class TCardMarkingForm;
class TCardOpForm;
class TRemovableDrivesSelectForm;
class TSettingsForm;
class TssList;

struct AppWindows {
  std::unique_ptr<TRemovableDrivesSelectForm> main;
  std::unique_ptr<TCardOpForm> cardOp;
  std::unique_ptr<TRecListForm> recList;
  std::unique_ptr<TBlockListForm> blockList;
  std::unique_ptr<TssList> ssList;
  std::unique_ptr<TRecPreviewForm> recPreview;
  std::unique_ptr<TSettingsForm> settings;
  // After a recovery the next record list scans every block: the probing scan can step over
  // short recordings between the gaps a recovered ring usually holds.
  bool thoroughScanNext = false;
  std::unique_ptr<TCardMarkingForm> cardMarking;
};

// Creates the windows; `notices` must outlive them.
void CreateWindows(platform::NoticeSink& notices);
// The windows made by CreateWindows (all null before it and after DestroyWindows).
AppWindows& Windows();
void DestroyWindows();

}  // namespace app
