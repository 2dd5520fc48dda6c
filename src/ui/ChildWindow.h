#pragma once

#include <QWidget>

namespace tess {

class TfrmMain;

// A window shown inside the main window's client area (see TfrmMain::showChildWindow). It is
// destroyed once it is closed.
class TChildWindow : public QWidget {
  Q_OBJECT

 public:
  explicit TChildWindow(TfrmMain& main);

  TfrmMain& mainWindow() const noexcept { return FMain; }

  // Closes the window together with the frame that hosts it. The window's closeEvent runs and
  // may refuse (ignore) the close. Returns whether it closed.
  bool closeWindow();
  // Moves the window's frame to `pos` in client-area coordinates.
  void moveTo(const QPoint& pos);
  void bringToFront();
  // The frame that hosts the window in the client area, or the window itself while it is not
  // hosted.
  QWidget* frame() const;

 private:
  TfrmMain& FMain;
};

}  // namespace tess
