// The version record of our own executables: "Key=Value" lines in the ELF
// section ".qm_version", which GetVersionStrings and GetFileVersionString read
// back from the file. Linked into every executable that should carry it.
#include <array>
#include <cstddef>
#include <string_view>

#include "BuildSettings.h"

namespace {

constexpr std::string_view kParts[] = {
    "ProductName=Vantor Mark Eraser\n",
    "ProductVersion=",
    build::kProductVersion,
    "\n",
    "FileVersion=",
    build::kProductVersion,
    "\n",
    "LegalCopyright=Copyright (C) Quillmarch. All rights reserved.\n",
    "FileDescription=Vantor Mark Eraser Downloader\n",
};

constexpr std::size_t StampLength() {
  std::size_t length = 1;  // terminating NUL
  for (std::string_view part : kParts) length += part.size();
  return length;
}

constexpr std::array<char, StampLength()> MakeStamp() {
  std::array<char, StampLength()> stamp{};
  std::size_t at = 0;
  for (std::string_view part : kParts) {
    for (char c : part) stamp[at++] = c;
  }
  return stamp;
}

}  // namespace

// External and "used" so that neither the compiler nor a static-library link
// drops it; the reader finds it by section name, not by symbol.
extern "C" __attribute__((section(".qm_version"), used))
const std::array<char, StampLength()>
    qm_version_stamp = MakeStamp();

// Lets a program (or a test) refer to the record, which also pulls this file
// out of a static library.
extern "C" const char* qm_version_stamp_text() { return qm_version_stamp.data(); }
