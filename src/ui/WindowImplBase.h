#pragma once
// Base of the skinned windows: a frameless top-level window built from an XML
// layout of the skin archive. Subclasses name their class and skin file and
// react through InitWindow, OnClick, Notify, HandleCustomMessage and OnTimer.
//
// Threads: everything runs on the thread that created the window, except
// PostMessage, which any thread may call.
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>

class QAbstractButton;
#include <cstdint>
#include <map>

#include "ui/Notify.h"
#include "ui/WindowSkin.h"

class QEventLoop;
class QTimer;

namespace ui {

class WindowImplBase : public QWidget, public INotifyTarget {
  Q_OBJECT
 public:
  WindowImplBase();
  ~WindowImplBase() override;

  virtual QString GetWindowClassName() const = 0;
  virtual QString GetSkinFile() const = 0;
  virtual QString GetSkinFolder() const { return {}; }

  // Builds the controls from the skin, takes the skin's size (else width by
  // height), then calls InitWindow. False when the skin cannot be loaded.
  bool Create(QWidget* owner, const QString& title, int width, int height);
  // Centres over the owner (kept inside its screen's work area), else on the
  // work area of the primary screen.
  void CenterWindow();
  // Shows the window and runs a nested loop until it closes, with the owner
  // disabled meanwhile; returns the result given to Close (0 otherwise).
  int ShowModal();
  void Close(int result = 0);
  void ResizeClient(int width, int height);
  void Minimize() { showMinimized(); }

  QWidget* FindControl(const QString& name) const;
  template <typename T>
  T* FindControl(const QString& name) const { return qobject_cast<T*>(FindControl(name)); }

  // Window timers by id: setting an id again restarts it.
  void SetTimer(int id, int intervalMs);
  void KillTimer(int id);
  bool HasTimer(int id) const { return timers_.count(id) != 0; }

  // Queues a custom message for the window's thread; false when window is
  // null or already destroyed. Safe from any thread.
  static bool PostMessage(WindowImplBase* window, int msg, std::intptr_t wParam = 0, std::intptr_t lParam = 0);

  // Keyboard: Enter, where focus is not on a button, presses the first shown
  // and enabled of these buttons; Escape presses the first shown of the escape
  // buttons (the close buttons), so it asks exactly what that button asks.
  void SetDefaultButtons(QStringList names) { defaultButtons_ = std::move(names); }
  void SetEscapeButtons(QStringList names) { escapeButtons_ = std::move(names); }
  // Puts keyboard focus on the first shown and enabled of the focus buttons
  // (the pages' main buttons; the default buttons unless set); done when the
  // window is shown, and by windows when they switch page.
  void SetFocusButtons(QStringList names) { focusButtons_ = std::move(names); }
  void FocusDefaultButton();

  const WindowSkin& Skin() const { return skin_; }
  QWidget* Owner() const { return owner_; }
  QWidget* Root() const { return root_; }

  // Dispatches "click" to OnClick, "itemselect" to OnItemSelect and
  // "selectchanged" to OnSelectChanged.
  void Notify(const TNotifyUI& msg) override;

 protected:
  virtual void InitWindow() {}
  virtual void OnClick(const TNotifyUI&) {}
  virtual void OnItemSelect(const TNotifyUI&) {}
  virtual void OnSelectChanged(const TNotifyUI&) {}
  // Custom messages; set handled when the message was the window's.
  virtual long HandleCustomMessage(int msg, std::intptr_t wParam, std::intptr_t lParam, bool& handled);
  virtual void OnTimer(int id) { (void)id; }
  // The window is closing (by Close, its close button or the system).
  virtual void OnClose() {}

  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool InCaption(const QPoint& pos) const;
  bool PressFirstShown(const QStringList& names);
  QAbstractButton* FirstShown(const QStringList& names) const;

  WindowSkin skin_;
  QWidget* owner_ = nullptr;
  QWidget* root_ = nullptr;
  std::map<int, QTimer*> timers_;
  QEventLoop* modalLoop_ = nullptr;
  int result_ = 0;
  bool dragging_ = false;
  QPoint dragOffset_;
  QStringList defaultButtons_;
  QStringList escapeButtons_;
  QStringList focusButtons_;
};

}  // namespace ui
