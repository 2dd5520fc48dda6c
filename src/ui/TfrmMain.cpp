#include "ui/TfrmMain.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionMenuItem>
#include <QUrl>
#include <algorithm>
#include <charconv>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>

#include "assets/assetStore.h"
#include "core/editorCore.h"
#include "sprite/TSpriteFile.h"
#include "ui/AssetsGridModel.h"
#include "ui/BulkCommands.h"
#include "ui/ClientLayout.h"
#include "ui/EditHistory.h"
#include "ui/QtHost.h"
#include "ui/ShortcutFilter.h"
#include "ui/SpriteCommands.h"
#include "ui/SpriteDelegate.h"
#include "ui/SpriteListBox.h"
#include "ui/SpriteListModel.h"
#include "ui/StatusLine.h"
#include "ui/TfrmAbout.h"
#include "ui/TfrmAssets.h"
#include "ui/TfrmFileDialog.h"
#include "ui/TfrmFileProperties.h"
#include "ui/TfrmNewFile.h"
#include "ui/TfrmPreview.h"
#include "ui/TfrmSpriteSheet.h"
#include "ui/ViewPlacement.h"

namespace tess {

namespace {

constexpr QSize kClientSize(662, 487);
constexpr QPoint kScreenPosition(293, 154);
constexpr QPoint kNewFilePosition(100, 100);
constexpr QPoint kFileDialogPosition(20, 20);
constexpr int kMenuPictureSize = 32;
constexpr int kMenuPictureMargin = 2;

// The picture under everything else in the client area, stretched over it and drawn with its
// transparency over the button-face colour.
class TBackground : public QWidget {
 public:
  TBackground(const QString& resource, QWidget* parent) : QWidget(parent), FPicture(resource) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    if (FPicture.isNull()) return;
    if (FScaled.size() != size()) {
      FScaled = FPicture.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    painter.drawPixmap(0, 0, FScaled);
  }

 private:
  QPixmap FPicture;
  QPixmap FScaled;
};

// Menus of the main window show their pictures at full size.
class TMenuPictureStyle : public QProxyStyle {
 public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    if (metric == PM_SmallIconSize && qobject_cast<const QMenu*>(widget)) {
      return kMenuPictureSize;
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
  }

  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override {
    QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type != CT_MenuItem) return result;
    // Items with a picture are as tall as the picture and a small margin.
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (item && !item->icon.isNull()) {
      result.setHeight(std::max(result.height(), kMenuPictureSize + 2 * kMenuPictureMargin));
    }
    return result;
  }
};

// What the search field holds, as a 32-bit signed integer: an optional sign and decimal digits,
// nothing else.
std::int32_t searchNumber(const QString& text) {
  const std::string digits = text.toStdString();
  const char* first = digits.data();
  const char* const last = digits.data() + digits.size();
  if (first != last && *first == '+') ++first;
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(first, last, value, 10);
  if (first == last || error != std::errc() || end != last) {
    throw std::runtime_error("''" + digits + "'' is not a valid integer value");
  }
  return value;
}

}  // namespace

template <typename Handler>
void TfrmMain::guarded(Handler&& handler) {
  try {
    handler();
  } catch (const std::bad_alloc&) {
    FHost.reportError("Out of memory.");
  } catch (const std::exception& error) {
    FHost.reportError(error.what());
  }
}

QFont TfrmMain::windowFont() {
  QFont font(QStringLiteral("Tahoma"));
  if (QFontInfo(font).family().compare(QStringLiteral("Tahoma"), Qt::CaseInsensitive) != 0) {
    font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
  }
  font.setPixelSize(11);
  return font;
}

