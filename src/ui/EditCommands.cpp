#include "ui/EditCommands.h"

#include <QItemSelectionModel>
#include <algorithm>

#include "core/spriteEdits.h"

namespace tess {

namespace {

TSelectionChange::Rows rowsOf(const QItemSelection& selection) {
  TSelectionChange::Rows rows;
  rows.reserve(static_cast<std::size_t>(selection.size()));
  for (const QItemSelectionRange& range : selection) rows.emplace_back(range.top(), range.bottom());
  return rows;
}

// The pixels the sprites hold.
std::size_t imageBytes(const std::vector<std::unique_ptr<TSprite>>& sprites) noexcept {
  std::size_t bytes = 0;
  for (const auto& sprite : sprites) {
    if (sprite && sprite->bitmap) bytes += sprite->bitmap->pixelCount() * sizeof(TColor32);
  }
  return bytes;
}

}  // namespace

TSelectionChange::TSelectionChange(QItemSelectionModel* model, const QItemSelection& before,
                                   const QItemSelection& after)
    : FModel(model), FBefore(rowsOf(before)), FAfter(rowsOf(after)), FChanges(FBefore != FAfter) {}

void TSelectionChange::restore(const Rows& rows) const {
  if (!FChanges || !FModel) return;
  const QAbstractItemModel* const model = FModel->model();
  QItemSelection selection;
  const int count = model->rowCount();
  for (const auto& [first, last] : rows) {
    if (first >= count) continue;
    selection.select(model->index(first, 0), model->index(std::min(last, count - 1), 0));
  }
  FModel->select(selection, QItemSelectionModel::ClearAndSelect);
}

QString stepName(const char* verb, std::size_t count) {
  return QStringLiteral("%1 %2 %3")
      .arg(QString::fromLatin1(verb))
      .arg(count)
      .arg(count == 1 ? QStringLiteral("sprite") : QStringLiteral("sprites"));
}

TEditCommand::TEditCommand(TSpriteDocument& document, const QString& text,
                           TSelectionChange selection)
    : QUndoCommand(text), FDocument(document), FSelection(std::move(selection)) {}

void TEditCommand::undo() {
  undoEdit();
  FSelection.restoreBefore();
}

void TEditCommand::redo() {
  // The stack redoes a step as it is pushed; the action itself has been carried out by then.
  if (FCarriedOut) {
    FCarriedOut = false;
    return;
  }
  redoEdit();
  FSelection.restoreAfter();
}

// Add

TAppendSpritesCommand::TAppendSpritesCommand(TSpriteDocument& document, std::size_t count,
                                             TSelectionChange selection, const char* verb)
    : TEditCommand(document, stepName(verb, count), std::move(selection)), FCount(count) {}

std::size_t TAppendSpritesCommand::heldBytes() const noexcept { return imageBytes(FTaken); }

void TAppendSpritesCommand::undoEdit() { FTaken = document().takeLast(FCount); }

void TAppendSpritesCommand::redoEdit() { document().appendSprites(FTaken); }

// Clone

TCloneSpritesCommand::TCloneSpritesCommand(TSpriteDocument& document, std::vector<Source> sources,
                                           TSelectionChange selection)
    : TEditCommand(document, stepName("Clone", sources.size()), std::move(selection)),
      FSources(std::move(sources)) {}

std::size_t TCloneSpritesCommand::heldBytes() const noexcept {
  return FSources.capacity() * sizeof(Source) + imageBytes(FTaken);
}

void TCloneSpritesCommand::release() noexcept {
  std::vector<Source>().swap(FSources);
  FTaken.clear();
}

std::size_t TCloneSpritesCommand::dropCache() noexcept {
  const std::size_t bytes = imageBytes(FTaken);
  FTaken.clear();
  return bytes;
}

void TCloneSpritesCommand::undoEdit() { FTaken = document().takeLast(FSources.size()); }

void TCloneSpritesCommand::redoEdit() {
  if (FTaken.size() == FSources.size()) {
    document().appendSprites(FTaken);
    return;
  }
  std::vector<std::unique_ptr<TSprite>> copies;
  copies.reserve(FSources.size());
  for (const Source& source : FSources) {
    const TSprite* const sprite = document().sprite(source.id);
    copies.push_back(sprite ? copySprite(*sprite, source.mode) : std::make_unique<TSprite>());
  }
  document().appendSprites(copies);
}

// Replace

TReplaceImagesCommand::TReplaceImagesCommand(TSpriteDocument& document, std::vector<Swap> replaced,
                                             TSelectionChange selection)
    : TEditCommand(document, stepName("Replace", replaced.size()), std::move(selection)),
      FKept(std::move(replaced)) {}

std::size_t TReplaceImagesCommand::heldBytes() const noexcept {
  std::size_t bytes = 0;
  for (const Swap& kept : FKept) {
    if (kept.second.bitmap) bytes += kept.second.bitmap->pixelCount() * sizeof(TColor32);
  }
  return bytes;
}

void TReplaceImagesCommand::swap() {
  for (Swap& kept : FKept) kept.second = document().swapImage(kept.first, std::move(kept.second));
}

// Clear

TSetEmptyFlagsCommand::TSetEmptyFlagsCommand(TSpriteDocument& document,
                                             std::vector<TFlagChange> previous,
                                             TSelectionChange selection)
    : TEditCommand(document, stepName("Clear", previous.size()), std::move(selection)),
      FKept(std::move(previous)) {}

void TSetEmptyFlagsCommand::swap() { FKept = document().setEmptyFlags(FKept); }

}  // namespace tess
