#include "ui/TfrmAssets.h"

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <filesystem>
#include <optional>
#include <string>

#include "assets/assetImport.h"
#include "assets/assetStore.h"
#include "assets/assetTiles.h"
#include "assets/sheetWriter.h"
#include "core/editorCore.h"
#include "core/spriteEdits.h"
#include "core/wording.h"
#include "sprite/TSprite.h"
#include "sprite/TSpriteFile.h"
#include "ui/AssetsGridModel.h"
#include "ui/AssetsGridView.h"
#include "ui/QtHost.h"
#include "ui/SpriteCommands.h"
#include "ui/SpriteListModel.h"
#include "ui/StatusLine.h"
#include "ui/TfrmMain.h"

namespace tess {

namespace {

const char* const kErrorCaption = "Error!";
// The status line names this many of a catalog's unusable entries; the rest are counted.
constexpr std::size_t kProblemsShown = 3;

std::string nativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }
std::string shownPath(const std::string& path) {
  return QDir::toNativeSeparators(QFile::decodeName(path.c_str())).toStdString();
}

std::string typeName(assets::TSheetType type) {
  return std::to_string(assets::cellWidth(type)) + "x" + std::to_string(assets::cellHeight(type));
}

std::vector<std::string> problemNotes(const std::vector<std::string>& problems) {
  std::vector<std::string> notes;
  for (std::size_t i = 0; i < problems.size() && i < kProblemsShown; ++i) {
    notes.push_back("Left out of the catalog: " + problems[i]);
  }
  if (problems.size() > kProblemsShown) {
    notes.push_back("and " + groupedNumber(problems.size() - kProblemsShown) +
                    " more entries left out");
  }
  return notes;
}

std::optional<std::int64_t> typedId(const QString& text) {
  const std::string digits = text.trimmed().toStdString();
  std::int64_t value = 0;
  const char* const last = digits.data() + digits.size();
  const auto [end, error] = std::from_chars(digits.data(), last, value, 10);
  if (digits.empty() || error != std::errc() || end != last) return std::nullopt;
  return value;
}

// The catalog in `folder` to add sheets to: the one there, or a new empty one.
bool targetCatalog(const std::string& folder, assets::TAssetCatalog& catalog, std::string& reason) {
  const std::filesystem::path path = std::filesystem::path(folder) / assets::kCatalogFileName;
  std::error_code error;
  if (std::filesystem::exists(path, error)) return catalog.read(path.string(), reason);
  if (!std::filesystem::is_directory(folder, error)) {
    reason = "not a folder";
    return false;
  }
  return catalog.parse("[]\n", path.string(), reason);
}

}  // namespace

// The commands

void TAssetCommands::OpenAssets1Click() {
  const QString path =
      FMain.chooser().folder(QStringLiteral("Select the client's assets folder..."), &FMain);
  if (path.isEmpty()) return;
  openAssets(path);
}

bool TAssetCommands::openAssets(const QString& path) {
  auto store = std::make_unique<assets::TAssetStore>();
  std::string reason;
  if (!store->open(nativePath(path), reason)) {
    const std::string message = "Cannot open client assets: " + reason;
    FMain.statusLine().report(message);
    FMain.host().showMessage(message, kErrorCaption, TMsgIcon::Error);
    return false;
  }
  const assets::TAssetCatalog& catalog = store->catalog();
  std::uint64_t sprites = 0;
  for (const assets::TSheetEntry& sheet : catalog.sheets()) {
    sprites += static_cast<std::uint64_t>(sheet.count());
  }
  const std::string summary = "Opened client assets: " + counted(sprites, "sprite") + " in " +
                              counted(catalog.sheets().size(), "sheet") + " from " +
                              shownPath(catalog.folder());
  const std::vector<std::string> notes = problemNotes(catalog.problems());
  FMain.showAssets(std::move(store));
  FMain.statusLine().report(summary, notes);
  return true;
}

void TAssetCommands::addSprites(assets::TAssetStore& store, std::span<const std::int64_t> ids) {
  if (!FCommands.mayRun(true) || ids.empty()) return;
  // Every tile first, so that a sheet that cannot be read leaves the file as it was.
  std::vector<std::unique_ptr<TSprite>> sprites;
  std::size_t transparent = 0;
  TBitmap32 image;
  for (const std::int64_t id : ids) {
    std::string reason;
    if (!store.spriteImage(id, image, reason)) {
      const std::string message = "Cannot read client sprite " + std::to_string(id) + ": " + reason;
      FMain.statusLine().report("Added no sprite", {message});
      FMain.host().showMessage(message, kErrorCaption, TMsgIcon::Error);
      return;
    }
    for (std::unique_ptr<TBitmap32>& tile : assets::cutIntoTiles(image)) {
      if (tile) {
        sprites.push_back(spriteWithImage(std::move(tile)));
      } else {
        ++transparent;
        sprites.push_back(std::make_unique<TSprite>());
      }
    }
  }
  std::vector<std::string> notes;
  if (transparent > 0) {
    notes.push_back(counted(transparent, "fully transparent tile") + " added as empty");
  }
  if (!FCommands.appendStep(std::move(sprites), nullptr, "Add", notes,
                            " from " + counted(ids.size(), "client sprite"))) {
    FMain.host().showMessage("Cannot add the sprite!", kErrorCaption, TMsgIcon::Error);
  }
}

