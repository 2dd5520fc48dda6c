#include "ui/SpriteListModel.h"

#include <QString>

#include "sprite/TSprite.h"

namespace tess {

TSpriteListModel::TSpriteListModel(std::vector<TSprite*>& index, QObject* parent)
    : QAbstractListModel(parent), FIndex(index) {}

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