TfrmMain::TfrmMain(TEditorCore& core, QtHost& host, IFileChooser& chooser, QWidget* parent,
                   const QString& appDirectory)
    : QMainWindow(parent), FCore(core), FHost(host), FChooser(chooser) {
  FHost.attachMainWindow(this);
  FHistory = new TEditHistory(this);
  FCommands = std::make_unique<TSpriteCommands>(*this);
  FBulk = std::make_unique<TBulkCommands>(*this, *FCommands);
  FAssets = std::make_unique<TAssetCommands>(*this, *FCommands);
  setAcceptDrops(true);

  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowIcon(QIcon(QStringLiteral(":/images/icon-main.png")));
  setFont(windowFont());

  opendialog.filter = QStringLiteral("PNG File (*.png);;Bitmap File (*.bmp)");
  opendialog.filterIndex = 1;
  SaveDialog.defaultSuffix = QStringLiteral("png");
  SaveDialog.filter = QStringLiteral("*.png");
  SaveDialog.title = QStringLiteral("Escolha o local para salvar o arquivo spr!");

  buildClientArea();
  buildMenus();
  FStatusLine = std::make_unique<TStatusLine>(*statusBar());
  // Opens at the client size of its design; the client area's layout lets it grow from there.
  adjustSize();
  move(kScreenPosition);

  FShortcuts = new TShortcutFilter(
      [this](const QKeyEvent& key) {
        bool handled = false;
        guarded([&] { handled = ApplicationEvents1ShortCut(key); });
        return handled || isCommandShortcut(key);
      },
      &TfrmMain::isCommandShortcut, this);
  QCoreApplication::instance()->installEventFilter(FShortcuts);

  FormCreate(appDirectory);
}

TfrmMain::~TfrmMain() {
  removeListener(FCore.spriteFile.onRelease, TonRelease(this, &TfrmMain::spritesReleased));
  // The frames outlive this body; they must not report to places already gone.
  for (const auto& [frame, place] : FPlaceOf) {
    frame->removeEventFilter(this);
    disconnect(frame, nullptr, this, nullptr);
  }
  FPlaceOf.clear();
  childArea->removeEventFilter(this);
  SpriteListBox->removeEventFilter(this);
  if (FShortcuts) QCoreApplication::instance()->removeEventFilter(FShortcuts);
  // The child windows look at this window's fields while they go, so they go first.
  const QList<QMdiSubWindow*> children = childArea->subWindowList();
  for (QMdiSubWindow* sub : children) delete sub;
  if (FHost.mainWindow() == this) FHost.attachMainWindow(nullptr);
}

void TfrmMain::buildClientArea() {
  auto* client = new QWidget(this);
  auto* placement = new TClientLayout(kClientSize, client);
  using Anchor = TClientLayout::Anchor;
  setCentralWidget(client);

  // Created bottom to top: each control lies over the ones made before it.
  lbl_search = new QLabel(QStringLiteral("Search by ID:"), client);
  lbl_search->setGeometry(479, 8, 66, 13);
  lbl_search->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  placement->addWidget(lbl_search, lbl_search->geometry(), Anchor::Right);

  background = new TBackground(QStringLiteral(":/images/background.png"), client);
  background->setGeometry(QRect(QPoint(0, 0), kClientSize));
  placement->addWidget(background, background->geometry(), Anchor::Fill);

  childArea = new QMdiArea(client);
  childArea->setGeometry(QRect(QPoint(0, 0), kClientSize));
  childArea->setBackground(Qt::NoBrush);
  childArea->setFrameShape(QFrame::NoFrame);
  childArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  childArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  childArea->setFocusPolicy(Qt::NoFocus);
  childArea->setAttribute(Qt::WA_TranslucentBackground);
  childArea->viewport()->setAutoFillBackground(false);
  childArea->setAutoFillBackground(false);
  placement->addWidget(childArea, childArea->geometry(), Anchor::Fill);
  childArea->installEventFilter(this);

  auto* list = new TSpriteListBox(client);
  SpriteListBox = list;
  list->setGeometry(479, 35, 175, 444);
  list->installEventFilter(this);
  placement->addWidget(list, list->geometry(), Anchor::RightGrowing);
  list->setToolTip(QStringLiteral("Right click to show the menu"));
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setUniformItemSizes(true);
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  list->setItemDelegate(new TSpriteDelegate(list));
  spriteListModel = new TSpriteListModel(SpritesIndex, list);
  spriteListModel->follow(FCore.document);
  list->setModel(spriteListModel);
  connect(list, &TSpriteListBox::mouseDown, this,
          [this](Qt::MouseButton button, const QPoint& pos) {
            guarded([&] { SpriteListBoxMouseDown(button, pos); });
          });

  edt_search = new QLineEdit(QStringLiteral("0"), client);
  edt_search->setGeometry(479, 8, 130, 21);
  placement->addWidget(edt_search, edt_search->geometry(), Anchor::Right);
  edt_search->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edt_search));

  btn_search = new QPushButton(QStringLiteral("Search"), client);
  btn_search->setGeometry(615, 8, 39, 21);
  placement->addWidget(btn_search, btn_search->geometry(), Anchor::Right);
  connect(btn_search, &QPushButton::clicked, this,
          [this] { guarded([this] { btn_searchClick(); }); });

  setTabOrder(SpriteListBox, edt_search);
  setTabOrder(edt_search, btn_search);
  SpriteListBox->setFocus();
}

