#pragma once

#include <QAbstractListModel>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class QMimeData;

namespace tess {

namespace assets {
class TAssetCatalog;
struct TSheetEntry;
}  // namespace assets

// Asset sprite IDs on the move between the assets grid and the sprite list.
inline constexpr const char* kAssetIdsMimeType = "application/x-tessaline-asset-ids";
[[nodiscard]] QMimeData* assetIdsMime(std::span<const std::int64_t> ids);
// The IDs a drag carries, in order; empty when it carries none.
[[nodiscard]] std::vector<std::int64_t> assetIdsFrom(const QMimeData& mime);

// The sprites of a client's catalog as rows, in ID order, the gaps between sheets left out. Row
// and ID convert by arithmetic over the sheets (a running count per sheet and a binary search),
// so a catalog of hundreds of thousands of sprites costs one number per sheet.
class TAssetsGridModel : public QAbstractListModel {
  Q_OBJECT

 public:
  static constexpr int IdRole = Qt::UserRole + 1;

  explicit TAssetsGridModel(QObject* parent = nullptr);

  // Shows `catalog`'s sheets; nullptr shows none. The catalog must outlive its use here.
  void setCatalog(const assets::TAssetCatalog* catalog);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

  // The sprite ID of `row`, and the sheet holding it; nullopt / nullptr outside the rows.
  [[nodiscard]] std::optional<std::int64_t> idAt(int row) const;
  [[nodiscard]] const assets::TSheetEntry* sheetAt(int row) const;
  // The row of sprite `id`, or nullopt for an ID in a gap or outside every sheet.
  [[nodiscard]] std::optional<int> rowOf(std::int64_t id) const;

 private:
  // The index into the sheets of the one holding `row`.
  [[nodiscard]] std::size_t sheetIndexAt(int row) const;

  const assets::TAssetCatalog* FCatalog = nullptr;
  // FStarts[i]: the first row of sheet i; one more entry holds the number of rows.
  std::vector<std::int64_t> FStarts{0};
  int FRows = 0;
};

}  // namespace tess
