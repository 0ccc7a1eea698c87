// The thorough record scan: every block from the one after s_s_bgn to s_s_end is read in ring
// order. A block continues the open recording when it carries the magic and SameRecord holds;
// any other block ends it, and a block with the magic starts the next one. Unlike the probing
// search nothing is jumped over, so a recording between two gaps is listed however short.
//
// On an intact card the list equals the probing scan's, including its rule for the ring end
// block: a start found there after a gap is not listed (the recorder is still writing that
// block, its stamp is an old one), a start directly after a recording is.
#include "records/reclistloadth.h"

namespace records {

RecListLoadTh::Step RecListLoadTh::scan_thorough() {
  const uint32_t total = uint32_t(scanTotal.load());
  uint32_t pos = ring_.s_s_bgn;  // the ring start block itself is never examined
  TRecord rec;
  bool open = false;      // rec holds a recording whose last block is not known yet
  bool afterGap = false;  // the block before pos was read and has no magic
  for (uint32_t i = 0; i < total; ++i) {
    pos = blocks_.advance(pos, 1);
    if (const Step s = read(pos); s != Step::ok) {
      // Every block of the open recording up to here was read and matched: list that part.
      if (s == Step::failed && open) sink_(rec);
      return s;
    }
    const bool continues =
        open && current_.hasMagic &&
        card::SameRecord(rec.bss, rec.bss_index, current_.sector, pos, ring_.N_s_s);
    if (continues) {
      rec.ess_index = int32_t(pos);
      rec.ess = current_.sector;
    } else {
      if (open) sink_(rec);
      open = current_.hasMagic && !(pos == ring_.s_s_end && afterGap);
      if (open) {
        rec.bss_index = rec.ess_index = int32_t(pos);
        rec.bss = rec.ess = current_.sector;
      }
    }
    afterGap = !current_.hasMagic;
    set_position(pos);
  }
  if (open) sink_(rec);
  return Step::ring_end;
}

}  // namespace records
