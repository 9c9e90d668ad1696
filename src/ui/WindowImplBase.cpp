#include "ui/WindowImplBase.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <mutex>
#include <unordered_set>

#include "ui/Accessibility.h"
#include "ui/FirstPaintMark.h"
#include "ui/KeyboardFocus.h"
#include "ui/LayoutBuilder.h"
#include "ui/MessageEvent.h"

namespace ui {
namespace {

// Windows alive, so that a post from another thread never reaches a window
// being destroyed: posting and destruction take the same lock.
std::mutex g_liveMutex;
std::unordered_set<const WindowImplBase*>& LiveWindows() {
  static std::unordered_set<const WindowImplBase*> windows;
  return windows;
}

}  // namespace

WindowImplBase::WindowImplBase() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
  InstallAccessibility();
  std::lock_guard<std::mutex> lock(g_liveMutex);
  LiveWindows().insert(this);
}

WindowImplBase::~WindowImplBase() {
  std::lock_guard<std::mutex> lock(g_liveMutex);
  LiveWindows().erase(this);
}

bool WindowImplBase::Create(QWidget* owner, const QString& title, int width, int height) {
  owner_ = owner;
  setObjectName(GetWindowClassName());
  setWindowTitle(title);
  root_ = LayoutBuilder(GetSkinFolder()).Build(GetSkinFile(), this, skin_);
  if (root_ == nullptr) return false;
  MarkStartupStep("layout");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(root_);
  if (skin_.transparent) setAttribute(Qt::WA_TranslucentBackground);
  const QSize size = skin_.size.isEmpty() ? QSize(width, height) : skin_.size;
  ResizeClient(size.width(), size.height());
  InitWindow();
  WatchKeyboardFocus(this);
  return true;
}

void WindowImplBase::ResizeClient(int width, int height) {
  setFixedSize(width, height);
}

void WindowImplBase::CenterWindow() {
  QRect area;
  QRect anchor;
  if (owner_ != nullptr && owner_->isVisible()) {
    anchor = owner_->frameGeometry();
    const QScreen* screen = owner_->screen();
    area = screen ? screen->availableGeometry() : anchor;
  } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    area = anchor = screen->availableGeometry();
  } else {
    return;
  }
  QRect frame(QPoint(0, 0), size());
  frame.moveCenter(anchor.center());
  frame.moveLeft(std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - frame.width() + 1)));
  frame.moveTop(std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() - frame.height() + 1)));
  move(frame.topLeft());
}

int WindowImplBase::ShowModal() {
  QPointer<QWidget> owner = owner_;
  if (owner) owner->setEnabled(false);
  showNormal();
  if (owner && windowHandle() && owner->windowHandle()) windowHandle()->setTransientParent(owner->windowHandle());
  CenterWindow();
  if (QGuiApplication::platformName() != "offscreen") {  // no window stacking there
    raise();
    activateWindow();
  }
  QEventLoop loop;
  modalLoop_ = &loop;
  if (isVisible()) loop.exec(QEventLoop::DialogExec);
  modalLoop_ = nullptr;
  if (owner) owner->setEnabled(true);
  return result_;
}

void WindowImplBase::Close(int result) {
  result_ = result;
  close();
}

void WindowImplBase::closeEvent(QCloseEvent* event) {
  OnClose();
  QWidget::closeEvent(event);
  if (modalLoop_ != nullptr) modalLoop_->quit();
}

QAbstractButton* WindowImplBase::FirstShown(const QStringList& names) const {
  for (const QString& name : names) {
    auto* button = findChild<QAbstractButton*>(name);
    if (button != nullptr && button->isVisibleTo(this) && button->isEnabled()) return button;
  }
  return nullptr;
}

bool WindowImplBase::PressFirstShown(const QStringList& names) {
  QAbstractButton* button = FirstShown(names);
  if (button != nullptr) button->click();
  return button != nullptr;
}

void WindowImplBase::FocusDefaultButton() {
  const QStringList& names = focusButtons_.isEmpty() ? defaultButtons_ : focusButtons_;
  if (QAbstractButton* button = FirstShown(names)) button->setFocus(Qt::OtherFocusReason);
}

void WindowImplBase::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FocusDefaultButton();
}

void WindowImplBase::keyPressEvent(QKeyEvent* event) {
  // Only keys no control took arrive here: a focused button handles its own Enter.
  const int key = event->key();
  NoteInput(this, true, key);
  if (key == Qt::Key_Escape && PressFirstShown(escapeButtons_)) return;
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && PressFirstShown(defaultButtons_)) return;
  QWidget::keyPressEvent(event);
}

QWidget* WindowImplBase::FindControl(const QString& name) const {
  if (name.isEmpty()) return nullptr;
  return findChild<QWidget*>(name);
}

void WindowImplBase::SetTimer(int id, int intervalMs) {
  QTimer*& timer = timers_[id];
  if (timer == nullptr) {
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this, id] { OnTimer(id); });
  }
  timer->start(intervalMs);
}

void WindowImplBase::KillTimer(int id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  it->second->stop();
  it->second->deleteLater();
  timers_.erase(it);
}

bool WindowImplBase::PostMessage(WindowImplBase* window, int msg, std::intptr_t wParam, std::intptr_t lParam) {
  std::lock_guard<std::mutex> lock(g_liveMutex);
  if (window == nullptr || LiveWindows().count(window) == 0) return false;
  auto* message = new MessageEvent(msg, wParam, lParam);
  QCoreApplication::postEvent(window, message);
  return true;
}

long WindowImplBase::HandleCustomMessage(int, std::intptr_t, std::intptr_t, bool& handled) {
  handled = false;
  return 0;
}

bool WindowImplBase::event(QEvent* event) {
  bool posted = false;
  {
    // The lock that PostMessage held while making the event: the hand-over
    // through Qt's queue is then ordered for race detectors too.
    std::lock_guard<std::mutex> lock(g_liveMutex);
    posted = event->type() == MessageEvent::Type();
  }
  if (posted) {
    auto* message = static_cast<MessageEvent*>(event);
    bool handled = false;
    HandleCustomMessage(message->msg, message->wParam, message->lParam, handled);
    return true;
  }
  return QWidget::event(event);
}

void WindowImplBase::Notify(const TNotifyUI& msg) {
  if (msg.sType == "click") OnClick(msg);
  else if (msg.sType == "itemselect") OnItemSelect(msg);
  else if (msg.sType == "selectchanged") OnSelectChanged(msg);
}

bool WindowImplBase::InCaption(const QPoint& pos) const {
  return skin_.caption.height() > 0 && pos.y() >= skin_.caption.top() && pos.y() < skin_.caption.top() + skin_.caption.height();
}

void WindowImplBase::mousePressEvent(QMouseEvent* event) {
  NoteInput(this, false);
  if (event->button() != Qt::LeftButton || !InCaption(event->position().toPoint())) return QWidget::mousePressEvent(event);
  if (windowHandle() != nullptr && windowHandle()->startSystemMove()) return;
  dragging_ = true;
  dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void WindowImplBase::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) move(event->globalPosition().toPoint() - dragOffset_);
  else QWidget::mouseMoveEvent(event);
}

void WindowImplBase::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

}  // namespace ui
