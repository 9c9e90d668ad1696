#include "platform/FixedText.h"

namespace platform {

FixedText& FixedText::Append(const char* text) {
  std::size_t length = 0;
  while (text[length] != '\0') ++length;
  return Append(text, length);
}

FixedText& FixedText::Append(const char* text, std::size_t length) {
  for (std::size_t i = 0; i < length && length_ + 1 < capacity_; ++i) data_[length_++] = text[i];
  Terminate();
  return *this;
}

FixedText& FixedText::AppendChar(char c) { return Append(&c, 1); }

FixedText& FixedText::AppendUnsigned(std::uint64_t value, int minWidth) {
  char digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 && count < 24);
  while (count < minWidth && count < 24) digits[count++] = '0';
  while (count > 0) AppendChar(digits[--count]);
  return *this;
}

FixedText& FixedText::AppendSigned(std::int64_t value) {
  if (value < 0) {
    AppendChar('-');
    return AppendUnsigned(0 - static_cast<std::uint64_t>(value));
  }
  return AppendUnsigned(static_cast<std::uint64_t>(value));
}

}  // namespace platform
