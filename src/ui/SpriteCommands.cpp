#include "ui/SpriteCommands.h"

#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QListView>
#include <algorithm>
#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "bitmap/TBitmap32.h"
#include "core/editorCore.h"
#include "image/PNG.h"
#include "image/imageFile.h"
#include "sprite/TSprite.h"
#include "sprite/TSpriteFile.h"
#include "ui/QtHost.h"
#include "ui/SpriteListModel.h"
#include "ui/TfrmMain.h"

namespace tess {

namespace {

constexpr int kSpriteSide = 32;

const char* const kNoFileOpen = "No file open!";
const char* const kCannotLoad = "Cannot load sprite image!";
const char* const kCannotAdd = "Cannot add the sprite!";
const char* const kErrorCaption = "Error!";
const char* const kBusy = "Its loading now";
const char* const kBusyCaption = "Status";
const char* const kFolderPrompt = "Select the directory...";

std::string nativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// A sprite image made from a picture of any size: the picture's pixels copied whole at (0, 0)
// onto opaque black, cut to 32x32.
std::unique_ptr<TBitmap32> spriteBitmapFrom(TBitmap32& picture) {
  auto bitmap = std::make_unique<TBitmap32>();
  bitmap->SetSizeAndFill(kSpriteSide, kSpriteSide, clOpaqueBlack32);
  picture.DrawMode = dmOpaque;
  bitmap->Draw(0, 0, &picture);
  return bitmap;
}

void copyPixels(const TBitmap32& from, TBitmap32& to) {
  to.SetSize(from.Width(), from.Height());
  std::copy_n(from.FBits(), from.pixelCount(), to.FBits());
}

// The copy of a sprite that Clone appends. The image goes through Draw with the source's own
// mode, so a sprite whose row was painted (blend mode) is blended over transparent white and one
// never painted is copied exactly. An empty source gives an empty copy without an image, even
// when it keeps a hidden one.
std::unique_ptr<TSprite> copySprite(const TSprite& source) {
  auto copy = std::make_unique<TSprite>();
  // A sprite without an image cannot be shown or saved as one, whatever its flag says.
  copy->isDUmmy = source.isDUmmy || !source.bitmap;
  if (!copy->isDUmmy) {
    copy->bitmap = std::make_unique<TBitmap32>();
    copy->bitmap->SetSizeAndFill(kSpriteSide, kSpriteSide, clTransparentWhite32);
    copy->bitmap->Draw(0, 0, source.bitmap.get());
  }
  return copy;
}

// Clear: a sprite with an image toggles between shown and hidden; one without stays empty.
void toggleEmpty(TSprite& sprite) noexcept {
  sprite.isDUmmy = sprite.bitmap ? !sprite.isDUmmy : true;
}

QString exportPath(const QString& folder, std::int32_t id) {
  const QChar separator = QDir::separator();
  const bool endsWithSeparator = folder.endsWith(separator) || folder.endsWith(QLatin1Char('/'));
  return folder + (endsWithSeparator ? QString() : QString(separator)) + QString::number(id) +
         QStringLiteral(".png");
}

// Appends new sprites to the sprite file and, in one step at the end, their rows and index
// entries to the list, selected in addition to the selection there was. Nothing in between
// processes events, so nobody sees the list and Sprites apart. Sprites whose rows cannot be
// added are taken out of Sprites again, so the three always stay in step.
class TSpriteAppender {
 public:
  explicit TSpriteAppender(TfrmMain& main) noexcept : FMain(main) {}
  TSpriteAppender(const TSpriteAppender&) = delete;
  TSpriteAppender& operator=(const TSpriteAppender&) = delete;
  ~TSpriteAppender() { show(); }

  // Room for `count` more sprites at once, for a command that knows how many it may append.
  // Throws std::bad_alloc before anything is appended.
  void reserve(std::size_t count) {
    auto& sprites = FMain.core().spriteFile.Sprites;
    sprites.reserve(sprites.size() + count);
    FNew.reserve(FNew.size() + count);
  }

