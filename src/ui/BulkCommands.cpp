#include "ui/BulkCommands.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QItemSelectionModel>
#include <QListView>
#include <QProgressDialog>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bitmap/TBitmap32.h"
#include "core/editorCore.h"
#include "core/spriteAnalysis.h"
#include "core/spriteEdits.h"
#include "fileio/AtomicFile.h"
#include "image/PNG.h"
#include "image/imageFile.h"
#include "image/spriteSheet.h"
#include "sprite/TSprite.h"
#include "sprite/TSpriteFile.h"
#include "ui/QtHost.h"
#include "ui/SpriteCommands.h"
#include "ui/SpriteListModel.h"
#include "ui/StatusLine.h"
#include "ui/TfrmMain.h"

namespace tess {

namespace {

const char* const kErrorCaption = "Error!";
const char* const kCannotLoad = "Cannot load sprite image!";
const char* const kCannotAdd = "Cannot add the sprite!";

std::string nativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Reads an image file; false for anything that is not a PNG or BMP image the readers accept,
// with the reason in `reason`.
bool readImage(const QString& file, TBitmap32& picture, ImportAlpha alpha, std::string& reason) {
  try {
    if (loadImageFile(nativePath(file), picture, alpha)) return true;
    reason = "not a PNG or BMP image this editor reads";
  } catch (const std::exception& error) {
    reason = error.what();
  } catch (...) {
    reason = "unknown error";
  }
  return false;
}

std::string baseName(const QString& path) { return QFileInfo(path).fileName().toStdString(); }

}  // namespace

TBitmap32 bitmapFromImage(const QImage& image) {
  TBitmap32 bitmap;
  if (image.isNull()) return bitmap;
  const QImage straight = image.convertToFormat(QImage::Format_ARGB32);
  bitmap.SetSizeForOverwrite(straight.width(), straight.height());
  for (int y = 0; y < straight.height(); ++y) {
    std::memcpy(bitmap.FBits() + static_cast<std::size_t>(y) * straight.width(),
                straight.constScanLine(y), static_cast<std::size_t>(straight.width()) * 4);
  }
  return bitmap;
}

QImage imageFromBitmap(const TBitmap32& bitmap) {
  QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_ARGB32);
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::memcpy(image.scanLine(y), bitmap.FBits() + static_cast<std::size_t>(y) * bitmap.Width(),
                static_cast<std::size_t>(bitmap.Width()) * 4);
  }
  return image;
}

TBulkCommands::TBulkCommands(TfrmMain& main, TSpriteCommands& commands)
    : FMain(main), FCommands(commands) {
  FSheetOpenDialog.title = QStringLiteral("Import sprite sheet");
  FSheetOpenDialog.filter =
      QStringLiteral("Images (*.png *.bmp);;PNG File (*.png);;Bitmap File (*.bmp)");
  FSheetSaveDialog.title = QStringLiteral("Export as sprite sheet");
  FSheetSaveDialog.filter = QStringLiteral("PNG File (*.png)");
  FSheetSaveDialog.defaultSuffix = QStringLiteral("png");
  FSheetSaveDialog.confirmOverwrite = true;
}

// Sprite sheets