void TAssetCommands::ExportAssets1Click() {
  if (!FCommands.mayRun(true)) return;
  const std::vector<int> rows = FMain.getSelectedItems();
  if (rows.empty()) return;
  const QString folder =
      FMain.chooser().folder(QStringLiteral("Select the client's assets folder..."), &FMain);
  if (folder.isEmpty() || !FCommands.stillEditable()) return;
  const std::optional<int> type = FMain.chooser().number(
      QStringLiteral("Export as client sheets"),
      QStringLiteral("Sprite size: 0 = 32x32, 1 = 32x64, 2 = 64x32, 3 = 64x64"), 0, 0,
      assets::kSheetTypeCount - 1, &FMain);
  if (!type || !FCommands.stillEditable()) return;
  const assets::TSheetType sheetType = *assets::sheetTypeFrom(*type);

  // The dialogs ran event loops: the rows are looked up only now.
  std::vector<std::int32_t> ids;
  ids.reserve(rows.size());
  for (const int row : rows) {
    if (const TSprite* const sprite = FMain.spriteListModel->spriteAt(row)) {
      ids.push_back(sprite->ID());
    }
  }
  const auto refuse = [this](const std::string& why) {
    const std::string message = "Cannot export as client sheets: " + why;
    FMain.statusLine().report(message);
    FMain.host().showMessage(message, kErrorCaption, TMsgIcon::Error);
  };
  std::string reason;
  std::vector<TBitmap32> sprites;
  if (!assets::assembleSprSprites(FMain.core().spriteFile, ids, sheetType, sprites, reason)) {
    refuse("the " + reason + " (" + typeName(sheetType) + ")");
    return;
  }
  assets::TAssetCatalog catalog;
  const std::string where = nativePath(folder);
  if (!targetCatalog(where, catalog, reason)) {
    refuse(shownPath(where) + ": " + reason);
    return;
  }
  std::vector<const TBitmap32*> pointers;
  pointers.reserve(sprites.size());
  for (const TBitmap32& sprite : sprites) pointers.push_back(&sprite);
  assets::TSheetsWritten written;
  if (!assets::writeSheets(catalog, pointers, sheetType, std::nullopt, written, reason)) {
    refuse(reason);
    return;
  }
  FMain.statusLine().report("Exported " + counted(ids.size(), "sprite") + " as " +
                            counted(written.sheets.size(), "client sheet") + " (IDs " +
                            std::to_string(written.firstId) + "\u2013" +
                            std::to_string(written.lastId) + ") to " + shownPath(where));
  // The assets window showing that folder shows what was added.
  if (TfrmAssets* const window = FMain.assetsDialog) {
    if (window->store() && window->store()->catalog().path() == catalog.path()) {
      auto fresh = std::make_unique<assets::TAssetStore>();
      if (fresh->open(catalog.path(), reason)) window->setSource(std::move(fresh));
    }
  }
}

// The window

TfrmAssets::TfrmAssets(TfrmMain& main, TAssetCommands& commands)
    : TChildWindow(main), FCommands(commands) {
  setFont(TfrmMain::windowFont());
  setWindowTitle(QStringLiteral("Client assets"));
  setWindowIcon(main.windowIcon());
  setAcceptDrops(true);

  model = new TAssetsGridModel(this);
  grid = new TAssetsGridView(this);
  grid->setFont(font());
  grid->setModel(model);
  grid->setContextMenuPolicy(Qt::CustomContextMenu);

  gridMenu = new QMenu(this);
  AddToSpriteFile1 = gridMenu->addAction(QStringLiteral("Add to sprite file"));
  connect(AddToSpriteFile1, &QAction::triggered, this, &TfrmAssets::btnAddClick);
  connect(grid, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { gridMenu->popup(grid->viewport()->mapToGlobal(pos)); });

  edtSearch = new QLineEdit(this);
  edtSearch->setPlaceholderText(QStringLiteral("Sprite ID"));
  edtSearch->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,10}")), this));
  connect(edtSearch, &QLineEdit::returnPressed, this, &TfrmAssets::btnGoClick);
  btnGo = new QPushButton(QStringLiteral("Go"), this);
  connect(btnGo, &QPushButton::clicked, this, &TfrmAssets::btnGoClick);
  btnAdd = new QPushButton(QStringLiteral("Add to sprite file"), this);
  connect(btnAdd, &QPushButton::clicked, this, &TfrmAssets::btnAddClick);
  lblInfo = new QLabel(this);
  lblInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Sheet file names are long hashes; they must not widen the window.
  lblInfo->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  auto* controls = new QHBoxLayout;
  controls->addWidget(new QLabel(QStringLiteral("ID:"), this));
  controls->addWidget(edtSearch, 1);
  controls->addWidget(btnGo);
  controls->addSpacing(8);
  controls->addWidget(btnAdd);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(4);
  layout->addLayout(controls);
  layout->addWidget(grid, 1);
  layout->addWidget(lblInfo);
}

