#include "ui/ImageCache.h"

#include <QFile>
#include <QGuiApplication>
#include <string>

#include "platform/MemoryZip.h"

namespace ui {

QString NormaliseImageName(const QString& name) {
  QString normal = name;
  normal.replace('\\', '/');
  return normal;
}

QString HighDensityName(const QString& name) {
  const int dot = static_cast<int>(name.lastIndexOf('.'));
  const int slash = static_cast<int>(name.lastIndexOf('/'));
  QString high = name;
  high.insert(dot > slash ? dot : high.size(), "@2x");
  return high;
}

int SkinArtScale() {
  const auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  return app != nullptr && app->devicePixelRatio() > 1.0 ? 2 : 1;
}

ImageCache& ImageCache::Instance() {
  static ImageCache cache;
  return cache;
}

QImage ImageCache::Read(const QString& name) {
  std::string bytes;
  if (platform::ReadResourceFile(name.toStdString(), bytes)) return ReadMember(bytes, name);
  return QFile::exists(name) ? QImage(name) : QImage();
}

// A skin member, from its 2x version when the screen wants it and the skin
// has one; a 2x file that does not decode leaves the 1x picture in use.
QImage ImageCache::ReadMember(const std::string& bytes, const QString& name) {
  const auto decode = [](const std::string& data) {
    return QImage::fromData(reinterpret_cast<const uchar*>(data.data()), static_cast<int>(data.size()));
  };
  std::string high;
  if (SkinArtScale() > 1 && platform::ReadResourceFile(HighDensityName(name).toStdString(), high)) {
    QImage image = decode(high);
    if (!image.isNull()) {
      image.setDevicePixelRatio(2);
      return image;
    }
  }
  return decode(bytes);
}

QImage ImageCache::Get(const QString& name) {
  const QString key = NormaliseImageName(name);
  if (key.isEmpty()) return {};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = images_.constFind(key);
    if (it != images_.constEnd()) return *it;
  }
  // Decoded outside the lock: other threads keep reading meanwhile.
  QImage image = Read(key);
  if (image.isNull()) return image;
  std::lock_guard<std::mutex> lock(mutex_);
  return *images_.insert(key, image);
}

bool ImageCache::Has(const QString& name) {
  const QString key = NormaliseImageName(name);
  if (key.isEmpty()) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (images_.contains(key)) return true;
  }
  return platform::HasResourceFile(key.toStdString()) || QFile::exists(key);
}

void ImageCache::Register(const QString& name, const QImage& image) {
  std::lock_guard<std::mutex> lock(mutex_);
  images_.insert(NormaliseImageName(name), image);
}

void ImageCache::Remove(const QString& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  images_.remove(NormaliseImageName(name));
}

void ImageCache::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  images_.clear();
}

}  // namespace ui
