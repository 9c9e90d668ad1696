#include "ui/UiApplication.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ui {
namespace {

int g_argc = 1;
char g_arg0[] = "qm_downloader";
char* g_argv[] = {g_arg0, nullptr};
int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = write(g_signalPipe[1], &byte, 1);
}

}  // namespace

void EnsureApplication() {
  if (QApplication::instance() != nullptr) return;
  new QApplication(g_argc, g_argv);  // lives until the process ends
}

int RunMessageLoop() { return QApplication::exec(); }

void CloseWindowsOnTerminationSignals() {
  if (g_signalPipe[0] >= 0) return;
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, qApp);
  QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
    char byte = 0;
    [[maybe_unused]] const ssize_t n = read(g_signalPipe[0], &byte, 1);
    QApplication::closeAllWindows();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
}

}  // namespace ui
