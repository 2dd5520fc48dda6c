#pragma once

#include <QStringList>
#include <string>

#include "ui/FileChooser.h"

class QImage;

namespace tess {

class TBitmap32;
class TfrmMain;
class TSpriteCommands;

// The commands that work on many sprites at once: sprite sheets in and out, images dropped on the
// window or pasted from the clipboard, and the selection commands of the Edit menu. Every edit
// among them is one step of the history; while a load or a save runs they are refused like every
// other command.
class TBulkCommands {
 public:
  TBulkCommands(TfrmMain& main, TSpriteCommands& commands);

  void ImportSheet1Click();
  void ExportSheet1Click();
  void Paste1Click();
  void CopyImage1Click();
  void SelectAll1Click();
  void SelectNone1Click();
  void InvertSelection1Click();
  void SelectDuplicates1Click();
  void SelectEmpty1Click();

  // Appends the images among `files` as Add does, in order, as one step; the files that are not
  // PNG or BMP images are named in one error box.
  void dropFiles(const QStringList& files);

  // Whether a sheet import leaves out tiles that are fully transparent.
  bool skipTransparentTiles = true;

 private:
  // Selects exactly the rows of the sprites for which `wanted` holds.
  template <typename Predicate>
  int selectSprites(Predicate wanted);
  // The status line counts the selected sprites, called `kind` ("sprite" when empty).
  void reportSelection(const std::string& kind);

  TfrmMain& FMain;
  TSpriteCommands& FCommands;
  TFileDialogSetup FSheetOpenDialog;
  TFileDialogSetup FSheetSaveDialog;
};

// A QImage (any format) as a bitmap of the same size with straight alpha.
TBitmap32 bitmapFromImage(const QImage& image);
// A bitmap as a QImage with its alpha; the pixels are copied.
QImage imageFromBitmap(const TBitmap32& bitmap);

}  // namespace tess