QAction* TfrmMain::addCommand(QMenu* menu, const QString& caption, void (TfrmMain::*handler)()) {
  QAction* action = menu->addAction(caption);
  connect(action, &QAction::triggered, this,
          [this, handler] { guarded([&] { (this->*handler)(); }); });
  return action;
}

void TfrmMain::buildMenus() {
  QMenuBar* bar = menuBar();
  bar->setNativeMenuBar(false);

  const auto withShortcut = [](QAction* action, QKeyCombination key, const char* picture) {
    action->setShortcut(QKeySequence(key));
    if (picture) action->setIcon(QIcon(QString::fromLatin1(picture)));
    return action;
  };

  File1 = bar->addMenu(QStringLiteral("File"));
  New1 = withShortcut(addCommand(File1, QStringLiteral("New"), &TfrmMain::New1Click),
                      Qt::CTRL | Qt::Key_N, ":/images/menu-new.png");
  Open1 = withShortcut(addCommand(File1, QStringLiteral("Open"), &TfrmMain::Open1Click),
                       Qt::CTRL | Qt::Key_O, ":/images/menu-open.png");
  Save1 = withShortcut(addCommand(File1, QStringLiteral("Save"), &TfrmMain::Save1Click),
                       Qt::CTRL | Qt::Key_S, ":/images/menu-save.png");
  Add2 = withShortcut(addCommand(File1, QStringLiteral("Add"), &TfrmMain::Add2Click),
                      Qt::CTRL | Qt::Key_A, nullptr);
  ImportSheet1 =
      addCommand(File1, QStringLiteral("Import sprite sheet..."), &TfrmMain::ImportSheet1Click);
  SkipTransparentTiles1 = File1->addAction(QStringLiteral("Skip transparent tiles on import"));
  SkipTransparentTiles1->setCheckable(true);
  SkipTransparentTiles1->setChecked(FBulk->skipTransparentTiles);
  connect(SkipTransparentTiles1, &QAction::toggled, this,
          [this](bool checked) { FBulk->skipTransparentTiles = checked; });
  OpenAssets1 =
      addCommand(File1, QStringLiteral("Open client assets..."), &TfrmMain::OpenAssets1Click);
  SelectedItems1 = File1->addMenu(QStringLiteral("Selected Items"));
  Replace1 =
      withShortcut(addCommand(SelectedItems1, QStringLiteral("Replace"), &TfrmMain::Replace1Click),
                   Qt::CTRL | Qt::Key_R, nullptr);
  Export1 =
      withShortcut(addCommand(SelectedItems1, QStringLiteral("Export"), &TfrmMain::Export1Click),
                   Qt::CTRL | Qt::Key_E, nullptr);
  ExportSheet1 = addCommand(SelectedItems1, QStringLiteral("Export as sprite sheet..."),
                            &TfrmMain::ExportSheet1Click);
  ExportAssets1 = addCommand(SelectedItems1, QStringLiteral("Export as client sheets..."),
                             &TfrmMain::ExportAssets1Click);
  Clone1 = withShortcut(addCommand(SelectedItems1, QStringLiteral("Clone"), &TfrmMain::Clone1Click),
                        Qt::CTRL | Qt::Key_C, nullptr);
  Clear1 = withShortcut(addCommand(SelectedItems1, QStringLiteral("Clear"), &TfrmMain::Clear1Click),
                        Qt::CTRL | Qt::Key_D, nullptr);
  Properties1 =
      withShortcut(addCommand(File1, QStringLiteral("Properties"), &TfrmMain::Properties1Click),
                   Qt::CTRL | Qt::Key_P, ":/images/menu-properties.png");
  exit1 = addCommand(File1, QStringLiteral("exit"), &TfrmMain::Exit1Click);

  Edit1 = bar->addMenu(QStringLiteral("Edit"));
  Undo1 = addCommand(Edit1, QStringLiteral("Undo"), &TfrmMain::Undo1Click);
  Undo1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  Redo1 = addCommand(Edit1, QStringLiteral("Redo"), &TfrmMain::Redo1Click);
  Redo1->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
  Edit1->addSeparator();
  CopyImage1 = addCommand(Edit1, QStringLiteral("Copy image"), &TfrmMain::CopyImage1Click);
  CopyImage1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Insert));
  Paste1 = addCommand(Edit1, QStringLiteral("Paste"), &TfrmMain::Paste1Click);
  Paste1->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
  Edit1->addSeparator();
  SelectAll1 = addCommand(Edit1, QStringLiteral("Select all"), &TfrmMain::SelectAll1Click);
  SelectAll1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Slash));
  SelectNone1 = addCommand(Edit1, QStringLiteral("Select none"), &TfrmMain::SelectNone1Click);
  SelectNone1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Backslash));
  InvertSelection1 =
      addCommand(Edit1, QStringLiteral("Invert selection"), &TfrmMain::InvertSelection1Click);
  InvertSelection1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
  SelectDuplicates1 =
      addCommand(Edit1, QStringLiteral("Select duplicates"), &TfrmMain::SelectDuplicates1Click);
  SelectEmpty1 = addCommand(Edit1, QStringLiteral("Select empty"), &TfrmMain::SelectEmpty1Click);
  connect(FHistory, &TEditHistory::changed, this, &TfrmMain::updateEditMenu);
  connect(FHistory, &TEditHistory::cleanChanged, this,
          [this](bool clean) { FCore.setUnsaved(!clean); });
  updateEditMenu();

  View1 = bar->addMenu(QStringLiteral("View"));
  Preview1 = addCommand(View1, QStringLiteral("Preview"), &TfrmMain::Preview1Click);
  Preview1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_1));
  SpriteSheet1 = addCommand(View1, QStringLiteral("Sprite sheet"), &TfrmMain::SpriteSheet1Click);
  SpriteSheet1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_2));

  Help1 = bar->addMenu(QStringLiteral("Help"));
  About1 = addCommand(Help1, QStringLiteral("About"), &TfrmMain::About1Click);

  PopupMenu1 = new QMenu(this);
  Add1 = addCommand(PopupMenu1, QStringLiteral("Add"), &TfrmMain::Add1Click);
  Substituir1 = addCommand(PopupMenu1, QStringLiteral("Replace"), &TfrmMain::Substituir1Click);
  Exportar1 = addCommand(PopupMenu1, QStringLiteral("Export"), &TfrmMain::Exportar1Click);
  Clone2 = addCommand(PopupMenu1, QStringLiteral("Clone"), &TfrmMain::Clone2Click);
  Clear2 = addCommand(PopupMenu1, QStringLiteral("Clear"), &TfrmMain::Clear2Click);
  connect(SpriteListBox, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    PopupMenu1->popup(SpriteListBox->viewport()->mapToGlobal(pos));
  });

  // Made last, so it is destroyed after the menu that uses it.
  auto* pictureStyle = new TMenuPictureStyle;
  pictureStyle->setParent(this);
  File1->setStyle(pictureStyle);
}

