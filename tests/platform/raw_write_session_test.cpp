// Unmounting around raw writes, with a real kernel mount: an ext2 image on a loop device
// (the vfat driver is not always there; the session does not care about the type).
// Skipped where no loop device can be mounted.
#include "platform/raw_write_session.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/loop_device.h"
#include "support/temp_dir.h"

using testsupport::MountedLoop;

TEST(RawWriteSession, UnmountsForTheWriteAndMountsAgainAfter) {
  testsupport::TempDir dir;
  MountedLoop loop(dir.path().string());
  if (!loop.ok()) GTEST_SKIP() << "cannot mount a loop device here";
  ASSERT_TRUE(loop.mount());
  {
    platform::RawWriteSession session(loop.device(), loop.device());
    EXPECT_TRUE(session.ready());
    EXPECT_TRUE(session.unmounted());
    EXPECT_FALSE(loop.mount());
  }
  const auto again = loop.mount();
  ASSERT_TRUE(again);
  EXPECT_EQ(again->mountPoint, loop.mountPoint());
}

TEST(RawWriteSession, ABusyVolumeIsNotWrittenAndStaysMounted) {
  testsupport::TempDir dir;
  MountedLoop loop(dir.path().string());
  if (!loop.ok()) GTEST_SKIP() << "cannot mount a loop device here";
  std::ofstream busy(loop.mountPoint() + "/open-file");
  ASSERT_TRUE(busy);
  {
    platform::RawWriteSession session(loop.device(), loop.device());
    EXPECT_FALSE(session.ready());
    EXPECT_FALSE(session.unmounted());
  }
  EXPECT_TRUE(loop.mount());
}

TEST(RawWriteSession, ImageFilesNeedNothing) {
  platform::RawWriteSession session("", "");
  EXPECT_TRUE(session.ready());
  EXPECT_FALSE(session.unmounted());
}
