#pragma once

#include <QWidget>

namespace tess {

class TfrmMain;

// A window shown inside the main window's client area. It is destroyed once it is closed.
class TChildWindow : public QWidget {
  Q_OBJECT

 public:
  explicit TChildWindow(TfrmMain& main);

  TfrmMain& mainWindow() const noexcept { return FMain; }

  // Closes the window together with the frame that hosts it. The window's closeEvent runs and
  // may refuse (ignore) the close.
  void closeWindow();
  // Moves the window's frame to `pos` in client-area coordinates.
  void moveTo(const QPoint& pos);
  void bringToFront();

 private:
  TfrmMain& FMain;
};

}  // namespace tess
