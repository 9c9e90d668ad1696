#include "Common/LauncherEntry.h"

#include <QDBusMessage>
#include <atomic>
#include <cstdlib>

namespace {

QDBusConnection ConnectToSessionBus(const QString& name) {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address == nullptr || *address == '\0') return QDBusConnection(name);  // not connected
  return QDBusConnection::connectToBus(QString::fromUtf8(address), name);
}

QString UniqueConnectionName() {
  static std::atomic<int> next{0};
  return QStringLiteral("qm_launcher_entry_%1").arg(next.fetch_add(1));
}

}  // namespace

LauncherEntry::LauncherEntry(QString appUri)
    : appUri_(std::move(appUri)), connectionName_(UniqueConnectionName()), connection_(ConnectToSessionBus(connectionName_)) {}

LauncherEntry::~LauncherEntry() { QDBusConnection::disconnectFromBus(connectionName_); }

void LauncherEntry::SetProgress(int percent) {
  if (percent < 0) {
    Send({{"progress-visible", false}, {"urgent", false}});
    return;
  }
  Send({{"progress", static_cast<double>(percent > 100 ? 100 : percent) / 100.0}, {"progress-visible", true}});
}

void LauncherEntry::SetError() { Send({{"urgent", true}}); }

void LauncherEntry::Send(const QVariantMap& properties) {
  if (!connection_.isConnected()) return;
  QDBusMessage update = QDBusMessage::createSignal(QStringLiteral("/com/canonical/unity/launcherentry/qm_downloader"),
                                                   QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                   QStringLiteral("Update"));
  update << appUri_ << properties;
  connection_.send(update);
}
