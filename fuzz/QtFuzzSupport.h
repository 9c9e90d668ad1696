#pragma once
// Set-up shared by the harnesses whose parsers need a Qt application: the
// offscreen platform, a quiet process and the application object.
#include <cstdlib>

#include "FuzzSupport.h"
#include "ui/UiApplication.h"

namespace fuzz {

// Call once from LLVMFuzzerInitialize.
inline void QuietQtProcess() {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QuietProcess();
  ui::EnsureApplication();
}

}  // namespace fuzz