void TBulkCommands::ImportSheet1Click() {
  if (!FCommands.mayRun(true)) return;
  FSheetOpenDialog.multiSelect = false;
  FSheetOpenDialog.owner = &FMain;
  const QStringList files = FMain.chooser().openFiles(FSheetOpenDialog);
  if (files.isEmpty() || !FCommands.stillEditable()) return;

  IEditorHost& host = FMain.host();
  TBitmap32 sheet;
  std::string reason;
  if (!readImage(files.first(), sheet, FCommands.importAlpha(), reason)) {
    FMain.statusLine().report("Cannot load " + baseName(files.first()) + ": " + reason);
    host.showMessage(kCannotLoad, kErrorCaption, TMsgIcon::Error);
    return;
  }
  if (!isSheetSize(sheet.Width(), sheet.Height())) {
    host.showMessage("The image is " + std::to_string(sheet.Width()) + "x" +
                         std::to_string(sheet.Height()) +
                         " pixels: a sprite sheet must be a multiple of 32 pixels wide and high.",
                     kErrorCaption, TMsgIcon::Error);
    return;
  }

  QProgressDialog progress(QStringLiteral("Cutting the sheet into sprites..."), QString(), 0,
                           sheet.Height() / kSheetTile, &FMain);
  progress.setWindowTitle(QStringLiteral("Import sprite sheet"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(FMain.progressDelayMs);
  std::vector<std::unique_ptr<TSprite>> sprites;
  const std::size_t allTiles = static_cast<std::size_t>(sheet.Width() / kSheetTile) *
                               static_cast<std::size_t>(sheet.Height() / kSheetTile);
  try {
    auto tiles =
        cutSheet(sheet, skipTransparentTiles, [&](int row, int) { progress.setValue(row); });
    sprites.reserve(tiles.size());
    for (auto& tile : tiles) sprites.push_back(spriteWithImage(std::move(tile)));
  } catch (...) {
    host.showMessage(kCannotAdd, kErrorCaption, TMsgIcon::Error);
    return;
  }
  progress.reset();
  // The progress window let events through: the file may have gone meanwhile.
  if (!FCommands.stillEditable()) return;
  if (sprites.empty()) {
    host.showMessage("Every tile of the sheet is fully transparent: no sprite was added.",
                     kErrorCaption, TMsgIcon::Error);
    return;
  }
  std::vector<std::string> notes;
  if (sprites.size() < allTiles) {
    notes.push_back(baseName(files.first()) + ": " +
                    counted(allTiles - sprites.size(), "fully transparent tile") + " left out");
  }
  if (!FCommands.appendStep(std::move(sprites), nullptr, "Import", notes)) {
    host.showMessage(kCannotAdd, kErrorCaption, TMsgIcon::Error);
  }
}

void TBulkCommands::ExportSheet1Click() {
  if (!FCommands.mayRun(true)) return;
  const std::vector<int> rows = FMain.getSelectedItems();
  std::vector<const TSprite*> sprites;
  for (const int row : rows) {
    if (const TSprite* const sprite = FMain.spriteListModel->spriteAt(row))
      sprites.push_back(sprite);
  }
  if (sprites.empty()) return;

  const int suggested = defaultSheetColumns(sprites.size());
  const std::optional<int> columns = FMain.chooser().number(
      QStringLiteral("Export as sprite sheet"), QStringLiteral("Columns:"), suggested, 1,
      static_cast<int>(std::min<std::size_t>(sprites.size(), 1024)), &FMain);
  if (!columns || !FCommands.stillEditable()) return;
  FSheetSaveDialog.owner = &FMain;
  const QString path = FMain.chooser().saveFile(FSheetSaveDialog);
  if (path.isEmpty() || !FCommands.stillEditable()) return;

  // The dialogs ran event loops: look the sprites up again by their rows.
  std::vector<const TBitmap32*> tiles;
  for (const int row : rows) {
    const TSprite* const sprite = FMain.spriteListModel->spriteAt(row);
    if (!sprite) continue;
    tiles.push_back(!sprite->isDUmmy && sprite->bitmap ? sprite->bitmap.get() : nullptr);
  }
  try {
    const TBitmap32 sheet = assembleSheet(tiles, *columns);
    const std::optional<std::vector<std::uint8_t>> png = bitmapToPng(sheet);
    if (!png) throw std::runtime_error("the sheet could not be encoded");
    writeFileAtomically(nativePath(path), png->data(), png->size());
    FMain.statusLine().report("Exported " + counted(tiles.size(), "sprite") + " as a " +
                              std::to_string(sheet.Width()) + "x" + std::to_string(sheet.Height()) +
                              " sheet to " + QDir::toNativeSeparators(path).toStdString());
  } catch (const std::exception& error) {
    FMain.host().showMessage(std::string("Cannot save the sprite sheet: ") + error.what(),
                             kErrorCaption, TMsgIcon::Error);
  }
}

// Drops and the clipboard

void TBulkCommands::dropFiles(const QStringList& files) {
  if (!FCommands.mayRun(true)) return;
  TBitmap32 picture;
  std::vector<std::unique_ptr<TSprite>> sprites;
  std::optional<bool> cutIntoTiles;
  std::vector<std::string> notes;
  QStringList others;
  bool failed = false;
  for (const QString& file : files) {
    std::string reason;
    if (!readImage(file, picture, FCommands.importAlpha(), reason)) {
      others << QFileInfo(file).fileName();
      notes.push_back("Cannot load " + baseName(file) + ": " + reason);
      continue;
    }
    try {
      FCommands.spritesFromPicture(picture, cutIntoTiles, sprites, baseName(file), notes);
    } catch (...) {
      failed = true;
      break;
    }
  }
  if (!sprites.empty()) {
    if (!FCommands.appendStep(std::move(sprites), nullptr, "Add", notes)) failed = true;
  } else if (!notes.empty()) {
    FMain.statusLine().report("Added no sprite", notes);
  }
  if (failed) FMain.host().showMessage(kCannotAdd, kErrorCaption, TMsgIcon::Error);
  if (!others.isEmpty()) {
    FMain.host().showMessage("These files are not PNG or BMP images and were not added:\n" +
                                 others.join(QLatin1Char('\n')).toStdString(),
                             kErrorCaption, TMsgIcon::Error);
  }
}

void TBulkCommands::Paste1Click() {
  if (!FCommands.mayRun(true)) return;
  const QImage image = QApplication::clipboard()->image();
  if (image.isNull()) {
    FMain.host().showMessage("The clipboard holds no image.", kErrorCaption, TMsgIcon::Error);
    return;
  }
  std::vector<std::unique_ptr<TSprite>> sprites;
  std::optional<bool> cutIntoTiles;
  std::vector<std::string> notes;
  try {
    TBitmap32 picture = bitmapFromImage(image);
    FCommands.spritesFromPicture(picture, cutIntoTiles, sprites, "The pasted image", notes);
  } catch (...) {
    FMain.host().showMessage(kCannotAdd, kErrorCaption, TMsgIcon::Error);
    return;
  }
  if (!FCommands.appendStep(std::move(sprites), nullptr, "Paste", notes)) {
    FMain.host().showMessage(kCannotAdd, kErrorCaption, TMsgIcon::Error);
  }
}

void TBulkCommands::CopyImage1Click() {
  if (!FCommands.mayRun(true)) return;
  const TSprite* const sprite =
      FMain.spriteListModel->spriteAt(FMain.SpriteListBox->currentIndex().row());
  if (!sprite || sprite->isDUmmy || !sprite->bitmap) return;
  QApplication::clipboard()->setImage(imageFromBitmap(*sprite->bitmap));
  FMain.statusLine().report("Copied the image of sprite " + std::to_string(sprite->ID()));
}

// Selecting

template <typename Predicate>
int TBulkCommands::selectSprites(Predicate wanted) {
  TSpriteListModel& model = *FMain.spriteListModel;
  QItemSelection selection;
  int count = 0;
  int first = -1;
  const int rows = model.rowCount();
  for (int row = 0; row <= rows; ++row) {
    const TSprite* const sprite = row < rows ? model.spriteAt(row) : nullptr;
    const bool take = sprite && wanted(*sprite);
    if (take) {
      ++count;
      if (first < 0) first = row;
      continue;
    }
    if (first >= 0) selection.select(model.index(first), model.index(row - 1));
    first = -1;
  }
  FMain.SpriteListBox->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  return count;
}

void TBulkCommands::SelectAll1Click() {
  if (!FCommands.mayRun(true)) return;
  FMain.SpriteListBox->selectAll();
  reportSelection("");
}

void TBulkCommands::SelectNone1Click() {
  if (!FCommands.mayRun(true)) return;
  FMain.SpriteListBox->selectionModel()->clearSelection();
  reportSelection("");
}

void TBulkCommands::InvertSelection1Click() {
  if (!FCommands.mayRun(true)) return;
  TSpriteListModel& model = *FMain.spriteListModel;
  if (model.rowCount() == 0) return;
  const QItemSelection all(model.index(0), model.index(model.rowCount() - 1));
  FMain.SpriteListBox->selectionModel()->select(all, QItemSelectionModel::Toggle);
  reportSelection("");
}

void TBulkCommands::SelectDuplicates1Click() {
  if (!FCommands.mayRun(true)) return;
  const TDuplicateGroups groups = findDuplicates(FMain.core().spriteFile.Sprites);
  // Every member of a group but its first, the one with the lowest ID.
  std::vector<bool> duplicate(FMain.core().spriteFile.Sprites.size() + 1, false);
  std::size_t found = 0;
  for (const auto& group : groups) {
    for (std::size_t i = 1; i < group.size(); ++i) {
      duplicate[static_cast<std::size_t>(group[i])] = true;
      ++found;
    }
  }
  selectSprites([&](const TSprite& sprite) {
    const auto id = static_cast<std::size_t>(sprite.ID());
    return id < duplicate.size() && duplicate[id];
  });
  FMain.statusLine().report("Selected " + counted(found, "duplicate sprite"));
  const std::string text =
      found == 0 ? std::string("No duplicate sprites found.")
                 : "Found " + std::to_string(found) + (found == 1 ? " duplicate" : " duplicates") +
                       " of other sprites in " + std::to_string(groups.size()) +
                       (groups.size() == 1 ? " group." : " groups.");
  FMain.host().showMessage(text, "Select duplicates", TMsgIcon::None);
}

void TBulkCommands::SelectEmpty1Click() {
  if (!FCommands.mayRun(true)) return;
  const int found = selectSprites([](const TSprite& sprite) { return showsNothing(sprite); });
  FMain.statusLine().report("Selected " + counted(static_cast<std::size_t>(found), "empty sprite"));
}

void TBulkCommands::reportSelection(const std::string& kind) {
  // Counted by ranges: a list of every selected row of a million would cost more than the
  // selecting did.
  std::size_t selected = 0;
  for (const QItemSelectionRange& range : FMain.SpriteListBox->selectionModel()->selection()) {
    selected += static_cast<std::size_t>(range.height());
  }
  FMain.statusLine().report("Selected " + counted(selected, kind.empty() ? "sprite" : kind));
}

}  // namespace tess
