// Opening a device node this process may not open: the installed broker is asked, and without
// one the failure stays a lack of rights. Runs in a child that drops root for nobody, on a
// block node made with mknod (skipped when not root).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <functional>

#include "platform/device_access.h"
#include "platform/raw_volume.h"
#include "support/temp_dir.h"

namespace {

// Hands out a descriptor of a prepared image file instead of the device.
class FakeBroker final : public platform::DeviceAccessBroker {
 public:
  explicit FakeBroker(int fd) : fd_(fd) {}
  bool available() override { return true; }
  int openDevice(const std::string& path, bool writable, std::string&) override {
    asked = path;
    askedWritable = writable;
    return ::dup(fd_);
  }
  bool unmount(const std::string&, std::string&) override { return false; }
  bool mount(const std::string&, std::string&) override { return false; }
  std::string asked;
  bool askedWritable = false;

 private:
  int fd_;
};

// Runs `check` as nobody in a child process; its exit status is the number of failures.
int AsNobody(const std::function<int()>& check) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0)
      ::_exit(100);
    ::_exit(check());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

}  // namespace

TEST(DeviceAccess, ADeviceWithoutRightsIsOpenedThroughTheBrokerOnly) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a device node and drop rights";
  testsupport::TempDir dir;
  ::chmod(dir.path().c_str(), 0755);
  const std::string node = dir / "sdz1";
  if (::mknod(node.c_str(), S_IFBLK | 0600, makedev(7, 200)) != 0)
    GTEST_SKIP() << "mknod not permitted here";
  const std::string image = dir / "image";
  std::ofstream(image) << std::string(1024, 'K');
  std::ofstream(dir / "secret") << "root only";
  ::chmod((dir / "secret").c_str(), 0600);
  const int imageFd = ::open(image.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(imageFd, 0);

  const int failures = AsNobody([&] {
    int bad = 0;
    int error = 0;
    bad += platform::CanOpenDirectly(node, false) ? 1 : 0;
    // No broker: refused for lack of rights.
    bad += platform::OpenFileVolume(node, false, &error) ? 1 : 0;
    bad += error == EACCES ? 0 : 1;
    bad += platform::DeviceAccessPossible(node) ? 1 : 0;
    // With a broker: its descriptor serves the reads.
    FakeBroker broker(imageFd);
    platform::SetDeviceAccessBroker(&broker);
    bad += platform::DeviceAccessPossible(node) ? 0 : 1;
    const auto volume = platform::OpenFileVolume(node, true, &error);
    uint8_t byte = 0;
    bad += volume && volume->read_at(1000, {&byte, 1}) == 1 && byte == 'K' ? 0 : 1;
    bad += broker.asked == node && broker.askedWritable ? 0 : 1;
    // A plain file without rights is not the broker's business.
    broker.asked.clear();
    bad += platform::OpenFileVolume(dir / "secret", false, &error) ? 1 : 0;
    bad += broker.asked.empty() ? 0 : 1;
    platform::SetDeviceAccessBroker(nullptr);
    return bad;
  });
  ::close(imageFd);
  EXPECT_EQ(failures, 0);
}
