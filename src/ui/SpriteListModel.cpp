#include "ui/SpriteListModel.h"

#include <QString>
#include <algorithm>

#include "core/spriteDocument.h"
#include "sprite/TSprite.h"
#include "sprite/TSpriteFile.h"

namespace tess {

TSpriteListModel::TSpriteListModel(std::vector<TSprite*>& index, QObject* parent)
    : QAbstractListModel(parent), FIndex(index) {}

TSpriteListModel::~TSpriteListModel() { stopFollowing(); }

void TSpriteListModel::follow(TSpriteDocument& document) {
  stopFollowing();
  FDocument = &document;
  document.onSpritesAppended.push_back(TonSpritesChanged(this, &TSpriteListModel::spritesAppended));
  document.onSpritesRemoving.push_back(TonSpritesChanged(this, &TSpriteListModel::spritesRemoving));
  document.onSpritesChanged.push_back(TonSpritesChanged(this, &TSpriteListModel::spritesChanged));
}

void TSpriteListModel::stopFollowing() noexcept {
  if (!FDocument) return;
  removeListener(FDocument->onSpritesAppended,
                 TonSpritesChanged(this, &TSpriteListModel::spritesAppended));
  removeListener(FDocument->onSpritesRemoving,
                 TonSpritesChanged(this, &TSpriteListModel::spritesRemoving));
  removeListener(FDocument->onSpritesChanged,
                 TonSpritesChanged(this, &TSpriteListModel::spritesChanged));
  FDocument = nullptr;
}

void TSpriteListModel::spritesAppended(std::int32_t first, std::int32_t count) {
  if (!FDocument || count <= 0) return;
  std::vector<TSprite*> added;
  added.reserve(static_cast<std::size_t>(count));
  for (std::int32_t id = first; id < first + count; ++id) added.push_back(FDocument->sprite(id));
  appendRows(added);
}

void TSpriteListModel::spritesRemoving(std::int32_t first, std::int32_t count) {
  // The rows of the sprites go, from the row of the first one to the end of the list.
  const int from = std::clamp(first - 1, 0, FRows);
  const int to = std::min(FRows, first - 1 + count);
  if (count <= 0 || from >= to) return;
  beginRemoveRows(QModelIndex(), from, to - 1);
  if (FIndex.size() > static_cast<std::size_t>(from)) FIndex.resize(static_cast<std::size_t>(from));
  FRows = from;
  FRebuiltRows = std::min(FRebuiltRows, FRows);
  endRemoveRows();
}

void TSpriteListModel::spritesChanged(std::int32_t first, std::int32_t count) {
  const int from = std::max(first - 1, 0);
  const int to = std::min(FRows, first - 1 + count);
  if (from >= to) return;
  emit dataChanged(index(from), index(to - 1));
}

int TSpriteListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : FRows;
}

QVariant TSpriteListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= FRows) return {};
  // What the rows hold, though the list never shows it.
  return index.row() < FRebuiltRows ? QStringLiteral("      ") : QStringLiteral("   ");
}

void TSpriteListModel::rebuild(const std::vector<std::unique_ptr<TSprite>>& sprites) {
  beginResetModel();
  FIndex.clear();
  FIndex.reserve(sprites.size());
  for (const auto& sprite : sprites) FIndex.push_back(sprite.get());
  FRows = static_cast<int>(FIndex.size());
  FRebuiltRows = FRows;
  endResetModel();
}

void TSpriteListModel::appendRow(TSprite* sprite) {
  // The new row's entry sits at its own row number; rows without an entry (the blank first
  // row) stay without one.
  FIndex.resize(static_cast<std::size_t>(FRows), nullptr);
  beginInsertRows(QModelIndex(), FRows, FRows);
  FIndex.push_back(sprite);
  ++FRows;
  endInsertRows();
}

void TSpriteListModel::appendRows(std::span<TSprite* const> sprites) {
  if (sprites.empty()) return;
  // The index grows before the insertion is announced, so running out of memory changes nothing.
  FIndex.reserve(static_cast<std::size_t>(FRows) + sprites.size());
  FIndex.resize(static_cast<std::size_t>(FRows), nullptr);
  const int last = FRows + static_cast<int>(sprites.size()) - 1;
  beginInsertRows(QModelIndex(), FRows, last);
  FIndex.insert(FIndex.end(), sprites.begin(), sprites.end());
  FRows = last + 1;
  endInsertRows();
}

void TSpriteListModel::clearRows() {
  beginResetModel();
  FIndex.clear();
  FRows = 0;
  FRebuiltRows = 0;
  endResetModel();
}

TSprite* TSpriteListModel::spriteAt(int row) const noexcept {
  if (row < 0 || static_cast<std::size_t>(row) >= FIndex.size()) return nullptr;
  return FIndex[static_cast<std::size_t>(row)];
}

}  // namespace tess
