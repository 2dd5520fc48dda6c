#pragma once

#include <QFont>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "ui/FileChooser.h"

class QAction;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListView;
class QMdiArea;
class QMenu;
class QPushButton;

namespace tess {

namespace assets {
class TAssetStore;
}

class QtHost;
class TAssetCommands;
class TfrmAssets;
class TBulkCommands;
class TEditHistory;
class TEditorCore;
class TSprite;
class TSpriteListModel;
class TSpriteCommands;
class TfrmFileDialog;
class TfrmNewFile;
class TfrmFileProperties;
class TfrmAbout;
class TfrmPreview;
class TfrmSpriteSheet;
class TChildWindow;
class TShortcutFilter;
class TStatusLine;

// The program's only top-level window: the sprite list, the menus, the search, and the host of
// every other window.
class TfrmMain : public QMainWindow {
  Q_OBJECT

 public:
  // The creation handler starts the editor core from `appDirectory` (where config.ini is read);
  // empty: the executable's directory.
  TfrmMain(TEditorCore& core, QtHost& host, IFileChooser& chooser, QWidget* parent = nullptr,
           const QString& appDirectory = QString());
  ~TfrmMain() override;

  TEditorCore& core() const noexcept { return FCore; }
  QtHost& host() const noexcept { return FHost; }
  IFileChooser& chooser() const noexcept { return FChooser; }
  // The undo history of the open file.
  TEditHistory& history() const noexcept { return *FHistory; }
  // What the last command did, in the status bar.
  TStatusLine& statusLine() const noexcept { return *FStatusLine; }

  // Rebuilds the rows from the sprite file's Sprites.
  void loadSprites();
  // The selected row numbers, ascending.
  std::vector<int> getSelectedItems() const;
  // Shows `child` as a window inside the client area at `pos` (client-area coordinates) and
  // raises it. The child is destroyed when it is closed.
  void showChildWindow(QWidget* child, const QPoint& pos);
  // The part of the client area left of the list, where child windows belong (client-area
  // coordinates).
  QRect freeViewArea() const;

  // The program's own font: Tahoma 11 px where installed, else the platform's sans-serif.
  static QFont windowFont();

  // Handlers of the window, its menus and its list.
  void SpriteListBoxMouseDown(Qt::MouseButton button, const QPoint& pos);
  // Throws std::runtime_error "''<text>'' is not a valid integer value" when the search text is
  // not a 32-bit integer; the button shows it through the general error report.
  void btn_searchClick();
  // The application-wide key filter; returns whether the key was handled (and so consumed).
  bool ApplicationEvents1ShortCut(const QKeyEvent& key);
  // Whether ApplicationEvents1ShortCut handles `key` (Ctrl with one of the nine letters).
  static bool isCommandShortcut(const QKeyEvent& key);
  void New1Click();
  void Open1Click();
  void Save1Click();
  void Properties1Click();
  void About1Click();
  void Exit1Click();
  // The View menu: the preview and the sprite sheet windows.
  void Preview1Click();
  void SpriteSheet1Click();

  // The sprite editing commands: File menu forms work on the selection, context-menu forms on
  // the row under the last right-button press.
  void Add2Click();
  void Add1Click();
  void Replace1Click();
  void Substituir1Click();
  void Export1Click();
  void Exportar1Click();
  void Clone1Click();
  void Clone2Click();
  void Clear1Click();
  void Clear2Click();
  // The Edit menu. While a load or save runs they are refused like the editing commands.
  void Undo1Click();
  void Redo1Click();
  void CopyImage1Click();
  void Paste1Click();
  void SelectAll1Click();
  void SelectNone1Click();
  void InvertSelection1Click();
  void SelectDuplicates1Click();
  void SelectEmpty1Click();
  // Sprite sheets in and out.
  void ImportSheet1Click();
  void ExportSheet1Click();
  // A client's assets folder: shown beside the file, its sprites added, selected sprites written
  // out as new sheets.
  void OpenAssets1Click();
  void ExportAssets1Click();
  // Shows `store` in the assets window, opening it when it is not open.
  void showAssets(std::unique_ptr<assets::TAssetStore> store);
  // Asset sprites dragged from the assets window: appended as its "Add to sprite file" does.
  void dropAssetIds(const std::vector<std::int64_t>& ids);
  // Files dropped on the window: the images among them are appended as Add does.
  void dropFiles(const QStringList& files);
  // Opens `fileName` as the open window does with "Auto detect", with the same messages when it
  // fails; the program's command line hands its file here.
  void openFromCommandLine(const QString& fileName);

