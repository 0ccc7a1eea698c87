// The main window's polling state: device and window events are counted while polling is on;
// a timer tick rebuilds the drive list once a tick passes without new events, and may then
// open the only FAT32 card by itself. Plain state, no Qt: the main window feeds it events
// and ticks and carries out what a tick asks for. UI thread only.
#pragma once

#include <string>
#include <vector>

namespace app {

class DrivePollState {
 public:
  enum class Tick {
    exit,     // a card session ended the program: close the main window
    idle,     // nothing to do (events still settling, or none)
    refresh,  // rebuild the drive list, then ask autoOpenLine() whether to open a card
  };

  bool pollingEnabled = false;  // events count only while set
  bool autoOpen = true;         // open the only suitable card without asking
  bool exitOnClose = false;     // end the program when the card window has closed

  // A device change or a move of the main window.
  void countEvent() {
    if (pollingEnabled) ++changeCount_;
  }
  // One timer tick.
  Tick tick();
  // After a refresh: the index of the line to open by itself, or -1. Opens only when
  // autoOpen is set and the list holds exactly one line, a FAT32 volume.
  int autoOpenLine(const std::vector<std::string>& lines) const;

  int changeCount() const { return changeCount_; }

 private:
  int changeCount_ = 1;  // 1 so that the second tick after start-up builds the list
  int lastSeenCount_ = 0;
};

}  // namespace app
