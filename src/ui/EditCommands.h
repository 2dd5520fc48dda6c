#pragma once

#include <QItemSelection>
#include <QPointer>
#include <QUndoCommand>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "core/spriteDocument.h"

class QItemSelectionModel;

namespace tess {

// The selection before and after a step, for the steps that change it. It is kept as row
// numbers: a selection holds persistent indexes, which the rows a step removes would invalidate.
// Restoring replaces the whole selection, so rows a step removed are never left selected.
class TSelectionChange {
 public:
  using Rows = std::vector<std::pair<int, int>>;  // first and last row of each range

  TSelectionChange() = default;
  TSelectionChange(QItemSelectionModel* model, const QItemSelection& before,
                   const QItemSelection& after);

  void restoreBefore() const { restore(FBefore); }
  void restoreAfter() const { restore(FAfter); }

 private:
  void restore(const Rows& rows) const;

  QPointer<QItemSelectionModel> FModel;
  Rows FBefore;
  Rows FAfter;
  bool FChanges = false;
};

// One step of the edit history: a user action that has already been carried out when it is
// pushed, so the first redo the stack asks for does nothing.
class TEditCommand : public QUndoCommand {
 public:
  TEditCommand(TSpriteDocument& document, const QString& text, TSelectionChange selection);

  void undo() final;
  void redo() final;

  // The bytes the step keeps to be able to go back or forth: mostly sprite images.
  virtual std::size_t heldBytes() const noexcept = 0;
  // Lets go of what the step keeps; it must never be undone or redone again.
  virtual void release() noexcept = 0;
  // Lets go of what the step keeps only to be faster, and can do without; returns those bytes.
  virtual std::size_t dropCache() noexcept { return 0; }

 protected:
  virtual void undoEdit() = 0;
  virtual void redoEdit() = 0;
  TSpriteDocument& document() const noexcept { return FDocument; }

 private:
  TSpriteDocument& FDocument;
  TSelectionChange FSelection;
  bool FCarriedOut = true;
};

// Sprites appended at the end (Add): undoing takes them out and keeps them; redoing appends the
// same sprites again.
class TAppendSpritesCommand final : public TEditCommand {
 public:
  TAppendSpritesCommand(TSpriteDocument& document, std::size_t count, TSelectionChange selection,
                        const char* verb = "Add");

  std::size_t heldBytes() const noexcept override;
  void release() noexcept override { FTaken.clear(); }

 protected:
  void undoEdit() override;
  void redoEdit() override;

 private:
  std::size_t FCount;
  std::vector<std::unique_ptr<TSprite>> FTaken;
};

// Copies of sprites appended at the end (Clone). It keeps only which sprites were copied and how:
// undoing drops the copies, redoing makes them again from the same sources, which are then
// exactly as they were the first time.
class TCloneSpritesCommand final : public TEditCommand {
 public:
  struct Source {
    std::int32_t id;
    TDrawMode mode;
  };
  TCloneSpritesCommand(TSpriteDocument& document, std::vector<Source> sources,
                       TSelectionChange selection);

  std::size_t heldBytes() const noexcept override;
  void release() noexcept override;
  std::size_t dropCache() noexcept override;

 protected:
  void undoEdit() override;
  void redoEdit() override;

 private:
  std::vector<Source> FSources;
  // The copies an undo took back, while the step stands undone: a redo puts these very sprites
  // back instead of copying every image again. Done, the step keeps only the IDs.
  std::vector<std::unique_ptr<TSprite>> FTaken;
};

// New images for sprites (Replace): each way swaps the images the sprites have with the ones kept.
class TReplaceImagesCommand final : public TEditCommand {
 public:
  using Swap = std::pair<std::int32_t, TSpriteImage>;
  TReplaceImagesCommand(TSpriteDocument& document, std::vector<Swap> replaced,
                        TSelectionChange selection);

  std::size_t heldBytes() const noexcept override;
  void release() noexcept override { FKept.clear(); }

 protected:
  void undoEdit() override { swap(); }
  void redoEdit() override { swap(); }

 private:
  void swap();
  std::vector<Swap> FKept;
};

// Empty flags set or cleared (Clear): each way swaps the flags with the ones kept.
class TSetEmptyFlagsCommand final : public TEditCommand {
 public:
  TSetEmptyFlagsCommand(TSpriteDocument& document, std::vector<TFlagChange> previous,
                        TSelectionChange selection);

  std::size_t heldBytes() const noexcept override { return FKept.capacity() * sizeof(TFlagChange); }
  void release() noexcept override { std::vector<TFlagChange>().swap(FKept); }

 protected:
  void undoEdit() override { swap(); }
  void redoEdit() override { swap(); }

 private:
  void swap();
  std::vector<TFlagChange> FKept;
};

// "Clear 200 sprites", "Add 1 sprite".
QString stepName(const char* verb, std::size_t count);

}  // namespace tess
