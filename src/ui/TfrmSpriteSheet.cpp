#include "ui/TfrmSpriteSheet.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QScrollBar>
#include <QVBoxLayout>

#include "core/editorCore.h"
#include "sprite/TSpriteFile.h"
#include "ui/SpriteListModel.h"
#include "ui/SpriteSheetView.h"
#include "ui/TfrmMain.h"

namespace tess {

TfrmSpriteSheet::TfrmSpriteSheet(TfrmMain& main) : TChildWindow(main) {
  setFont(TfrmMain::windowFont());
  setWindowTitle(QStringLiteral("Sprite sheet"));
  setWindowIcon(main.windowIcon());

  sheet = new TSpriteSheetView(this);
  sheet->setFont(font());
  sheet->setModel(main.spriteListModel);
  // setModel made a selection model of the view's own; the list's replaces it, so both views
  // show and change one selection.
  QItemSelectionModel* own = sheet->selectionModel();
  sheet->setSelectionModel(main.SpriteListBox->selectionModel());
  if (own && own != sheet->selectionModel()) own->deleteLater();
  sheet->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(sheet, &TSpriteSheetView::mouseDown, this,
          [this](Qt::MouseButton button, const QPoint& pos) { sheetMouseDown(button, pos); });
  connect(sheet, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    mainWindow().PopupMenu1->popup(sheet->viewport()->mapToGlobal(pos));
  });

  zoomBox = new QComboBox(this);
  zoomBox->addItem(QStringLiteral("1x"), 1);
  zoomBox->addItem(QStringLiteral("2x"), 2);
  zoomBox->addItem(QStringLiteral("4x"), 4);
  connect(zoomBox, &QComboBox::currentIndexChanged, this,
          [this](int item) { sheet->setCellZoom(zoomBox->itemData(item).toInt()); });

  auto* controls = new QHBoxLayout;
  controls->addWidget(new QLabel(QStringLiteral("Cell size:"), this));
  controls->addWidget(zoomBox);
  controls->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(4);
  layout->addLayout(controls);
  layout->addWidget(sheet, 1);
}

// Seven columns of 1x cells, five lines.
QSize TfrmSpriteSheet::sizeHint() const {
  const QSize cell = sheet->cellSize();
  const int frame = 2 * sheet->frameWidth() + 12;
  return QSize(7 * cell.width() + sheet->verticalScrollBar()->sizeHint().width() + frame,
               5 * cell.height() + frame + zoomBox->sizeHint().height() + 4);
}

TfrmSpriteSheet::~TfrmSpriteSheet() = default;

void TfrmSpriteSheet::sheetMouseDown(Qt::MouseButton button, const QPoint& pos) {
  TfrmMain& main = mainWindow();
  if (!main.core().spriteFile.loaded) return;
  main.itemIndex = -1;
  if (button != Qt::RightButton) return;
  const QModelIndex cell = sheet->indexAt(pos);
  if (cell.isValid()) main.itemIndex = cell.row();
}

void TfrmSpriteSheet::closeEvent(QCloseEvent* event) {
  TfrmMain& main = mainWindow();
  if (main.spriteSheetDialog == this) main.spriteSheetDialog = nullptr;
  event->accept();
}

}  // namespace tess
