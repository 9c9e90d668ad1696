#include "Banners.h"

#include <httplib.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>

namespace {

void PutU32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xff));
}

void Chunk(std::string& png, const char* type, const std::string& data) {
  PutU32(png, static_cast<std::uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  png += body;
  PutU32(png, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

// One colour channel of a hue wheel position (0..359) at brightness v (0..255).
int Channel(int hue, int offset, int v) {
  const int h = (hue + offset) % 360;
  const int d = h < 180 ? h : 360 - h;  // distance from the channel's peak
  return d < 60 ? v : d < 120 ? v * (120 - d) / 60
                              : 0;
}

std::string ListJson(const std::string& base, BannerFault fault) {
  if (fault == BannerFault::kCode500) return R"({"code":500,"msg":"maintenance"})";
  if (fault == BannerFault::kUnparsable) return "<html><body>502 Bad Gateway</body></html>";
  std::string json = "[";
  const char* prompts[] = {"Remove watermarks", "Erase objects from videos", "Batch processing"};
  for (int sort = 1; sort <= 3; ++sort) {
    if (sort > 1) json += ",";
    json += R"({"banner_url":")" + base + "/banners/" + std::to_string(sort) + R"(.png","jump_url":")" + base +
            "/product?from=banner" + std::to_string(sort) + R"(","prompt":")" + prompts[sort - 1] +
            R"(","sort":)" + std::to_string(sort) + "}";
  }
  return json + "]";
}

}  // namespace

BannerFault ParseBannerFault(const std::string& text) {
  if (text == "code500") return BannerFault::kCode500;
  if (text == "unparsable") return BannerFault::kUnparsable;
  if (text == "picture") return BannerFault::kPicture;
  return BannerFault::kNone;
}

std::string DrawBannerPng(int width, int height, int hue) {
  std::string raw;
  raw.reserve(static_cast<std::size_t>(height) * (1 + 3 * width));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // no filter
    for (int x = 0; x < width; ++x) {
      const int v = 150 + 105 * (x + y) / (width + height);
      const bool stripe = (x / 40 + y / 40) % 6 == 0;
      raw.push_back(static_cast<char>(stripe ? 255 : Channel(hue, 0, v)));
      raw.push_back(static_cast<char>(stripe ? 255 : Channel(hue, 240, v)));
      raw.push_back(static_cast<char>(stripe ? 255 : Channel(hue, 120, v)));
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(packedSize, '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
           static_cast<uLong>(raw.size()));
  packed.resize(packedSize);
  std::string header;
  PutU32(header, static_cast<std::uint32_t>(width));
  PutU32(header, static_cast<std::uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
  std::string png("\x89PNG\r\n\x1a\n", 8);
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", packed);
  Chunk(png, "IEND", "");
  return png;
}

void ServeBanners(httplib::Server& server, const std::string& base, BannerFault fault) {
  const std::string list = ListJson(base, fault);
  server.Get("/api/v1/banners", [list](const httplib::Request&, httplib::Response& res) {
    res.set_content(list, "application/json");
  });
  server.Get(R"(/banners/([1-3])\.png)", [fault](const httplib::Request& req, httplib::Response& res) {
    const int sort = std::stoi(req.matches[1].str());
    if (fault == BannerFault::kPicture && sort == 2) {
      res.status = 404;
      res.set_content("no such picture", "text/plain");
      return;
    }
    res.set_content(DrawBannerPng(650, 300, sort * 110), "image/png");
  });
}
