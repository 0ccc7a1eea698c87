// TssList ("ssList"): the hidden service-sector list window. Lists the information sectors of
// any stretch of blocks of the record ring, one line per block; the first block and the count
// are corrected into the ring and written back into their fields before listing.
// Opened modally from the card operations window (Ctrl+N on its mode button). UI thread only.
#pragma once

#include <QDialog>
#include <cstdint>

#include "card/region_reader.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace app {

class TssList final : public QDialog {
 public:
  explicit TssList(QWidget* parent = nullptr);

  // Shows the window modally for a ring of nss blocks (s_s_bgn, s_s_end for the summary),
  // reading through `reader` (null: nothing can be listed); returns when it is closed. The
  // reader is not kept.
  int openFor(card::RegionReader* reader, uint32_t nss, uint32_t bgn, uint32_t end);
  // Prepares the window as openFor does, without showing it (tests, screenshots).
  void prepare(card::RegionReader* reader, uint32_t nss, uint32_t bgn, uint32_t end);

  void Button1Click();

  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QPushButton* Button1 = nullptr;
  QLabel* Label3 = nullptr;
  QPlainTextEdit* mm = nullptr;

 private:
  card::RegionReader* reader_ = nullptr;
  uint32_t nss_ = 0;
};

}  // namespace app
