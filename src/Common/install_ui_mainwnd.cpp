#include "Common/install_ui_mainwnd.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLocalSocket>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "Logger.h"
#include "TestSettings.h"
#include "platform/WindowProbe.h"

namespace {
// How long an unattended run leaves the stand-in window on screen.
constexpr int kAutoRunCloseMs = 1500;
}  // namespace

InstallUIMainWnd::InstallUIMainWnd() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {}

InstallUIMainWnd::~InstallUIMainWnd() = default;

bool InstallUIMainWnd::Create(const std::string& className, const std::string& title, int width,
                              int height) {
  className_ = className.empty() ? "QM_UI_Frame" : className;
  setObjectName(QString::fromStdString(className_));
  setWindowTitle(QString::fromStdString(title));
  setFixedSize(width, height);
  auto* layout = new QVBoxLayout(this);
  auto* name = new QLabel(QString::fromStdString(title), this);
  name->setAlignment(Qt::AlignCenter);
  name->setStyleSheet("font-size: 22px; font-weight: bold;");
  auto* close = new QPushButton(tr("Close"), this);
  close->setObjectName("close_btn");
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  layout->addWidget(name, 1);
  layout->addWidget(close, 0, Qt::AlignRight);
  ListenForRaiseRequests();
  if (IsAutoRun()) QTimer::singleShot(kAutoRunCloseMs, this, &QWidget::close);
  QMLOG(" Main window created: " << className_);
  return true;
}

void InstallUIMainWnd::ListenForRaiseRequests() {
  const QString path = QString::fromStdString(platform::WindowSocketPath(className_));
  QLocalServer::removeServer(path);  // a socket file left by an instance that died
  if (!raiseServer_.listen(path)) return;
  connect(&raiseServer_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* peer = raiseServer_.nextPendingConnection()) {
      connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      QMLOG(" Another instance asked for the window");
      showNormal();
      raise();
      activateWindow();
    }
  });
}

void InstallUIMainWnd::CenterWindow() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  move(area.center() - rect().center());
}

void InstallUIMainWnd::WaitForAllThreadExit() {}
