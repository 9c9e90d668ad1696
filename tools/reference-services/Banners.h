#pragma once
// The reference banner service: "/api/v1/banners" lists three pictures,
// "/banners/<n>.png" serves each (drawn here, 650 x 300). A fault makes it
// misbehave the ways the program must survive.
#include <string>

namespace httplib {
class Server;
}

enum class BannerFault {
  kNone,
  kCode500,     // the list is {"code":500,...}
  kUnparsable,  // the list is not JSON
  kPicture,     // the second picture always answers 404
};

// "code500", "unparsable", "picture"; anything else is no fault.
BannerFault ParseBannerFault(const std::string& text);

// Adds the list and the pictures to server; base is its own "http://host:port".
void ServeBanners(httplib::Server& server, const std::string& base, BannerFault fault);

// A picture of the given size as PNG bytes: a diagonal gradient of the hue.
std::string DrawBannerPng(int width, int height, int hue);
