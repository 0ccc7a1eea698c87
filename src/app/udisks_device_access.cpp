#include "app/udisks_device_access.h"

#include <fcntl.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QFileInfo>
#include <QVariantMap>

namespace app {

namespace {

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
// Long enough for the user to type a password into the authorisation dialog.
constexpr int kCallTimeoutMs = 5 * 60 * 1000;

QVariantMap InteractiveOptions() {
  QVariantMap options;
  options.insert(QStringLiteral("auth.no_user_interaction"), false);
  return options;
}

std::string ErrorOf(const QDBusMessage& reply) {
  return (reply.errorName() + QStringLiteral(": ") + reply.errorMessage()).toStdString();
}

}  // namespace

bool UDisksDeviceAccess::available() {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected() || !bus.interface()) return false;
  if (bus.interface()->isServiceRegistered(kService)) return true;
  // Not running yet, but the bus starts it on the first call.
  const QDBusReply<QStringList> names =
      bus.interface()->call(QStringLiteral("ListActivatableNames"));
  return names.isValid() && names.value().contains(kService);
}

QString UDisksDeviceAccess::objectPath(const std::string& devicePath, std::string& reason) {
  QDBusInterface manager(kService, QStringLiteral("/org/freedesktop/UDisks2/Manager"),
                         QStringLiteral("org.freedesktop.UDisks2.Manager"),
                         QDBusConnection::systemBus());
  QVariantMap node;
  node.insert(QStringLiteral("path"), QString::fromStdString(devicePath));
  const QDBusReply<QList<QDBusObjectPath>> found =
      manager.call(QStringLiteral("ResolveDevice"), node, QVariantMap());
  if (found.isValid() && !found.value().isEmpty()) return found.value().first().path();
  // Older services lack ResolveDevice: their objects are named after the node.
  const QString name = QFileInfo(QString::fromStdString(devicePath)).fileName();
  if (!name.isEmpty() && !found.isValid())
    return QStringLiteral("/org/freedesktop/UDisks2/block_devices/") + name;
  reason = "UDisks2 does not know " + devicePath;
  return QString();
}

int UDisksDeviceAccess::openDevice(const std::string& devicePath, bool writable,
                                   std::string& reason) {
  const QString path = objectPath(devicePath, reason);
  if (path.isEmpty()) return -1;
  QDBusInterface block(kService, path, QStringLiteral("org.freedesktop.UDisks2.Block"),
                       QDBusConnection::systemBus());
  block.setTimeout(kCallTimeoutMs);
  const QDBusMessage reply =
      block.call(QStringLiteral("OpenDevice"),
                 writable ? QStringLiteral("rw") : QStringLiteral("r"), InteractiveOptions());
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
    reason = ErrorOf(reply);
    return -1;
  }
  const auto fd = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().first());
  // The message owns its descriptor and closes it; the caller gets its own copy.
  const int own = fd.isValid() ? ::fcntl(fd.fileDescriptor(), F_DUPFD_CLOEXEC, 0) : -1;
  if (own < 0) reason = "UDisks2 returned no usable file descriptor";
  return own;
}

bool UDisksDeviceAccess::callFilesystem(const std::string& devicePath, const char* method,
                                        std::string& reason) {
  const QString path = objectPath(devicePath, reason);
  if (path.isEmpty()) return false;
  QDBusInterface fs(kService, path, QStringLiteral("org.freedesktop.UDisks2.Filesystem"),
                    QDBusConnection::systemBus());
  fs.setTimeout(kCallTimeoutMs);
  const QDBusMessage reply = fs.call(QString::fromLatin1(method), InteractiveOptions());
  if (reply.type() == QDBusMessage::ReplyMessage) return true;
  reason = ErrorOf(reply);
  return false;
}

bool UDisksDeviceAccess::unmount(const std::string& devicePath, std::string& reason) {
  return callFilesystem(devicePath, "Unmount", reason);
}

bool UDisksDeviceAccess::mount(const std::string& devicePath, std::string& reason) {
  return callFilesystem(devicePath, "Mount", reason);
}

}  // namespace app
