#pragma once
// Images by name, shared by every window of the process. A name is looked up
// among registered bitmaps first, then read from the skin archive ("skin\x.png"
// and "skin/x.png" name the same member), then from the file system. Loaded
// images stay cached. Safe to use from any thread (images, not pixmaps).
//
// On a high-density screen (device-pixel ratio above 1) a skin member
// "x.png" is read from its twice-as-large "x@2x.png" when the skin has one,
// with device-pixel ratio 2, so its logical size stays the layout's size.
// Files from the file system (banners) are read as they are, at ratio 1.
#include <QHash>
#include <QImage>
#include <QString>
#include <mutex>
#include <string>

namespace ui {

class ImageCache {
 public:
  static ImageCache& Instance();

  // The image, or a null image when it cannot be found or decoded.
  QImage Get(const QString& name);
  bool Load(const QString& name) { return !Get(name).isNull(); }
  // Whether Get can look for the image: registered or loaded, a member of
  // the skin archive, or a file. Decodes nothing.
  bool Has(const QString& name);
  // Registers a bitmap under name, replacing an earlier one.
  void Register(const QString& name, const QImage& image);
  void Remove(const QString& name);
  void Clear();

 private:
  static QImage Read(const QString& name);
  static QImage ReadMember(const std::string& bytes, const QString& name);

  std::mutex mutex_;
  QHash<QString, QImage> images_;
};

// "skin\\a.png" -> "skin/a.png": the archive's and the cache's spelling.
QString NormaliseImageName(const QString& name);

// "skin/a.png" -> "skin/a@2x.png": the name of the picture's 2x version.
QString HighDensityName(const QString& name);

// The scale at which skin pictures are read: 2 when a screen of the
// application has a device-pixel ratio above 1, else 1.
int SkinArtScale();

}  // namespace ui