void TfrmMain::FormCreate(const QString& appDirectory) {
  SpritesIndex.clear();
  const QString dir =
      appDirectory.isEmpty() ? QCoreApplication::applicationDirPath() : appDirectory;
  // A catalog that cannot be read has been reported and the program asked to end; the window is
  // made all the same, so that it can be destroyed as always, but never shown.
  static_cast<void>(FCore.initEditor(dir.toStdString()));
  setWindowTitle(QString::fromLatin1(appTitle));
  FCore.spriteFile.onRelease.push_back(TonRelease(this, &TfrmMain::spritesReleased));
}

void TfrmMain::spritesReleased() {
  spriteListModel->clearRows();
  // The steps of the history belong to the sprites that are gone.
  FHistory->reset();
}

void TfrmMain::updateEditMenu() {
  Undo1->setText(FHistory->undoText());
  Undo1->setEnabled(FHistory->canUndo());
  Redo1->setText(FHistory->redoText());
  Redo1->setEnabled(FHistory->canRedo());
}

void TfrmMain::Undo1Click() {
  if (FCore.refusedWhileBusy()) return;
  if (!FHistory->canUndo()) return;
  // The menu's text, less its "Undo ".
  const std::string step = FHistory->undoText().mid(5).toStdString();
  FHistory->undo();
  FStatusLine->report("Undone: " + step);
}