TfrmAssets::~TfrmAssets() {
  // The grid paints from the store and the model points into its catalog: both let go first.
  grid->setStore(nullptr);
  model->setCatalog(nullptr);
}

void TfrmAssets::setSource(std::unique_ptr<assets::TAssetStore> store) {
  grid->setStore(nullptr);
  model->setCatalog(nullptr);
  FStore = std::move(store);
  if (FStore) model->setCatalog(&FStore->catalog());
  grid->setStore(FStore.get());
  grid->verticalScrollBar()->setValue(0);
  showSummary();
}

void TfrmAssets::showSummary() {
  if (!FStore) {
    lblInfo->clear();
    return;
  }
  const assets::TAssetCatalog& catalog = FStore->catalog();
  lblInfo->setText(QStringLiteral("%1 sprites in %2 sheets")
                       .arg(model->rowCount())
                       .arg(catalog.sheets().size()));
  setWindowTitle(QStringLiteral("Client assets - %1")
                     .arg(QDir::toNativeSeparators(QFile::decodeName(catalog.folder().c_str()))));
}

std::vector<std::int64_t> TfrmAssets::selectedIds() const {
  std::vector<int> rows;
  for (const QItemSelectionRange& range : grid->selectionModel()->selection()) {
    for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  std::vector<std::int64_t> ids;
  ids.reserve(rows.size());
  for (const int row : rows) {
    if (const auto id = model->idAt(row)) ids.push_back(*id);
  }
  return ids;
}

void TfrmAssets::btnGoClick() {
  const std::optional<std::int64_t> id = typedId(edtSearch->text());
  if (!id || !FStore) return;
  const std::optional<int> row = model->rowOf(*id);
  if (!row) {
    const std::int64_t highest = FStore->catalog().highestId();
    lblInfo->setText(
        *id > highest
            ? QStringLiteral("Sprite %1 is beyond the last one (%2).").arg(*id).arg(highest)
            : QStringLiteral("No sheet holds sprite %1.").arg(*id));
    return;
  }
  const QModelIndex found = model->index(*row);
  grid->selectionModel()->setCurrentIndex(found, QItemSelectionModel::ClearAndSelect);
  grid->scrollTo(found, QAbstractItemView::EnsureVisible);
  const assets::TSheetEntry* const sheet = model->sheetAt(*row);
  lblInfo->setText(QStringLiteral("Sprite %1: %2 in %3")
                       .arg(*id)
                       .arg(QString::fromStdString(typeName(sheet->type)))
                       .arg(QString::fromStdString(sheet->file)));
}

void TfrmAssets::btnAddClick() {
  if (!FStore) return;
  const std::vector<std::int64_t> ids = selectedIds();
  FCommands.addSprites(*FStore, ids);
}

// Room for seven 64x64 cells across and four lines.
QSize TfrmAssets::sizeHint() const {
  const QSize cell = grid->cellSize();
  return QSize(7 * cell.width() + grid->verticalScrollBar()->sizeHint().width() + 16,
               4 * cell.height() + btnGo->sizeHint().height() + lblInfo->sizeHint().height() + 24);
}

void TfrmAssets::closeEvent(QCloseEvent* event) {
  TfrmMain& main = mainWindow();
  if (main.assetsDialog == this) main.assetsDialog = nullptr;
  event->accept();
}

void TfrmAssets::dragEnterEvent(QDragEnterEvent* event) {
  if (!event->mimeData()->hasFormat(QString::fromLatin1(kAssetIdsMimeType))) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::IgnoreAction);
  event->accept();
}

void TfrmAssets::dragMoveEvent(QDragMoveEvent* event) {
  if (!event->mimeData()->hasFormat(QString::fromLatin1(kAssetIdsMimeType))) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::IgnoreAction);
  event->accept();
}

void TfrmAssets::dropEvent(QDropEvent* event) {
  if (!event->mimeData()->hasFormat(QString::fromLatin1(kAssetIdsMimeType))) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::IgnoreAction);
  event->accept();
}

}  // namespace tess
