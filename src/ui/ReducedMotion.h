#pragma once
// Whether the desktop asks for reduced motion: QT_ANIMATION_DURATION_FACTOR=0
// in the environment, or GTK's "gtk-enable-animations" set to false (or 0)
// in the [Settings] group of $XDG_CONFIG_HOME/gtk-3.0/settings.ini (default
// ~/.config). Read from the file each time, without starting any process;
// dconf/gsettings are not consulted.
namespace ui {

bool ReducedMotion();

}  // namespace ui
