#pragma once
// Images by name, shared by every window of the process. A name is looked up
// among registered bitmaps first, then read from the skin archive ("skin\x.png"
// and "skin/x.png" name the same member), then from the file system. Loaded
// images stay cached. Safe to use from any thread (images, not pixmaps).
#include <QHash>
#include <QImage>
#include <QString>
#include <mutex>

namespace ui {

class ImageCache {
 public:
  static ImageCache& Instance();

  // The image, or a null image when it cannot be found or decoded.
  QImage Get(const QString& name);
  bool Load(const QString& name) { return !Get(name).isNull(); }
  // Registers a bitmap under name, replacing an earlier one.
  void Register(const QString& name, const QImage& image);
  void Remove(const QString& name);
  void Clear();

 private:
  static QImage Read(const QString& name);

  std::mutex mutex_;
  QHash<QString, QImage> images_;
};

// "skin\\a.png" -> "skin/a.png": the archive's and the cache's spelling.
QString NormaliseImageName(const QString& name);

}  // namespace ui
