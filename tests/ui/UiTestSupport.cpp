#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include "platform/SkinResourceTable.h"
#include "ui/UiApplication.h"

void EnsureUiTestEnvironment() {
  ui::EnsureApplication();
  static const bool loaded = platform::UseEmbeddedSkinArchive();
  (void)loaded;
}

namespace {
// Fixtures hold windows as members, built before their SetUp runs: the
// application object must exist before the first test starts.
class UiEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { EnsureUiTestEnvironment(); }
};
[[maybe_unused]] ::testing::Environment* const g_uiEnvironment =
    ::testing::AddGlobalTestEnvironment(new UiEnvironment);
}  // namespace
