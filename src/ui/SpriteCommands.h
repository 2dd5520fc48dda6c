#pragma once

#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "image/imageAlpha.h"
#include "ui/EditCommands.h"

namespace tess {

class TBitmap32;
class TEditorCore;
class TSprite;
class TfrmMain;

// The commands that change or export sprites. The File-menu forms work on the selected rows,
// the context-menu forms on the main window's itemIndex row; both forms of Add append the chosen
// image files. While a load or a save runs, every command is refused with "Its loading now".
class TSpriteCommands {
 public:
  explicit TSpriteCommands(TfrmMain& main) : FMain(main) {}

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

  // Whether a command may run now: false while the sprite file is busy (with a message) or when
  // no file is loaded (with "No file open!" for the File-menu forms).
  bool mayRun(bool fileMenu) const;
  // After a modal dialog: whether the file the command started on (at mayRun) is still the one
  // open, loaded and idle. The dialog ran an event loop, in which anything may have happened.
  bool stillEditable() const noexcept;
  // Appends `sprites` as one step of the history (a Clone of `cloneSources`, else a step named
  // after `verb`), selects their rows in addition to the selection there was and brings the
  // first of them into view. The status line says what was added, followed by `summaryTail`
  // (" from 2 client sprites"), with `notes`. False, with nothing appended, when they could not
  // be appended.
  [[nodiscard]] bool appendStep(std::vector<std::unique_ptr<TSprite>> sprites,
                                std::vector<TCloneSpritesCommand::Source>* cloneSources,
                                const char* verb = "Add",
                                const std::vector<std::string>& notes = {},
                                const std::string& summaryTail = {});
  // The sprites Add makes of a picture: one, fitted to 32x32; or, for a picture larger than
  // 32x32 whose sides are multiples of 32, its tiles when the user agrees. The question comes
  // once per command: `cutIntoTiles` keeps the answer. What the user should know about the
  // picture called `name` (fitted, fully transparent) goes to `notes`.
  void spritesFromPicture(TBitmap32& picture, std::optional<bool>& cutIntoTiles,
                          std::vector<std::unique_ptr<TSprite>>& sprites, const std::string& name,
                          std::vector<std::string>& notes) const;
  // How images come in for the open file's version: with their own alpha where its sprites
  // store one, composited over white where they do not.
  ImportAlpha importAlpha() const noexcept;

 private:
  enum class TReadOutcome { Replaced, NotRead, Reported };

  TEditorCore& core() const noexcept;
  TSprite* spriteAtRow(int row) const noexcept;
  void selectRows(int first, int last) const;
  void repaintList() const;

  void addFromDialog(bool fileMenu);
  void addFiles(const QStringList& Files);
  // Reads `file` as a new image for `sprite`, fitted to 32x32, into `image`. An error raised by
  // the reader goes to the general error report.
  TReadOutcome readImage(const TSprite& sprite, const QString& file,
                         std::unique_ptr<TBitmap32>& image, std::vector<std::string>& notes) const;
  // Clear of the sprites of `rows` as one step.
  void clearStep(const std::vector<int>& rows, TSelectionChange selection);

  TfrmMain& FMain;
  // The sprite list the running command started on.
  mutable std::uint64_t FGeneration = 0;
};

}  // namespace tess
