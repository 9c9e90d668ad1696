#include "support/RangeRequest.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>

namespace {

// A whole run of decimal digits, or nothing (signs, spaces, overflow).
std::optional<std::int64_t> Digits(std::string_view text) {
  std::int64_t value = 0;
  if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

RangeAsk ParseRangeAsk(const std::string& header, std::int64_t length) {
  constexpr std::string_view kUnit = "bytes=";
  const std::string_view text(header);
  if (text.substr(0, kUnit.size()) != kUnit) return {};
  const std::string_view spec = text.substr(kUnit.size());
  const std::size_t dash = spec.find('-');
  if (dash == std::string_view::npos) return {};
  const auto first = Digits(spec.substr(0, dash));
  const std::string_view end = spec.substr(dash + 1);
  const auto last = end.empty() ? std::optional<std::int64_t>(length - 1) : Digits(end);
  if (!first || !last || (!end.empty() && *last < *first)) return {};
  if (*first >= length) return {RangeAsk::Kind::kPastEnd, *first, *last};
  return {RangeAsk::Kind::kPart, *first, std::min(*last, length - 1)};
}
