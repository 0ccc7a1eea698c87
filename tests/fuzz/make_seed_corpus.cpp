// Writes small valid box trees (the hand-built kind of the tests) as fuzz seeds.
#include <string>

#include "support/mp4_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string dir = argv[1];
  using namespace testsupport;
  WriteBytes(dir + "/two_tracks.mp4", BuildMp4(TwoTrackSpec(3, 4)));
  Mp4Spec wide = TwoTrackSpec(2, 2);
  wide.tracks[0].co64 = wide.tracks[1].co64 = true;
  WriteBytes(dir + "/co64.mp4", BuildMp4(wide));
  Mp4Spec fieldCoded = TwoTrackSpec(4, 2);
  fieldCoded.tracks[0].duration = 8;
  fieldCoded.movieDuration = 320;
  WriteBytes(dir + "/field_coded.mp4", BuildMp4(fieldCoded));
  return 0;
}
