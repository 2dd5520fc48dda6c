#pragma once

#include "ui/ChildWindow.h"

class QComboBox;
class QLabel;

namespace tess {

class TSpriteSheetView;

// The sprites of the open file as a grid, sharing the list's rows and its selection, so that
// selecting in either selects in both and the File menu commands act on it. Its context menu is
// the list's, acting on the cell under the right-button press.
class TfrmSpriteSheet : public TChildWindow {
  Q_OBJECT

 public:
  explicit TfrmSpriteSheet(TfrmMain& main);
  ~TfrmSpriteSheet() override;

  // A press on the grid while a file is loaded: the context menu will act on the cell under a
  // right-button press; any other press leaves it no row.
  void sheetMouseDown(Qt::MouseButton button, const QPoint& pos);
  QSize sizeHint() const override;

  TSpriteSheetView* sheet = nullptr;
  QComboBox* zoomBox = nullptr;  // 1x, 2x, 4x

 protected:
  void closeEvent(QCloseEvent* event) override;
};

}  // namespace tess
