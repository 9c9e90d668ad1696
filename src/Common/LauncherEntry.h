#pragma once
// The window's progress on the dock or task manager: the launcher-entry
// signal ("com.canonical.Unity.LauncherEntry", "Update" with "progress",
// "progress-visible" and "urgent") sent on the session bus named by
// DBUS_SESSION_BUS_ADDRESS. Without a session bus nothing is sent.
#include <QDBusConnection>
#include <QString>
#include <QVariantMap>

class LauncherEntry {
 public:
  // appUri names the program's desktop entry ("application://NAME.desktop").
  explicit LauncherEntry(QString appUri);
  ~LauncherEntry();
  LauncherEntry(const LauncherEntry&) = delete;
  LauncherEntry& operator=(const LauncherEntry&) = delete;

  // percent 0..100 shows the bar; below 0 hides it and clears the alert.
  void SetProgress(int percent);
  // The failure state: the entry asks for attention.
  void SetError();
  bool Connected() const { return connection_.isConnected(); }

 private:
  void Send(const QVariantMap& properties);

  QString appUri_;
  QString connectionName_;
  QDBusConnection connection_;
};
