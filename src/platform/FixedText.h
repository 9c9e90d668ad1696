#pragma once
// Text built in a caller's fixed buffer without allocating, usable from a
// signal handler. Appends that do not fit are cut; the text stays terminated.
#include <cstddef>
#include <cstdint>

namespace platform {

class FixedText {
 public:
  FixedText(char* buffer, std::size_t capacity) : data_(buffer), capacity_(capacity) { Terminate(); }

  FixedText& Append(const char* text);
  FixedText& Append(const char* text, std::size_t length);
  FixedText& AppendChar(char c);
  // Decimal, left-padded with zeros to minWidth digits.
  FixedText& AppendUnsigned(std::uint64_t value, int minWidth = 1);
  FixedText& AppendSigned(std::int64_t value);

  const char* c_str() const { return data_; }
  std::size_t size() const { return length_; }
  void Clear() {
    length_ = 0;
    Terminate();
  }

 private:
  void Terminate() {
    if (capacity_ > 0) data_[length_ < capacity_ ? length_ : capacity_ - 1] = '\0';
  }

  char* data_;
  std::size_t capacity_;
  std::size_t length_ = 0;
};

}  // namespace platform
