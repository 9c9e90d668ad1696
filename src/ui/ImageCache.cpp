#include "ui/ImageCache.h"

#include <QFile>
#include <string>

#include "platform/MemoryZip.h"

namespace ui {

QString NormaliseImageName(const QString& name) {
  QString normal = name;
  normal.replace('\\', '/');
  return normal;
}

ImageCache& ImageCache::Instance() {
  static ImageCache cache;
  return cache;
}

QImage ImageCache::Read(const QString& name) {
  std::string bytes;
  if (platform::ReadResourceFile(name.toStdString(), bytes)) {
    return QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()));
  }
  return QFile::exists(name) ? QImage(name) : QImage();
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
