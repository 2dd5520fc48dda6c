#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ui/ChildWindow.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace tess {

namespace assets {
class TAssetStore;
}

class TAssetsGridModel;
class TAssetsGridView;
class TSpriteCommands;

// The commands between a client's assets folder and the open sprite file: opening the folder in
// the assets window, appending its sprites cut into tiles, and writing selected sprites out as
// new sheets. Each edit is one step of the history, refused like every command while no file is
// open or a load or save runs.
class TAssetCommands {
 public:
  TAssetCommands(TfrmMain& main, TSpriteCommands& commands) : FMain(main), FCommands(commands) {}

  // File > Open client assets: asks for the folder (or catalog) and shows it.
  void OpenAssets1Click();
  // Opens `path` (a folder or a catalog file) in the assets window; false, after saying why,
  // when it cannot be read.
  bool openAssets(const QString& path);
  // Selected Items > Export as client sheets.
  void ExportAssets1Click();
  // Appends the asset sprites `ids` of `store`, each cut into 32x32 tiles in object order, as
  // one step. Nothing is appended when any of them cannot be read.
  void addSprites(assets::TAssetStore& store, std::span<const std::int64_t> ids);

 private:
  TfrmMain& FMain;
  TSpriteCommands& FCommands;
};

// A client's sprites beside the open sprite file, read-only: a grid of every sprite of the
// catalog in ID order, a search by ID, and "Add to sprite file" for the selected ones (also by
// dragging them onto the list).
class TfrmAssets : public TChildWindow {
  Q_OBJECT

 public:
  TfrmAssets(TfrmMain& main, TAssetCommands& commands);
  ~TfrmAssets() override;

  // Shows `store`'s sprites in place of whatever was shown.
  void setSource(std::unique_ptr<assets::TAssetStore> store);
  assets::TAssetStore* store() const noexcept { return FStore.get(); }
  // The IDs of the selected cells, ascending.
  std::vector<std::int64_t> selectedIds() const;

  // The search: the ID typed in edtSearch brought into view and selected; lblInfo says when no
  // sheet holds it.
  void btnGoClick();
  // "Add to sprite file": the selected sprites appended to the open file.
  void btnAddClick();
  QSize sizeHint() const override;

  TAssetsGridView* grid = nullptr;
  TAssetsGridModel* model = nullptr;
  QLineEdit* edtSearch = nullptr;
  QPushButton* btnGo = nullptr;
  QPushButton* btnAdd = nullptr;
  QLabel* lblInfo = nullptr;
  QMenu* gridMenu = nullptr;
  QAction* AddToSpriteFile1 = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  // Cells dragged back onto this window are not appended: they only go where the list is.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // What the window says of its source when nothing else is to be said.
  void showSummary();

  TAssetCommands& FCommands;
  std::unique_ptr<assets::TAssetStore> FStore;
};

}  // namespace tess
