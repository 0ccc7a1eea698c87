// TBlockListForm ("BlockList"): the hidden block list window. Lists the information sector of
// every block of one recording (first to last block, wrapping at the ring end), one line per
// block with the device serial. Shown, not modal, by the record list window (Ctrl+N on its
// select-all button); it stays open beside that window. UI thread only.
#pragma once

#include <QWidget>
#include <cstdint>

#include "card/region_reader.h"
#include "records/trecord.h"

class QPlainTextEdit;

namespace app {

class TBlockListForm final : public QWidget {
 public:
  explicit TBlockListForm(QWidget* parent = nullptr);

  // Fills the list for `current` (nothing listed when null) in a ring of nss blocks, reading
  // through `reader` now (the reader is not kept), and shows the window without blocking.
  // `owner` is the window it is opened from (the modal record list): the block list becomes
  // its own top-level child so that it takes input while that window is modal.
  void openFor(card::RegionReader& reader, uint32_t nss, const records::TRecord* current,
               QWidget* owner = nullptr);
  // The filling step alone (tests, screenshots).
  void fill(card::RegionReader& reader, uint32_t nss, const records::TRecord* current);

  QPlainTextEdit* mm = nullptr;
};

}  // namespace app
