// When the desktop asks for reduced motion: the environment's animation
// factor and GTK's settings file, each with its spellings.
#include <gtest/gtest.h>

#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "ui/ReducedMotion.h"

namespace {

struct MotionCase {
  const char* factor;    // QT_ANIMATION_DURATION_FACTOR, nullptr: unset
  const char* settings;  // gtk-3.0/settings.ini, nullptr: no file
  bool still;
};

const MotionCase kCases[] = {
    {nullptr, nullptr, false},
    {"0", nullptr, true},
    {"0.0", nullptr, true},
    {"1", nullptr, false},
    {"0.5", nullptr, false},
    {"", nullptr, false},
    {"none", nullptr, false},
    {nullptr, "[Settings]\ngtk-enable-animations=false\n", true},
    {nullptr, "[Settings]\ngtk-enable-animations=0\n", true},
    {nullptr, "[Settings]\ngtk-theme-name=Adwaita\ngtk-enable-animations = False\n", true},
    {nullptr, "[Settings]\ngtk-enable-animations=true\n", false},
    {nullptr, "[Settings]\ngtk-enable-animations=1\n", false},
    {nullptr, "[Other]\ngtk-enable-animations=false\n", false},
    {nullptr, "[Settings]\ngtk-theme-name=Adwaita\n", false},
    {nullptr, "\x01\xff[Settings\ngtk-enable-animations=false", false},  // a broken file asks nothing
    {"1", "[Settings]\ngtk-enable-animations=false\n", true},
    {"0", "[Settings]\ngtk-enable-animations=true\n", true},
};

}  // namespace

TEST(ReducedMotion, EnvironmentFactorAndGtkSettings) {
  for (const MotionCase& c : kCases) {
    TempDir config;  // a fresh file each time
    if (c.settings != nullptr) config.Write("gtk-3.0/settings.ini", c.settings);
    ScopedEnv home("XDG_CONFIG_HOME", config.path());
    std::optional<ScopedEnv> factor;
    if (c.factor != nullptr) factor.emplace("QT_ANIMATION_DURATION_FACTOR", c.factor);
    else factor.emplace("QT_ANIMATION_DURATION_FACTOR");
    EXPECT_EQ(ui::ReducedMotion(), c.still) << (c.factor ? c.factor : "(unset)") << " / "
                                            << (c.settings ? c.settings : "(no file)");
  }
}
