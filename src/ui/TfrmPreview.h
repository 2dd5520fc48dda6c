#pragma once

#include <QPoint>
#include <QString>
#include <cstdint>

#include "ui/ChildWindow.h"

class QCheckBox;
class QLabel;
class QScrollArea;
class QSpinBox;
class QTimer;

namespace tess {

class TSprite;
class TSpriteFile;
class TfrmPreview;

// The zoomed picture of the preview: the sprite over the checkerboard, one block of zoom x zoom
// logical pixels per sprite pixel, and the pixel grid when asked for.
class TPreviewCanvas : public QWidget {
  Q_OBJECT

 public:
  explicit TPreviewCanvas(TfrmPreview& window);

  // The sprite pixel under `pos` (canvas coordinates), or (-1, -1).
  QPoint pixelAt(const QPoint& pos) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  TfrmPreview& FWindow;
};

// Shows the sprite of the list's current row, zoomed, with its ID and state and the value of
// the pixel under the mouse. It follows the rows' changes and the current row of the selection
// the list shares with every view.
class TfrmPreview : public TChildWindow {
  Q_OBJECT

 public:
  static constexpr int kMinZoom = 1;
  static constexpr int kMaxZoom = 16;
  // The pixel grid is drawn from this zoom on, where it still leaves the pixels visible.
  static constexpr int kMinGridZoom = 4;
  static constexpr int kSpriteSide = 32;

  explicit TfrmPreview(TfrmMain& main);
  ~TfrmPreview() override;

  // The sprite to show: the current row's, or none while no file is loaded or a load runs.
  TSprite* sprite() const;
  int zoom() const noexcept { return FZoom; }
  // Clamped to kMinZoom .. kMaxZoom.
  void setZoom(int zoom);
  bool gridShown() const noexcept;
  // Shows the state of the current sprite and of the pixel under the mouse.
  void refresh();
  // The pixel under the mouse, or (-1, -1); the canvas reports it.
  void setHoveredPixel(const QPoint& pixel);
  // Room for the sprite at the zoom the window opens with.
  QSize sizeHint() const override;

  TPreviewCanvas* canvas = nullptr;
  QScrollArea* scroller = nullptr;
  QSpinBox* zoomBox = nullptr;
  QCheckBox* gridBox = nullptr;
  QLabel* lblSprite = nullptr;  // the ID, and "empty" or "cleared"
  QLabel* lblPixel = nullptr;   // x, y and ARGB of the pixel under the mouse

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // A load reports each sprite it read: from its first report on the picture goes blank.
  void loadProgress(std::int32_t id, std::int32_t total);
  void changed();

  // The editor's sprite file, which outlives every window: the main window may be gone already
  // when this one is destroyed with it.
  TSpriteFile& FSpriteFile;
  int FZoom = 8;
  QPoint FHovered{-1, -1};
  bool FWasLoading = false;
  // Looks for the end of a load that failed: it keeps the rows, so no change tells of it.
  QTimer* FLoadWatch = nullptr;
};

// The text under the preview for `sprite` (nullptr: nothing shown).
QString previewSpriteText(const TSprite* sprite);
// "x 3, y 5: ARGB FF102030" for the pixel `argb` at (x, y).
QString previewPixelText(int x, int y, std::uint32_t argb);

}  // namespace tess
