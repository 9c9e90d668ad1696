#include "ui/ReducedMotion.h"

#include <QSettings>
#include <QString>
#include <QtGlobal>

#include "platform/Paths.h"

namespace ui {
namespace {

bool EnvironmentAsksStill() {
  if (!qEnvironmentVariableIsSet("QT_ANIMATION_DURATION_FACTOR")) return false;
  bool number = false;
  const double factor = qEnvironmentVariable("QT_ANIMATION_DURATION_FACTOR").trimmed().toDouble(&number);
  return number && factor <= 0.0;
}

bool GtkAsksStill() {
  const QString file = QString::fromStdString(platform::ConfigHome()) + "/gtk-3.0/settings.ini";
  const QSettings settings(file, QSettings::IniFormat);
  const QString value = settings.value("Settings/gtk-enable-animations").toString().trimmed().toLower();
  return value == "false" || value == "0";
}

}  // namespace

bool ReducedMotion() { return EnvironmentAsksStill() || GtkAsksStill(); }

}  // namespace ui