  // How long a long command (a large export, a sheet import) runs before it shows its progress.
  int progressDelayMs = 500;

  // The row under the last right-button press on the list, or -1.
  int itemIndex = 0;
  // Row number -> sprite; refers to the sprite file's sprites without owning them.
  std::vector<TSprite*> SpritesIndex;

  // The one open instance of each child window, or none.
  QPointer<TfrmFileDialog> dialog;
  QPointer<TfrmNewFile> newDialog;
  QPointer<TfrmAbout> aboutDialog;
  QPointer<TfrmFileProperties> propertiesDialog;
  QPointer<TfrmPreview> previewDialog;
  QPointer<TfrmSpriteSheet> spriteSheetDialog;
  QPointer<TfrmAssets> assetsDialog;

  // The two file dialogs of the editing commands, kept for the whole run.
  TFileDialogSetup opendialog;
  TFileDialogSetup SaveDialog;

  // Controls.
  QWidget* background = nullptr;
  QMdiArea* childArea = nullptr;
  QLabel* lbl_search = nullptr;
  QListView* SpriteListBox = nullptr;
  TSpriteListModel* spriteListModel = nullptr;
  QLineEdit* edt_search = nullptr;
  QPushButton* btn_search = nullptr;

  // Menus.
  QMenu* File1 = nullptr;
  QMenu* SelectedItems1 = nullptr;
  QMenu* Edit1 = nullptr;
  QMenu* View1 = nullptr;
  QMenu* Help1 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* New1 = nullptr;
  QAction* Open1 = nullptr;
  QAction* Save1 = nullptr;
  QAction* Add2 = nullptr;
  QAction* Replace1 = nullptr;
  QAction* Export1 = nullptr;
  QAction* Clone1 = nullptr;
  QAction* Clear1 = nullptr;
  QAction* Properties1 = nullptr;
  QAction* exit1 = nullptr;
  QAction* About1 = nullptr;
  QAction* Preview1 = nullptr;
  QAction* SpriteSheet1 = nullptr;
  QAction* Undo1 = nullptr;
  QAction* Redo1 = nullptr;
  QAction* CopyImage1 = nullptr;
  QAction* Paste1 = nullptr;
  QAction* SelectAll1 = nullptr;
  QAction* SelectNone1 = nullptr;
  QAction* InvertSelection1 = nullptr;
  QAction* SelectDuplicates1 = nullptr;
  QAction* SelectEmpty1 = nullptr;
  QAction* ImportSheet1 = nullptr;
  QAction* SkipTransparentTiles1 = nullptr;  // checked: a sheet import leaves such tiles out
  QAction* ExportSheet1 = nullptr;
  QAction* OpenAssets1 = nullptr;
  QAction* ExportAssets1 = nullptr;
  QAction* Add1 = nullptr;
  QAction* Substituir1 = nullptr;
  QAction* Exportar1 = nullptr;
  QAction* Clone2 = nullptr;
  QAction* Clear2 = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;  // FormClose
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void FormCreate(const QString& appDirectory);
  void buildClientArea();
  void buildMenus();
  // The sprite file released its sprites: drop every row that refers to them.
  void spritesReleased();
  // The Edit menu shows what undo and redo would do now.
  void updateEditMenu();
  // Runs a handler started by the user; an error it raises goes to the general error report.
  template <typename Handler>
  void guarded(Handler&& handler);
  QAction* addCommand(QMenu* menu, const QString& caption, void (TfrmMain::*handler)());
  void centreChild(TChildWindow* child);
  // Shows the open and save window in open or save mode, creating it when there is none.
  void showFileDialog(bool saveMode);
  // Puts a view's frame where it was last for this run, or else at `place`, and keeps track of
  // where the user moves it.
  void placeView(TChildWindow* view, QRect& remembered, const QRect& place);
  // After the client area changed size: every child window back left of the list and inside.
  void keepChildrenInside();

  TEditorCore& FCore;
  QtHost& FHost;
  IFileChooser& FChooser;
  TEditHistory* FHistory = nullptr;
  std::unique_ptr<TSpriteCommands> FCommands;
  std::unique_ptr<TBulkCommands> FBulk;
  std::unique_ptr<TAssetCommands> FAssets;
  TShortcutFilter* FShortcuts = nullptr;
  std::unique_ptr<TStatusLine> FStatusLine;
  // Where the preview and the sprite sheet were last, for this run; empty before they opened.
  QRect FPreviewPlace;
  QRect FSheetPlace;
  QRect FAssetsPlace;
  // The frames whose place is remembered, and where.
  std::map<QObject*, QRect*> FPlaceOf;
};

}  // namespace tess