  // Appends `sprite` to Sprites with the next ID. Throws std::bad_alloc with nothing appended
  // (the sprite is then released).
  void append(std::unique_ptr<TSprite> sprite) {
    auto& sprites = FMain.core().spriteFile.Sprites;
    TSprite* const added = sprite.get();
    FNew.push_back(added);
    try {
      sprites.push_back(std::move(sprite));
    } catch (...) {
      FNew.pop_back();
      throw;
    }
    added->setID(static_cast<std::int32_t>(sprites.size()));
  }

  std::size_t count() const noexcept { return FNew.size(); }

  // Adds the rows and index entries of the sprites appended so far and selects them. False when
  // the rows could not be added; those sprites are then gone from Sprites again.
  bool show() noexcept {
    if (FNew.empty()) return true;
    TSpriteListModel& model = *FMain.spriteListModel;
    const int first = model.rowCount();
    try {
      model.appendRows(FNew);
    } catch (...) {
      auto& sprites = FMain.core().spriteFile.Sprites;
      sprites.resize(sprites.size() - FNew.size());
      FNew.clear();
      return false;
    }
    const int last = model.rowCount() - 1;
    FNew.clear();
    const QItemSelection rows(model.index(first), model.index(last));
    FMain.SpriteListBox->selectionModel()->select(rows, QItemSelectionModel::Select);
    return true;
  }

