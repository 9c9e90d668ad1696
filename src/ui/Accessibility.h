#pragma once
// What screen readers see of the skin's own controls: names, roles, states,
// values and the press action, through Qt's accessibility interfaces (AT-SPI
// on Linux). Standard Qt controls (combo, edit) keep Qt's own interfaces.
#include <QString>

class QWidget;

namespace ui {

// Registers the interfaces of the skin's controls once (idempotent).
void InstallAccessibility();

// The status of a long task changes often; a screen reader hears it at most
// once per `step` percentage points, and at every change of stage.
class AnnounceThrottle {
 public:
  explicit AnnounceThrottle(int step = 5) : step_(step) {}
  // True when this change should be announced (and is then taken as said).
  bool Take(int percent, int stage);
  void Reset() {
    lastPercent_ = -1;
    lastStage_ = -1;
  }

 private:
  int step_;
  int lastPercent_ = -1;
  int lastStage_ = -1;
};

// A window that interrupts the user (a message box) is read out as an alert.
void AnnounceAlert(QWidget* window);

}  // namespace ui