void TfrmMain::Redo1Click() {
  if (FCore.refusedWhileBusy()) return;
  if (!FHistory->canRedo()) return;
  const std::string step = FHistory->redoText().mid(5).toStdString();
  FHistory->redo();
  FStatusLine->report("Redone: " + step);
}

void TfrmMain::loadSprites() {
  spriteListModel->rebuild(FCore.spriteFile.Sprites);
  // Lay the rows out now rather than on the next pass of the event loop, so that whatever runs
  // next (a search, a paint) sees them.
  SpriteListBox->doItemsLayout();
}

std::vector<int> TfrmMain::getSelectedItems() const {
  std::vector<int> rows;
  const QItemSelection selection = SpriteListBox->selectionModel()->selection();
  for (const QItemSelectionRange& range : selection) {
    for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

void TfrmMain::showChildWindow(QWidget* child, const QPoint& pos) {
  auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget());
  if (!sub || sub->mdiArea() != childArea) {
    // A title bar with the window's icon and a close box, as fixed dialogs have; the style only
    // draws the close box next to a system menu.
    sub = childArea->addSubWindow(child, Qt::SubWindow | Qt::CustomizeWindowHint |
                                             Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                             Qt::WindowCloseButtonHint);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(child->windowIcon());
    sub->adjustSize();
    if (child->minimumSize() == child->maximumSize()) sub->setFixedSize(sub->sizeHint());
  }
  sub->move(pos);
  child->show();
  sub->show();
  sub->raise();
  childArea->setActiveSubWindow(sub);
}

void TfrmMain::centreChild(TChildWindow* child) {
  QWidget* frame = child->frame();
  const QSize area = childArea->size();
  child->moveTo(QPoint(std::max(0, (area.width() - frame->width()) / 2),
                       std::max(0, (area.height() - frame->height()) / 2)));
}

void TfrmMain::SpriteListBoxMouseDown(Qt::MouseButton button, const QPoint& pos) {
  if (!FCore.spriteFile.loaded) return;
  itemIndex = -1;
  if (button != Qt::RightButton) return;
  const QModelIndex row = SpriteListBox->indexAt(pos);
  if (row.isValid()) itemIndex = row.row();
}

void TfrmMain::btn_searchClick() {
  if (!FCore.spriteFile.loaded) return;
  const std::int32_t id = searchNumber(edt_search->text());
  for (std::size_t row = 0; row < SpritesIndex.size(); ++row) {
    const TSprite* sprite = SpritesIndex[row];
    if (!sprite || sprite->ID() != id) continue;
    const QModelIndex found = spriteListModel->index(static_cast<int>(row));
    if (SpriteListBox->currentIndex() != found) {
      SpriteListBox->selectionModel()->setCurrentIndex(found, QItemSelectionModel::NoUpdate);
      SpriteListBox->scrollTo(found, QAbstractItemView::EnsureVisible);
    }
    return;
  }
  FHost.showMessage("Id not found.", "Error!", TMsgIcon::Error);
}

bool TfrmMain::isCommandShortcut(const QKeyEvent& key) {
  if (!key.modifiers().testFlag(Qt::ControlModifier)) return false;
  switch (key.key()) {
    case Qt::Key_A:
    case Qt::Key_C:
    case Qt::Key_D:
    case Qt::Key_E:
    case Qt::Key_N:
    case Qt::Key_O:
    case Qt::Key_P:
    case Qt::Key_R:
    case Qt::Key_S:
      return true;
    default:
      return false;
  }
}

bool TfrmMain::ApplicationEvents1ShortCut(const QKeyEvent& key) {
  if (key.key() == Qt::Key_Escape) {
    // Ends the program itself when it may; otherwise it has asked or said why not.
    static_cast<void>(FCore.closeEditor());
    return false;
  }
  if (!isCommandShortcut(key)) return false;
  switch (key.key()) {
    case Qt::Key_A:
      Add2Click();
      break;
    case Qt::Key_C:
      Clone1Click();
      break;
    case Qt::Key_D:
      Clear1Click();
      break;
    case Qt::Key_E:
      Export1Click();
      break;
    case Qt::Key_N:
      New1Click();
      break;
    case Qt::Key_O:
      Open1Click();
      break;
    case Qt::Key_P:
      Properties1Click();
      break;
    case Qt::Key_R:
      Replace1Click();
      break;
    case Qt::Key_S:
      Save1Click();
      break;
    default:
      break;
  }
  return true;
}

void TfrmMain::New1Click() {
  if (!newDialog) {
    newDialog = new TfrmNewFile(*this);
    showChildWindow(newDialog, kNewFilePosition);
  } else {
    newDialog->listAddedVersions();
  }
  newDialog->moveTo(kNewFilePosition);
  if (dialog) dialog->closeWindow();
  if (newDialog) newDialog->bringToFront();
}

void TfrmMain::Open1Click() {
  // The open/save window of the running load or save would change its mode under it.
  if (FCore.refusedWhileBusy()) return;
  showFileDialog(false);
}

void TfrmMain::openFromCommandLine(const QString& fileName) {
  showFileDialog(false);
  if (!dialog) return;
  // A name relative to the folder the editor was started in would name another file, or none,
  // once the title shows it and the save window offers it again.
  dialog->edtSpr->setText(fileName.isEmpty() ? fileName : QFileInfo(fileName).absoluteFilePath());
  dialog->cmbVersion->setCurrentIndex(0);
  dialog->btnExecuteClick();
}

void TfrmMain::Save1Click() {
  if (FCore.refusedWhileBusy()) return;
  if (!FCore.spriteFile.loaded) {
    FHost.showMessage("No file open!", "Error!", TMsgIcon::Error);
    return;
  }
  showFileDialog(true);
}

void TfrmMain::showFileDialog(bool saveMode) {
  if (!dialog) {
    dialog = new TfrmFileDialog(*this);
    showChildWindow(dialog, kFileDialogPosition);
  }
  dialog->moveTo(kFileDialogPosition);
  if (newDialog) newDialog->closeWindow();
  if (!dialog) return;
  if (saveMode) {
    dialog->enterInSaveMode();
  } else {
    dialog->enterInOpenMode();
  }
  if (dialog) dialog->bringToFront();
}

void TfrmMain::Properties1Click() {
  if (!FCore.spriteFile.loaded) {
    FHost.showMessage("No file open!", "Error!", TMsgIcon::Error);
    return;
  }
  if (!propertiesDialog) {
    propertiesDialog = new TfrmFileProperties(*this);
    showChildWindow(propertiesDialog, QPoint(0, 0));
    centreChild(propertiesDialog);
  }
  propertiesDialog->actualize();
  if (propertiesDialog) propertiesDialog->bringToFront();
}

void TfrmMain::About1Click() {
  if (aboutDialog) {
    aboutDialog->bringToFront();
    return;
  }
  aboutDialog = new TfrmAbout(*this);
  showChildWindow(aboutDialog, QPoint(0, 0));
  centreChild(aboutDialog);
}

void TfrmMain::Exit1Click() {
  // Ends the program itself when it may; otherwise it has asked or said why not.
  static_cast<void>(FCore.closeEditor());
}

void TfrmMain::Preview1Click() {
  if (previewDialog) {
    previewDialog->bringToFront();
    return;
  }
  previewDialog = new TfrmPreview(*this);
  showChildWindow(previewDialog, QPoint(8, 8));
  const QRect free = freeViewArea();
  const QRect place = previewPlace(free, previewDialog->frame()->size());
  // A sheet still where it opened makes room for the preview beside it.
  if (spriteSheetDialog && spriteSheetDialog->frame()->geometry() == sheetPlace(free, {})) {
    spriteSheetDialog->frame()->setGeometry(sheetPlace(free, place));
  }
  placeView(previewDialog, FPreviewPlace, place);
}

void TfrmMain::SpriteSheet1Click() {
  if (spriteSheetDialog) {
    spriteSheetDialog->bringToFront();
    return;
  }
  spriteSheetDialog = new TfrmSpriteSheet(*this);
  showChildWindow(spriteSheetDialog, QPoint(0, 0));
  const std::optional<QRect> preview =
      previewDialog ? std::optional<QRect>(previewDialog->frame()->geometry()) : std::nullopt;
  placeView(spriteSheetDialog, FSheetPlace, sheetPlace(freeViewArea(), preview));
}

QRect TfrmMain::freeViewArea() const {
  const QRect area = childArea->geometry();
  const int right = SpriteListBox->geometry().left() - kViewGap - area.left();
  return QRect(0, 0, std::max(1, right), area.height());
}

void TfrmMain::placeView(TChildWindow* view, QRect& remembered, const QRect& place) {
  QWidget* const frame = view->frame();
  const bool resizable = frame->minimumSize() != frame->maximumSize();
  QRect chosen = remembered.isValid() ? remembered : place;
  if (!resizable) chosen.setSize(frame->size());
  chosen = keptInside(chosen, freeViewArea(), style()->pixelMetric(QStyle::PM_TitleBarHeight),
                      resizable);
  frame->setGeometry(chosen);
  remembered = chosen;
  frame->installEventFilter(this);
  FPlaceOf[frame] = &remembered;
  connect(frame, &QObject::destroyed, this, [this, frame] { FPlaceOf.erase(frame); });
}

void TfrmMain::keepChildrenInside() {
  const QRect free = freeViewArea();
  const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight);
  for (QMdiSubWindow* sub : childArea->subWindowList()) {
    const bool resizable = sub->minimumSize() != sub->maximumSize();
    const QRect kept = keptInside(sub->geometry(), free, title, resizable);
    if (kept != sub->geometry()) sub->setGeometry(kept);
  }
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::Move && type != QEvent::Resize) {
    return QMainWindow::eventFilter(watched, event);
  }
  // The layout moves the area and the list one after the other; whichever comes last sees both
  // in their new places.
  if ((watched == childArea || watched == SpriteListBox) && SpriteListBox) {
    keepChildrenInside();
  } else if (const auto found = FPlaceOf.find(watched); found != FPlaceOf.end()) {
    *found->second = static_cast<QWidget*>(watched)->geometry();
  }
  return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  bool closing = false;
  guarded([&] { closing = FCore.closeEditor(); });
  if (closing) {
    event->accept();
  } else {
    event->ignore();
  }
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
  if (event->mimeData()->hasFormat(QString::fromLatin1(kAssetIdsMimeType))) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  }
}

