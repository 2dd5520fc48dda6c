#include "ui/TfrmPreview.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

#include "core/editorCore.h"
#include "sprite/TSpriteFile.h"
#include "ui/SpriteListModel.h"
#include "ui/SpritePainting.h"
#include "ui/TfrmMain.h"

namespace tess {

QString previewSpriteText(const TSprite* sprite) {
  if (!sprite) return {};
  QString text = QStringLiteral("ID %1").arg(sprite->ID());
  if (sprite->isDUmmy)
    text += sprite->bitmap ? QStringLiteral(", cleared") : QStringLiteral(", empty");
  return text;
}

QString previewPixelText(int x, int y, std::uint32_t argb) {
  return QStringLiteral("x %1, y %2: ARGB %3")
      .arg(x)
      .arg(y)
      .arg(QStringLiteral("%1").arg(argb, 8, 16, QLatin1Char('0')).toUpper());
}

TPreviewCanvas::TPreviewCanvas(TfrmPreview& window) : QWidget(nullptr), FWindow(window) {
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QPoint TPreviewCanvas::pixelAt(const QPoint& pos) const {
  const int zoom = FWindow.zoom();
  const int side = TfrmPreview::kSpriteSide;
  if (pos.x() < 0 || pos.y() < 0) return {-1, -1};
  const int x = pos.x() / zoom;
  const int y = pos.y() / zoom;
  if (x >= side || y >= side) return {-1, -1};
  return {x, y};
}

void TPreviewCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  const QRect all = rect();
  const TSprite* sprite = FWindow.sprite();
  if (!sprite) {
    painter.fillRect(all, palette().color(QPalette::Window));
    return;
  }
  paintCheckerboard(painter, all);
  if (!sprite->isDUmmy && sprite->bitmap) {
    const TBitmap32& bitmap = *sprite->bitmap;
    const int zoom = FWindow.zoom();
    drawBitmapSharp(painter, QRect(0, 0, bitmap.Width() * zoom, bitmap.Height() * zoom), bitmap);
  }
  if (FWindow.gridShown()) {
    const int zoom = FWindow.zoom();
    QPen pen(QColor(0, 0, 0, 60));
    pen.setCosmetic(true);
    pen.setWidth(0);
    painter.setPen(pen);
    for (int k = 1; k < TfrmPreview::kSpriteSide; ++k) {
      painter.drawLine(k * zoom, 0, k * zoom, all.height());
      painter.drawLine(0, k * zoom, all.width(), k * zoom);
    }
  }
}

void TPreviewCanvas::mouseMoveEvent(QMouseEvent* event) {
  FWindow.setHoveredPixel(pixelAt(event->position().toPoint()));
}

void TPreviewCanvas::leaveEvent(QEvent*) { FWindow.setHoveredPixel({-1, -1}); }

void TPreviewCanvas::wheelEvent(QWheelEvent* event) {
  if (!event->modifiers().testFlag(Qt::ControlModifier) || event->angleDelta().y() == 0) {
    event->ignore();
    return;
  }
  FWindow.setZoom(FWindow.zoom() + (event->angleDelta().y() > 0 ? 1 : -1));
  event->accept();
}

TfrmPreview::TfrmPreview(TfrmMain& main) : TChildWindow(main), FSpriteFile(main.core().spriteFile) {
  setFont(TfrmMain::windowFont());
  setWindowTitle(QStringLiteral("Preview"));
  setWindowIcon(main.windowIcon());

  canvas = new TPreviewCanvas(*this);
  scroller = new QScrollArea(this);
  scroller->setWidget(canvas);
  scroller->setAlignment(Qt::AlignCenter);
  scroller->setBackgroundRole(QPalette::Dark);

  zoomBox = new QSpinBox(this);
  zoomBox->setRange(kMinZoom, kMaxZoom);
  zoomBox->setSuffix(QStringLiteral("x"));
  zoomBox->setPrefix(QStringLiteral("Zoom "));
  zoomBox->setValue(FZoom);
  connect(zoomBox, &QSpinBox::valueChanged, this, [this](int value) { setZoom(value); });

  gridBox = new QCheckBox(QStringLiteral("Grid"), this);
  connect(gridBox, &QCheckBox::toggled, canvas, qOverload<>(&QWidget::update));

  lblSprite = new QLabel(this);
  lblPixel = new QLabel(this);
  lblPixel->setMinimumWidth(lblPixel->fontMetrics().horizontalAdvance(
      previewPixelText(31, 31, 0xFFFFFFFFu) + QStringLiteral("  ")));

  auto* controls = new QHBoxLayout;
  controls->addWidget(zoomBox);
  controls->addWidget(gridBox);
  controls->addStretch(1);
  auto* status = new QHBoxLayout;
  status->addWidget(lblSprite);
  status->addStretch(1);
  status->addWidget(lblPixel);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(4);
  layout->addLayout(controls);
  layout->addWidget(scroller, 1);
  layout->addLayout(status);

  const int frame = 2 * scroller->frameWidth();
  scroller->setMinimumSize(kSpriteSide + frame, kSpriteSide + frame);
  setZoom(FZoom);

  const QItemSelectionModel* selection = main.SpriteListBox->selectionModel();
  connect(selection, &QItemSelectionModel::currentChanged, this, &TfrmPreview::changed);
  const TSpriteListModel* model = main.spriteListModel;
  connect(model, &QAbstractItemModel::dataChanged, this, &TfrmPreview::changed);
  connect(model, &QAbstractItemModel::modelReset, this, &TfrmPreview::changed);
  connect(model, &QAbstractItemModel::rowsInserted, this, &TfrmPreview::changed);
  connect(model, &QAbstractItemModel::rowsRemoved, this, &TfrmPreview::changed);
  FLoadWatch = new QTimer(this);
  FLoadWatch->setInterval(100);
  connect(FLoadWatch, &QTimer::timeout, this, [this] {
    if (!FSpriteFile.isLoading) changed();
  });
  FSpriteFile.onLoadSprite.push_back(TonLoadSprite(this, &TfrmPreview::loadProgress));
  refresh();
}

TfrmPreview::~TfrmPreview() {
  removeListener(FSpriteFile.onLoadSprite, TonLoadSprite(this, &TfrmPreview::loadProgress));
}

TSprite* TfrmPreview::sprite() const {
  const TfrmMain& main = mainWindow();
  const TSpriteFile& file = main.core().spriteFile;
  if (!file.loaded || file.isLoading) return nullptr;
  const QModelIndex current = main.SpriteListBox->selectionModel()->currentIndex();
  if (!current.isValid()) return nullptr;
  return main.spriteListModel->spriteAt(current.row());
}

QSize TfrmPreview::sizeHint() const {
  const QSize around = QWidget::sizeHint() - scroller->sizeHint();
  const int frame = 2 * scroller->frameWidth();
  const int side = kSpriteSide * 8 + frame;
  return QSize(std::max(side + around.width(), QWidget::sizeHint().width()),
               side + around.height());
}

void TfrmPreview::setZoom(int zoom) {
  FZoom = std::clamp(zoom, kMinZoom, kMaxZoom);
  if (zoomBox->value() != FZoom) {
    const QSignalBlocker quiet(zoomBox);
    zoomBox->setValue(FZoom);
  }
  gridBox->setEnabled(FZoom >= kMinGridZoom);
  canvas->setFixedSize(kSpriteSide * FZoom, kSpriteSide * FZoom);
  canvas->update();
}

bool TfrmPreview::gridShown() const noexcept {
  return gridBox->isChecked() && FZoom >= kMinGridZoom;
}

void TfrmPreview::setHoveredPixel(const QPoint& pixel) {
  FHovered = pixel;
  refresh();
}

void TfrmPreview::refresh() {
  const TSprite* shown = sprite();
  lblSprite->setText(previewSpriteText(shown));
  QString pixelText;
  if (shown && !shown->isDUmmy && shown->bitmap && FHovered.x() >= 0) {
    const TBitmap32& bitmap = *shown->bitmap;
    if (FHovered.x() < bitmap.Width() && FHovered.y() < bitmap.Height()) {
      pixelText =
          previewPixelText(FHovered.x(), FHovered.y(), bitmap.GetPixel(FHovered.x(), FHovered.y()));
    }
  }
  lblPixel->setText(pixelText);
}

void TfrmPreview::changed() {
  FWasLoading = false;
  FLoadWatch->stop();
  refresh();
  canvas->update();
}

void TfrmPreview::loadProgress(std::int32_t, std::int32_t) {
  if (FWasLoading || !FSpriteFile.isLoading) return;
  FWasLoading = true;
  FLoadWatch->start();
  refresh();
  canvas->update();
}

void TfrmPreview::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      setZoom(FZoom + 1);
      break;
    case Qt::Key_Minus:
      setZoom(FZoom - 1);
      break;
    default:
      TChildWindow::keyPressEvent(event);
      return;
  }
  event->accept();
}

void TfrmPreview::closeEvent(QCloseEvent* event) {
  TfrmMain& main = mainWindow();
  if (main.previewDialog == this) main.previewDialog = nullptr;
  event->accept();
}

}  // namespace tess
