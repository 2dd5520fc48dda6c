#pragma once

#include <QAbstractListModel>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace tess {

class TSprite;
class TSpriteDocument;

// The rows of the main window's sprite list over its SpritesIndex (row number -> sprite, not
// owned). The model has its own row count: the list starts with one blank row that has no
// index entry. The text of a row is never shown; painting asks for spriteAt.
class TSpriteListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  // `index` is the main window's SpritesIndex; it must outlive the model.
  explicit TSpriteListModel(std::vector<TSprite*>& index, QObject* parent = nullptr);
  ~TSpriteListModel() override;

  // Keeps the rows in step with the edits of `document`, which must outlive the model or be
  // followed by another one: appended sprites get rows, sprites taken from the end lose theirs,
  // and changed sprites repaint.
  void follow(TSpriteDocument& document);
  // The document's notifications.
  void spritesAppended(std::int32_t first, std::int32_t count);
  void spritesRemoving(std::int32_t first, std::int32_t count);
  void spritesChanged(std::int32_t first, std::int32_t count);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  // Replaces every row by one row per sprite, in order, in a single reset.
  void rebuild(const std::vector<std::unique_ptr<TSprite>>& sprites);
  // Appends one row and its index entry.
  void appendRow(TSprite* sprite);
  // Appends one row and index entry per sprite, in order, in a single insertion. Throws
  // std::bad_alloc, with the rows and the index as they were, when the index cannot grow.
  void appendRows(std::span<TSprite* const> sprites);
  // Drops every row and index entry at once.
  void clearRows();

  // The sprite of `row`, or nullptr when the row has no entry.
  TSprite* spriteAt(int row) const noexcept;

 private:
  void stopFollowing() noexcept;

  std::vector<TSprite*>& FIndex;
  TSpriteDocument* FDocument = nullptr;
  int FRows = 1;
  int FRebuiltRows = 0;  // rows made by rebuild; the ones after them were appended
};

}  // namespace tess
