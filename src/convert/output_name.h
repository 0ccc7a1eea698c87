// Choosing the base name of a recording's .mp4 files so that a conversion never overwrites a
// file holding another recording. Recordings may share a start stamp (a recorder whose clock
// was never set stamps them all alike): the name "<stamp>" then goes to the first of them and
// the others get "<stamp>-2", "<stamp>-3", ... A name whose file holds this same recording,
// as its integrity record tells, is reused: the caller overwrites or skips it.
//
// A base name is taken when "<base>.mp4" or its first part "<base>_part01.mp4" exists. A file
// without a readable integrity record counts as another recording (never overwritten).
// Reads existing files only; any thread.
#pragma once

#include <cstdint>
#include <string>

#include "records/trecord.h"

namespace convert {

// Which output of `record` a conversion writes: its first part starts at `partStart` and
// the conversion ends at `endSector` (sector indices, as the conversion worker counts them).
struct OutputIdentity {
  const records::TRecord* record = nullptr;
  int32_t partStart = 0;
  int32_t endSector = 0;
};

// The identity of a whole-recording conversion of `record`.
OutputIdentity WholeRecordIdentity(const records::TRecord& record);

// True when the sealed file at `mp4Path` holds the conversion `id` (same recording, range and
// information sectors); false for a missing file or one without a readable record.
bool HoldsSameRecording(const std::string& mp4Path, const OutputIdentity& id);

// True when the sealed file at `mp4Path` holds any part of the conversion `id` (its part may
// start elsewhere than `id.partStart`).
bool HoldsPartOf(const std::string& mp4Path, const OutputIdentity& id);

struct OutputName {
  std::string baseName;        // without folder and extension
  bool holdsSameRecording = false;  // its files already hold this conversion
};

// The first of "<stamp>", "<stamp>-2", ... in `dir` (ending with '/' or empty) that is free
// or already holds `id`.
OutputName ChooseOutputName(const std::string& dir, const std::string& stamp,
                            const OutputIdentity& id);

}  // namespace convert
