#include "ui/SpriteCommands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QListView>
#include <QProgressDialog>
#include <algorithm>
#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "bitmap/TBitmap32.h"
#include "core/editorCore.h"
#include "core/spriteEdits.h"
#include "image/PNG.h"
#include "image/imageFile.h"
#include "image/spriteSheet.h"
#include "sprite/TSprite.h"
#include "sprite/TSpriteFile.h"
#include "ui/EditCommands.h"
#include "ui/EditHistory.h"
#include "ui/QtHost.h"
#include "ui/SpriteListModel.h"
#include "ui/StatusLine.h"
#include "ui/TfrmMain.h"

namespace tess {

namespace {

const char* const kNoFileOpen = "No file open!";
const char* const kCannotLoad = "Cannot load sprite image!";
const char* const kCannotAdd = "Cannot add the sprite!";
const char* const kErrorCaption = "Error!";
const char* const kFolderPrompt = "Select the directory...";
// Exports of this many sprites and more show their progress, moved on every few sprites.
constexpr std::size_t kExportProgressFrom = 500;
constexpr std::size_t kExportProgressStep = 16;

std::string nativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString exportPath(const QString& folder, std::int32_t id) {
  const QChar separator = QDir::separator();
  const bool endsWithSeparator = folder.endsWith(separator) || folder.endsWith(QLatin1Char('/'));
  return folder + (endsWithSeparator ? QString() : QString(separator)) + QString::number(id) +
         QStringLiteral(".png");
}

std::string baseName(const QString& path) { return QFileInfo(path).fileName().toStdString(); }

// What the status line calls an append of each kind.
std::string pastTense(const std::string& verb) {
  if (verb == "Add") return "Added";
  if (verb == "Import") return "Imported";
  if (verb == "Paste") return "Pasted";
  if (verb == "Clone") return "Cloned";
  return verb;
}

// The rows of the last `count` sprites, which an append has just added.
QItemSelection lastRows(const TSpriteListModel& model, std::size_t count) {
  const int last = model.rowCount() - 1;
  const int first = last - static_cast<int>(count) + 1;
  if (count == 0 || first < 0) return {};
  return QItemSelection(model.index(first), model.index(last));
}

}  // namespace

TEditorCore& TSpriteCommands::core() const noexcept { return FMain.core(); }

bool TSpriteCommands::mayRun(bool fileMenu) const {
  const TSpriteFile& file = core().spriteFile;
  // A load or save lets events through while it works; changing the sprites under it would
  // corrupt what it reads or writes.
  if (core().refusedWhileBusy()) return false;
  if (!file.loaded) {
    if (fileMenu) FMain.host().showMessage(kNoFileOpen, kErrorCaption, TMsgIcon::Error);
    return false;
  }
  FGeneration = file.generation();
  return true;
}

bool TSpriteCommands::stillEditable() const noexcept {
  const TSpriteFile& file = core().spriteFile;
  return file.loaded && !file.isBusy() && file.generation() == FGeneration;
}

TSprite* TSpriteCommands::spriteAtRow(int row) const noexcept {
  return FMain.spriteListModel->spriteAt(row);
}

void TSpriteCommands::selectRows(int first, int last) const {
  const TSpriteListModel& model = *FMain.spriteListModel;
  const QItemSelection rows(model.index(first), model.index(last));
  FMain.SpriteListBox->selectionModel()->select(rows, QItemSelectionModel::Select);
}

void TSpriteCommands::repaintList() const { FMain.SpriteListBox->viewport()->update(); }

// Add

void TSpriteCommands::Add2Click() { addFromDialog(true); }

void TSpriteCommands::Add1Click() { addFromDialog(false); }

void TSpriteCommands::addFromDialog(bool fileMenu) {
  if (!mayRun(fileMenu)) return;
  TFileDialogSetup& dialog = FMain.opendialog;
  dialog.multiSelect = true;
  dialog.confirmOverwrite = false;
  dialog.owner = nullptr;
  const QStringList files = FMain.chooser().openFiles(dialog);
  if (files.isEmpty() || !stillEditable()) return;
  addFiles(files);
}

void TSpriteCommands::addFiles(const QStringList& Files) {
  // One picture serves every file of the command.
  TBitmap32 picture;
  std::vector<std::unique_ptr<TSprite>> sprites;
  std::optional<bool> cutIntoTiles;
  std::vector<std::string> notes;
  const char* failure = nullptr;
  for (const QString& file : Files) {
    bool read = false;
    std::string reason;
    try {
      read = loadImageFile(nativePath(file), picture, importAlpha());
      if (!read) reason = "not a PNG or BMP image this editor reads";
    } catch (const std::exception& error) {
      reason = error.what();
    } catch (...) {
      reason = "unknown error";
    }
    if (!read) {
      failure = kCannotLoad;
      notes.push_back("Cannot load " + baseName(file) + ": " + reason);
      break;
    }
    try {
      spritesFromPicture(picture, cutIntoTiles, sprites, baseName(file), notes);
    } catch (...) {
      failure = kCannotAdd;
      break;
    }
  }
  // Files added before a failing one stay added, and that is a change to save.
  if (!sprites.empty()) {
    if (!appendStep(std::move(sprites), nullptr, "Add", notes)) failure = kCannotAdd;
  } else if (!notes.empty()) {
    FMain.statusLine().report("Added no sprite", notes);
  }
  if (failure) FMain.host().showMessage(failure, kErrorCaption, TMsgIcon::Error);
}

void TSpriteCommands::spritesFromPicture(TBitmap32& picture, std::optional<bool>& cutIntoTiles,
                                         std::vector<std::unique_ptr<TSprite>>& sprites,
                                         const std::string& name,
                                         std::vector<std::string>& notes) const {
  const bool sheet = (picture.Width() > kSheetTile || picture.Height() > kSheetTile) &&
                     isSheetSize(picture.Width(), picture.Height());
  if (sheet && !cutIntoTiles) {
    const int tiles = (picture.Width() / kSheetTile) * (picture.Height() / kSheetTile);
    cutIntoTiles = FMain.host().askYesNo("Cut " + std::to_string(picture.Width()) + "x" +
                                             std::to_string(picture.Height()) + " image into " +
                                             std::to_string(tiles) + " sprites?",
                                         "Add", TMsgIcon::None);
  }
  if (sheet && *cutIntoTiles) {
    for (auto& tile : cutSheet(picture, false)) sprites.push_back(spriteWithImage(std::move(tile)));
    return;
  }
  std::unique_ptr<TBitmap32> image = fitToSprite(picture);
  if (std::string note = fitNote(name, picture.Width(), picture.Height()); !note.empty()) {
    notes.push_back(std::move(note));
  }
  if (std::string note = transparentNote(name, *image); !note.empty()) {
    notes.push_back(std::move(note));
  }
  sprites.push_back(spriteWithImage(std::move(image)));
}

bool TSpriteCommands::appendStep(std::vector<std::unique_ptr<TSprite>> sprites,
                                 std::vector<TCloneSpritesCommand::Source>* cloneSources,
                                 const char* verb, const std::vector<std::string>& notes,
                                 const std::string& summaryTail) {
  TSpriteDocument& document = core().document;
  QItemSelectionModel& selection = *FMain.SpriteListBox->selectionModel();
  const std::size_t count = sprites.size();
  const QItemSelection before = selection.selection();
  try {
    document.appendSprites(sprites);
  } catch (...) {
    // Nothing was appended; the sprites made for it go with `sprites`.
    return false;
  }
  const QItemSelection added = lastRows(*FMain.spriteListModel, count);
  selection.select(added, QItemSelectionModel::Select);
  TSelectionChange change(&selection, before, selection.selection());
  if (cloneSources) {
    FMain.history().push(
        new TCloneSpritesCommand(document, std::move(*cloneSources), std::move(change)));
  } else {
    FMain.history().push(new TAppendSpritesCommand(document, count, std::move(change), verb));
  }
  if (!added.isEmpty()) {
    const QModelIndex first = added.first().topLeft();
    selection.setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    FMain.SpriteListBox->scrollTo(first, QAbstractItemView::PositionAtTop);
    FMain.statusLine().report(pastTense(cloneSources ? "Clone" : verb) + " " +
                                  spriteRange(count, static_cast<std::int32_t>(first.row()) + 1) +
                                  summaryTail,
                              notes);
  }
  return true;
}

// Replace

ImportAlpha TSpriteCommands::importAlpha() const noexcept {
  const TVersionInfo* const version = core().currentVersion;
  return version && version->alpha ? ImportAlpha::Keep : ImportAlpha::OverWhite;
}

TSpriteCommands::TReadOutcome TSpriteCommands::readImage(const TSprite& sprite, const QString& file,
                                                         std::unique_ptr<TBitmap32>& image,
                                                         std::vector<std::string>& notes) const {
  try {
    // The picture starts as the sprite's own image, so a reader that fills only part of it leaves
    // the rest as it was; a sprite without one gets opaque black.
    TBitmap32 picture;
    if (sprite.bitmap) {
      picture.SetSizeForOverwrite(sprite.bitmap->Width(), sprite.bitmap->Height());
      std::copy_n(sprite.bitmap->FBits(), picture.pixelCount(), picture.FBits());
    }
    if (!loadImageFile(nativePath(file), picture, importAlpha())) return TReadOutcome::NotRead;
    image = fitToSprite(picture);
    // The bitmap keeps the draw mode it had, as if the file had been read straight into it.
    if (sprite.bitmap) image->DrawMode = sprite.bitmap->DrawMode;
    const std::string name = baseName(file);
    if (std::string note = fitNote(name, picture.Width(), picture.Height()); !note.empty()) {
      notes.push_back(std::move(note));
    }
    if (std::string note = transparentNote(name, *image); !note.empty()) {
      notes.push_back(std::move(note));
    }
    return TReadOutcome::Replaced;
  } catch (const std::bad_alloc&) {
    FMain.host().reportError("Out of memory.");
  } catch (const std::exception& error) {
    FMain.host().reportError(error.what());
  }
  return TReadOutcome::Reported;
}

void TSpriteCommands::Replace1Click() {
  if (!mayRun(true)) return;
  const std::vector<int> rows = FMain.getSelectedItems();
  if (rows.empty()) return;

  TFileDialogSetup& dialog = FMain.opendialog;
  dialog.fileName.clear();
  dialog.filterIndex = 1;
  dialog.multiSelect = true;
  dialog.owner = &FMain;
  const QStringList files = FMain.chooser().openFiles(dialog);
  if (files.isEmpty()) {
    repaintList();
    return;
  }
  if (!stillEditable()) return;

  // The i-th file goes to the i-th selected row that has a sprite. Rows replaced before a file
  // that cannot be read keep their new images, as one step.
  TSpriteDocument& document = core().document;
  std::vector<TReplaceImagesCommand::Swap> replaced;
  std::vector<std::string> notes;
  const auto pushStep = [&] {
    if (replaced.empty()) return;
    const std::size_t count = replaced.size();
    FMain.history().push(new TReplaceImagesCommand(document, std::move(replaced), {}));
    FMain.statusLine().report("Replaced the images of " + counted(count, "sprite"), notes);
  };
  qsizetype next = 0;
  for (const int row : rows) {
    TSprite* const sprite = spriteAtRow(row);
    if (!sprite) continue;
    std::unique_ptr<TBitmap32> image;
    switch (readImage(*sprite, files.at(next), image, notes)) {
      case TReadOutcome::Replaced:
        break;
      case TReadOutcome::NotRead:
        pushStep();
        FMain.host().showMessage(kCannotLoad, kErrorCaption, TMsgIcon::Error);
        return;
      case TReadOutcome::Reported:
        pushStep();
        return;
    }
    const std::int32_t id = sprite->ID();
    replaced.emplace_back(id, document.swapImage(id, {std::move(image), false}));
    ++next;
    if (next == files.size()) break;
  }
  pushStep();
  repaintList();
}

void TSpriteCommands::Substituir1Click() {
  if (!mayRun(false)) return;
  if (!spriteAtRow(FMain.itemIndex)) {
    repaintList();
    return;
  }

  TFileDialogSetup& dialog = FMain.opendialog;
  dialog.fileName.clear();
  dialog.filterIndex = 1;
  dialog.multiSelect = false;
  dialog.owner = &FMain;
  const QStringList files = FMain.chooser().openFiles(dialog);
  if (files.isEmpty()) {
    repaintList();
    return;
  }
  // Looked up again: the dialog ran an event loop.
  const TSprite* const sprite = stillEditable() ? spriteAtRow(FMain.itemIndex) : nullptr;
  if (!sprite) return;
  std::unique_ptr<TBitmap32> image;
  std::vector<std::string> notes;
  if (readImage(*sprite, files.first(), image, notes) != TReadOutcome::Replaced) return;

  TSpriteDocument& document = core().document;
  QItemSelectionModel& selection = *FMain.SpriteListBox->selectionModel();
  const QItemSelection before = selection.selection();
  const std::int32_t id = sprite->ID();
  std::vector<TReplaceImagesCommand::Swap> replaced;
  replaced.emplace_back(id, document.swapImage(id, {std::move(image), false}));
  selectRows(FMain.itemIndex, FMain.itemIndex);
  FMain.history().push(new TReplaceImagesCommand(
      document, std::move(replaced), TSelectionChange(&selection, before, selection.selection())));
  FMain.statusLine().report("Replaced the image of sprite " + std::to_string(id), notes);
  repaintList();
}

// Export

void TSpriteCommands::Export1Click() {
  if (!mayRun(true)) return;
  const std::vector<int> rows = FMain.getSelectedItems();
  const QString folder = FMain.chooser().folder(QString::fromLatin1(kFolderPrompt), nullptr);
  if (folder.isEmpty() || !stillEditable()) return;
  // A large export shows how far it is and can be cancelled; what was written stays.
  std::unique_ptr<QProgressDialog> progress;
  if (rows.size() >= kExportProgressFrom) {
    progress = std::make_unique<QProgressDialog>(
        QStringLiteral("Exporting %1 sprites...").arg(rows.size()), QStringLiteral("Cancel"), 0,
        static_cast<int>(rows.size()), &FMain);
    progress->setWindowTitle(QStringLiteral("Export"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(FMain.progressDelayMs);
    progress->setAutoReset(false);
  }
  std::size_t written = 0;
  std::size_t failed = 0;
  std::string failure;
  bool stopped = false;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (progress) {
      if (i % kExportProgressStep == 0) progress->setValue(static_cast<int>(i));
      // The progress window lets events through; the file may have changed meanwhile.
      if (progress->wasCanceled() || !stillEditable()) {
        stopped = true;
        break;
      }
    }
    const TSprite* const sprite = spriteAtRow(rows[i]);
    if (!sprite || sprite->isDUmmy || !sprite->bitmap) continue;
    std::string reason;
    if (savePngFile(*sprite->bitmap, nativePath(exportPath(folder, sprite->ID())), &reason)) {
      ++written;
    } else if (failed++ == 0) {
      failure = std::move(reason);
      // A folder that cannot be written fails every file alike; one try says so.
      if (!QFileInfo(folder).isDir() || !QFileInfo(folder).isWritable()) break;
    }
  }
  const std::string where = QDir::toNativeSeparators(folder).toStdString();
  std::string summary = "Exported " + counted(written, "PNG file") + " to " + where;
  if (stopped) summary += " (stopped before the end)";
  if (failed == 0) {
    FMain.statusLine().report(summary);
    return;
  }
  const std::string reason = "Cannot write to " + where + ": " + failure;
  FMain.statusLine().report(summary, {reason});
  FMain.host().showMessage(reason, kErrorCaption, TMsgIcon::Error);
}

void TSpriteCommands::Exportar1Click() {
  if (!mayRun(false)) return;
  const auto exportable = [this]() -> const TSprite* {
    const TSprite* const sprite = spriteAtRow(FMain.itemIndex);
    return sprite && !sprite->isDUmmy && sprite->bitmap ? sprite : nullptr;
  };
  if (!exportable()) return;

  TFileDialogSetup& dialog = FMain.SaveDialog;
  dialog.confirmOverwrite = false;
  dialog.owner = nullptr;
  const QString path = FMain.chooser().saveFile(dialog);
  if (path.isEmpty() || !stillEditable()) return;
  if (const TSprite* const sprite = exportable()) {
    const std::string where = QDir::toNativeSeparators(path).toStdString();
    std::string reason;
    if (savePngFile(*sprite->bitmap, nativePath(path), &reason)) {
      FMain.statusLine().report("Exported sprite " + std::to_string(sprite->ID()) + " to " + where);
    } else {
      const std::string message = "Cannot write " + where + ": " + reason;
      FMain.statusLine().report(message);
      FMain.host().showMessage(message, kErrorCaption, TMsgIcon::Error);
    }
  }
}

// Clone

void TSpriteCommands::Clone1Click() {
  if (!mayRun(true)) return;
  // Taken once, so the copies are not copied again.
  const std::vector<int> rows = FMain.getSelectedItems();
  if (rows.empty()) return;

  std::vector<TCloneSpritesCommand::Source> sources;
  std::vector<std::unique_ptr<TSprite>> copies;
  try {
    sources.reserve(rows.size());
    copies.reserve(rows.size());
  } catch (...) {
    return;
  }
  for (const int row : rows) {
    const TSprite* const source = spriteAtRow(row);
    if (!source) continue;
    try {
      copies.push_back(copySprite(*source));
    } catch (...) {
      // Copies made before a failure stay; a failure ends the command without a word.
      break;
    }
    sources.push_back({source->ID(), source->bitmap ? source->bitmap->DrawMode : dmOpaque});
  }
  if (copies.empty()) return;
  if (!appendStep(std::move(copies), &sources)) return;
  repaintList();
}

void TSpriteCommands::Clone2Click() {
  if (!mayRun(false)) return;
  if (const TSprite* const source = spriteAtRow(FMain.itemIndex)) {
    std::vector<TCloneSpritesCommand::Source> sources;
    std::vector<std::unique_ptr<TSprite>> copies;
    try {
      copies.push_back(copySprite(*source));
      sources.push_back({source->ID(), source->bitmap ? source->bitmap->DrawMode : dmOpaque});
    } catch (...) {
      return;
    }
    if (!appendStep(std::move(copies), &sources)) return;
  }
  repaintList();
  const int last = FMain.spriteListModel->rowCount() - 1;
  if (last < 0) return;
  const QModelIndex row = FMain.spriteListModel->index(last);
  FMain.SpriteListBox->selectionModel()->setCurrentIndex(row, QItemSelectionModel::NoUpdate);
  FMain.SpriteListBox->scrollTo(row, QAbstractItemView::EnsureVisible);
}

// Clear

void TSpriteCommands::clearStep(const std::vector<int>& rows, TSelectionChange selection) {
  std::vector<TFlagChange> changes;
  changes.reserve(rows.size());
  for (const int row : rows) {
    if (const TSprite* const sprite = spriteAtRow(row)) {
      changes.push_back({sprite->ID(), clearedFlag(*sprite)});
    }
  }
  std::size_t cleared = 0;
  for (const TFlagChange& change : changes) cleared += change.isDUmmy ? 1 : 0;
  const std::size_t restored = changes.size() - cleared;
  TSpriteDocument& document = core().document;
  std::vector<TFlagChange> previous = document.setEmptyFlags(changes);
  FMain.history().push(
      new TSetEmptyFlagsCommand(document, std::move(previous), std::move(selection)));
  std::string summary;
  if (cleared > 0) summary = "Cleared " + counted(cleared, "sprite");
  if (restored > 0) {
    summary += (summary.empty() ? "Restored " : ", restored ") + counted(restored, "sprite");
  }
  if (!summary.empty()) FMain.statusLine().report(summary);
}

void TSpriteCommands::Clear1Click() {
  if (!mayRun(true)) return;
  const std::vector<int> rows = FMain.getSelectedItems();
  if (rows.empty()) return;
  clearStep(rows, {});
  repaintList();
}

void TSpriteCommands::Clear2Click() {
  if (!mayRun(false)) return;
  if (spriteAtRow(FMain.itemIndex)) {
    QItemSelectionModel& selection = *FMain.SpriteListBox->selectionModel();
    const QItemSelection before = selection.selection();
    selectRows(FMain.itemIndex, FMain.itemIndex);
    clearStep({FMain.itemIndex}, TSelectionChange(&selection, before, selection.selection()));
  }
  repaintList();
}

}  // namespace tess