void TfrmMain::dropEvent(QDropEvent* event) {
  if (event->mimeData()->hasFormat(QString::fromLatin1(kAssetIdsMimeType))) {
    const std::vector<std::int64_t> ids = assetIdsFrom(*event->mimeData());
    event->setDropAction(Qt::CopyAction);
    event->accept();
    guarded([&] { dropAssetIds(ids); });
    return;
  }
  QStringList files;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) files << url.toLocalFile();
  }
  event->acceptProposedAction();
  if (files.isEmpty()) return;
  guarded([&] { dropFiles(files); });
}

void TfrmMain::dropFiles(const QStringList& files) { FBulk->dropFiles(files); }

void TfrmMain::dropAssetIds(const std::vector<std::int64_t>& ids) {
  // Only the open assets window's sprites can be added; a drag from a source since replaced
  // names IDs of another catalog, but the window's store is what the user sees.
  if (!assetsDialog || !assetsDialog->store()) return;
  FAssets->addSprites(*assetsDialog->store(), ids);
}

void TfrmMain::OpenAssets1Click() { FAssets->OpenAssets1Click(); }
void TfrmMain::ExportAssets1Click() { FAssets->ExportAssets1Click(); }

void TfrmMain::showAssets(std::unique_ptr<assets::TAssetStore> store) {
  if (!assetsDialog) {
    assetsDialog = new TfrmAssets(*this, *FAssets);
    showChildWindow(assetsDialog, QPoint(0, 0));
    const std::optional<QRect> preview =
        previewDialog ? std::optional<QRect>(previewDialog->frame()->geometry()) : std::nullopt;
    placeView(assetsDialog, FAssetsPlace, sheetPlace(freeViewArea(), preview));
  }
  assetsDialog->setSource(std::move(store));
  assetsDialog->bringToFront();
}
void TfrmMain::CopyImage1Click() { FBulk->CopyImage1Click(); }
void TfrmMain::Paste1Click() { FBulk->Paste1Click(); }
void TfrmMain::SelectAll1Click() { FBulk->SelectAll1Click(); }
void TfrmMain::SelectNone1Click() { FBulk->SelectNone1Click(); }
void TfrmMain::InvertSelection1Click() { FBulk->InvertSelection1Click(); }
void TfrmMain::SelectDuplicates1Click() { FBulk->SelectDuplicates1Click(); }
void TfrmMain::SelectEmpty1Click() { FBulk->SelectEmpty1Click(); }
void TfrmMain::ImportSheet1Click() { FBulk->ImportSheet1Click(); }
void TfrmMain::ExportSheet1Click() { FBulk->ExportSheet1Click(); }

void TfrmMain::Add2Click() { FCommands->Add2Click(); }
void TfrmMain::Add1Click() { FCommands->Add1Click(); }
void TfrmMain::Replace1Click() { FCommands->Replace1Click(); }
void TfrmMain::Substituir1Click() { FCommands->Substituir1Click(); }
void TfrmMain::Export1Click() { FCommands->Export1Click(); }
void TfrmMain::Exportar1Click() { FCommands->Exportar1Click(); }
void TfrmMain::Clone1Click() { FCommands->Clone1Click(); }
void TfrmMain::Clone2Click() { FCommands->Clone2Click(); }
void TfrmMain::Clear1Click() { FCommands->Clear1Click(); }
void TfrmMain::Clear2Click() { FCommands->Clear2Click(); }

}  // namespace tess