 private:
  TfrmMain& FMain;
  std::vector<TSprite*> FNew;
};

}  // namespace

TEditorCore& TSpriteCommands::core() const noexcept { return FMain.core(); }

bool TSpriteCommands::mayRun(bool fileMenu) const {
  const TSpriteFile& file = core().spriteFile;
  // A load or save lets events through while it works; changing the sprites under it would
  // corrupt what it reads or writes.
  if (file.isBusy()) {
    FMain.host().showMessage(kBusy, kBusyCaption, TMsgIcon::None);
    return false;
  }
  if (!file.loaded) {
    if (fileMenu) FMain.host().showMessage(kNoFileOpen, kErrorCaption, TMsgIcon::Error);
    return false;
  }
  return true;
}

bool TSpriteCommands::stillEditable() const noexcept {
  const TSpriteFile& file = core().spriteFile;
  return file.loaded && !file.isBusy();
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
  // One picture serves every file: a file the reader accepts without reading anything leaves
  // the previous file's picture in it.
  TBitmap32 picture;
  TSpriteAppender appender(FMain);
  const char* failure = nullptr;
  for (const QString& file : Files) {
    bool read = false;
    try {
      read = loadImageFile(nativePath(file), picture);
    } catch (...) {
      read = false;
    }
    if (!read) {
      failure = kCannotLoad;
      break;
    }
    try {
      auto sprite = std::make_unique<TSprite>();
      sprite->isDUmmy = false;
      sprite->bitmap = spriteBitmapFrom(picture);
      appender.append(std::move(sprite));
    } catch (...) {
      failure = kCannotAdd;
      break;
    }
  }
  const bool added = appender.count() > 0;
  if (!appender.show()) {
    failure = kCannotAdd;
  } else if (added) {
    // Files added before a failing one stay added, and that is a change to save.
    core().setModified();
  }
  if (failure) FMain.host().showMessage(failure, kErrorCaption, TMsgIcon::Error);
}

// Replace

TSpriteCommands::TReadOutcome TSpriteCommands::replaceImage(TSprite& sprite,
                                                            const QString& file) const {
  try {
    // The picture starts as the sprite's own image, so a file the reader accepts without reading
    // anything leaves the image as it was; a sprite without one gets opaque black.
    TBitmap32 picture;
    if (sprite.bitmap) copyPixels(*sprite.bitmap, picture);
    if (!loadImageFile(nativePath(file), picture)) return TReadOutcome::NotRead;
    std::unique_ptr<TBitmap32> image = spriteBitmapFrom(picture);
    // The bitmap keeps the draw mode it had, as if the file had been read straight into it.
    if (sprite.bitmap) image->DrawMode = sprite.bitmap->DrawMode;
    sprite.bitmap = std::move(image);
    sprite.isDUmmy = false;
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

  // The i-th file goes to the i-th selected row that has a sprite.
  qsizetype next = 0;
  for (const int row : rows) {
    TSprite* const sprite = spriteAtRow(row);
    if (!sprite) continue;
    switch (replaceImage(*sprite, files.at(next))) {
      case TReadOutcome::Replaced:
        break;
      case TReadOutcome::NotRead:
        FMain.host().showMessage(kCannotLoad, kErrorCaption, TMsgIcon::Error);
        return;
      case TReadOutcome::Reported:
        return;
    }
    ++next;
    core().setModified();
    if (next == files.size()) break;
  }
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
  TSprite* const sprite = stillEditable() ? spriteAtRow(FMain.itemIndex) : nullptr;
  if (!sprite) return;
  if (replaceImage(*sprite, files.first()) != TReadOutcome::Replaced) return;
  core().setModified();
  selectRows(FMain.itemIndex, FMain.itemIndex);
  repaintList();
}

// Export

void TSpriteCommands::Export1Click() {
  if (!mayRun(true)) return;
  const std::vector<int> rows = FMain.getSelectedItems();
  const QString folder = FMain.chooser().folder(QString::fromLatin1(kFolderPrompt), nullptr);
  if (folder.isEmpty() || !stillEditable()) return;
  for (const int row : rows) {
    const TSprite* const sprite = spriteAtRow(row);
    if (!sprite || sprite->isDUmmy || !sprite->bitmap) continue;
    savePngFile(*sprite->bitmap, nativePath(exportPath(folder, sprite->ID())));
  }
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
    savePngFile(*sprite->bitmap, nativePath(path));
  }
}

// Clone

void TSpriteCommands::Clone1Click() {
  if (!mayRun(true)) return;
  // Taken once, so the copies are not copied again.
  const std::vector<int> rows = FMain.getSelectedItems();
  if (rows.empty()) return;

  TSpriteAppender appender(FMain);
  try {
    appender.reserve(rows.size());
  } catch (...) {
    return;
  }
  bool failed = false;
  for (const int row : rows) {
    const TSprite* const source = spriteAtRow(row);
    if (!source) continue;
    try {
      appender.append(copySprite(*source));
    } catch (...) {
      failed = true;
      break;
    }
    core().setModified();
  }
  // Copies made before a failure stay; a failure ends the command without a word.
  if (!appender.show() || failed) return;
  repaintList();
}

void TSpriteCommands::Clone2Click() {
  if (!mayRun(false)) return;
  if (const TSprite* const source = spriteAtRow(FMain.itemIndex)) {
    std::unique_ptr<TSprite> copy;
    try {
      copy = copySprite(*source);
    } catch (...) {
      return;
    }
    core().setModified();
    TSpriteAppender appender(FMain);
    try {
      appender.append(std::move(copy));
    } catch (...) {
      return;
    }
    if (!appender.show()) return;
  }
  repaintList();
  const int last = FMain.spriteListModel->rowCount() - 1;
  if (last < 0) return;
  const QModelIndex row = FMain.spriteListModel->index(last);
  FMain.SpriteListBox->selectionModel()->setCurrentIndex(row, QItemSelectionModel::NoUpdate);
  FMain.SpriteListBox->scrollTo(row, QAbstractItemView::EnsureVisible);
}

// Clear

void TSpriteCommands::Clear1Click() {
  if (!mayRun(true)) return;
  const std::vector<int> rows = FMain.getSelectedItems();
  if (rows.empty()) return;
  for (const int row : rows) {
    if (TSprite* const sprite = spriteAtRow(row)) toggleEmpty(*sprite);
  }
  core().setModified();
  repaintList();
}

void TSpriteCommands::Clear2Click() {
  if (!mayRun(false)) return;
  if (TSprite* const sprite = spriteAtRow(FMain.itemIndex)) {
    toggleEmpty(*sprite);
    core().setModified();
    selectRows(FMain.itemIndex, FMain.itemIndex);
  }
  repaintList();
}

}  // namespace tess
