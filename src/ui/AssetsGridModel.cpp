#include "ui/AssetsGridModel.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <algorithm>
#include <climits>

#include "assets/assetCatalog.h"

namespace tess {

QMimeData* assetIdsMime(std::span<const std::int64_t> ids) {
  QByteArray bytes;
  QDataStream stream(&bytes, QIODevice::WriteOnly);
  stream << static_cast<quint32>(ids.size());
  for (const std::int64_t id : ids) stream << static_cast<qint64>(id);
  auto* mime = new QMimeData;
  mime->setData(QString::fromLatin1(kAssetIdsMimeType), bytes);
  return mime;
}

std::vector<std::int64_t> assetIdsFrom(const QMimeData& mime) {
  const QString type = QString::fromLatin1(kAssetIdsMimeType);
  if (!mime.hasFormat(type)) return {};
  QDataStream stream(mime.data(type));
  quint32 count = 0;
  stream >> count;
  std::vector<std::int64_t> ids;
  // The count comes from outside this process as far as the data is concerned; the stream's own
  // end bounds it.
  for (quint32 i = 0; i < count && stream.status() == QDataStream::Ok; ++i) {
    qint64 id = 0;
    stream >> id;
    if (stream.status() == QDataStream::Ok) ids.push_back(id);
  }
  return ids;
}

TAssetsGridModel::TAssetsGridModel(QObject* parent) : QAbstractListModel(parent) {}

void TAssetsGridModel::setCatalog(const assets::TAssetCatalog* catalog) {
  beginResetModel();
  FCatalog = catalog;
  FStarts.assign(1, 0);
  if (catalog) {
    FStarts.reserve(catalog->sheets().size() + 1);
    for (const assets::TSheetEntry& sheet : catalog->sheets()) {
      FStarts.push_back(FStarts.back() + sheet.count());
    }
  }
  // A view addresses rows as int; a catalog beyond that shows its first INT_MAX sprites.
  FRows = static_cast<int>(std::min<std::int64_t>(FStarts.back(), INT_MAX));
  endResetModel();
}

int TAssetsGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : FRows;
}

std::size_t TAssetsGridModel::sheetIndexAt(int row) const {
  const auto after = std::upper_bound(FStarts.begin(), FStarts.end(), std::int64_t{row});
  return static_cast<std::size_t>(after - FStarts.begin()) - 1;
}

std::optional<std::int64_t> TAssetsGridModel::idAt(int row) const {
  if (row < 0 || row >= FRows) return std::nullopt;
  const std::size_t sheet = sheetIndexAt(row);
  return FCatalog->sheets()[sheet].firstId + (row - FStarts[sheet]);
}

const assets::TSheetEntry* TAssetsGridModel::sheetAt(int row) const {
  if (row < 0 || row >= FRows) return nullptr;
  return &FCatalog->sheets()[sheetIndexAt(row)];
}

std::optional<int> TAssetsGridModel::rowOf(std::int64_t id) const {
  if (!FCatalog) return std::nullopt;
  const assets::TSheetEntry* const sheet = FCatalog->sheetOf(id);
  if (!sheet) return std::nullopt;
  const auto index = static_cast<std::size_t>(sheet - FCatalog->sheets().data());
  const std::int64_t row = FStarts[index] + (id - sheet->firstId);
  if (row >= FRows) return std::nullopt;
  return static_cast<int>(row);
}

QVariant TAssetsGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const std::optional<std::int64_t> id = idAt(index.row());
  if (!id) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return QStringLiteral("ID %1").arg(*id);
    case IdRole:
      return QVariant::fromValue<qint64>(*id);
    default:
      return {};
  }
}

Qt::ItemFlags TAssetsGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList TAssetsGridModel::mimeTypes() const { return {QString::fromLatin1(kAssetIdsMimeType)}; }

QMimeData* TAssetsGridModel::mimeData(const QModelIndexList& indexes) const {
  std::vector<int> rows;
  rows.reserve(static_cast<std::size_t>(indexes.size()));
  for (const QModelIndex& index : indexes) {
    if (index.isValid()) rows.push_back(index.row());
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  std::vector<std::int64_t> ids;
  ids.reserve(rows.size());
  for (const int row : rows) {
    if (const auto id = idAt(row)) ids.push_back(*id);
  }
  return assetIdsMime(ids);
}

}  // namespace tess
