#pragma once
// The main window. This build shows a plain stand-in with the product name and
// a close button until the skinned window replaces it; it already answers the
// single-instance probe and, under AutoRun, closes itself like an unattended
// run clicks itself through.
#include <QLocalServer>
#include <QWidget>
#include <string>

class InstallUIMainWnd : public QWidget {
  Q_OBJECT
 public:
  InstallUIMainWnd();
  ~InstallUIMainWnd() override;

  // Creates the window: class name (or "QM_UI_Frame"), title, size.
  bool Create(const std::string& className, const std::string& title, int width, int height);
  void CenterWindow();
  // Joins every thread the window started (each waited at most 600000 ms).
  void WaitForAllThreadExit();

 private:
  void ListenForRaiseRequests();

  QLocalServer raiseServer_;
  std::string className_;
};
