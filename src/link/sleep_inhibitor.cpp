#include "link/sleep_inhibitor.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>

namespace halvern {

namespace {

// The login manager answers at once or not at all: the update does not wait on it.
constexpr int kCallTimeoutMs = 3000;

}  // namespace

struct SleepInhibitor::Lock {
  QDBusUnixFileDescriptor descriptor;
};

SleepInhibitor::SleepInhibitor() = default;
SleepInhibitor::~SleepInhibitor() = default;

std::string SleepInhibitor::acquire(std::string_view why) {
  if (m_lock) return {};
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) return "no system message bus";
  QDBusInterface manager(QStringLiteral("org.freedesktop.login1"),
                         QStringLiteral("/org/freedesktop/login1"),
                         QStringLiteral("org.freedesktop.login1.Manager"), bus);
  if (!manager.isValid()) return "no login manager on the system message bus";
  manager.setTimeout(kCallTimeoutMs);
  const QDBusReply<QDBusUnixFileDescriptor> reply = manager.call(
      QStringLiteral("Inhibit"), QStringLiteral("sleep:idle:handle-lid-switch"),
      QStringLiteral("Halvern"), QString::fromUtf8(why.data(), static_cast<qsizetype>(why.size())),
      QStringLiteral("block"));
  if (!reply.isValid()) return reply.error().message().toStdString();
  if (!reply.value().isValid()) return "the login manager gave no lock";
  m_lock = std::make_unique<Lock>(Lock{reply.value()});
  return {};
}

void SleepInhibitor::release() { m_lock.reset(); }

bool SleepInhibitor::held() const { return m_lock != nullptr; }

}  // namespace halvern
