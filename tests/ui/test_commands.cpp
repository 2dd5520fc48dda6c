// The sprite editing commands (Add, Replace, Export, Clone, Clear) driven through the real main
// window, with image files written by the tests and file dialogs answered by a script.

#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QListView>
#include <QScrollBar>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "bitmap/TBitmap32.h"
#include "image/PNG.h"
#include "sprite/TSpriteFile.h"
#include "ui/EditHistory.h"
#include "ui/SpriteListModel.h"

using tess::clOpaqueBlack32;
using tess::clTransparentWhite32;
using tess::PackColor32;
using tess::TBitmap32;
using tess::TColor32;
using tess::TfrmMain;
using tess::TMsgIcon;
using tess::TSprite;
using tess::testing::EditorFixture;
using tess::testing::ScriptedChooser;

namespace {

const std::string kNoFile = "No file open!";
const std::string kCannotLoad = "Cannot load sprite image!";
const std::string kBusy = "Its loading now";

using Command = void (TfrmMain::*)();

struct NamedCommand {
  const char* name;
  Command command;
  bool fileMenu;
};

const NamedCommand kCommands[] = {
    {"Add2", &TfrmMain::Add2Click, true},
    {"Add1", &TfrmMain::Add1Click, false},
    {"Replace1", &TfrmMain::Replace1Click, true},
    {"Substituir1", &TfrmMain::Substituir1Click, false},
    {"Export1", &TfrmMain::Export1Click, true},
    {"Exportar1", &TfrmMain::Exportar1Click, false},
    {"Clone1", &TfrmMain::Clone1Click, true},
    {"Clone2", &TfrmMain::Clone2Click, false},
    {"Clear1", &TfrmMain::Clear1Click, true},
    {"Clear2", &TfrmMain::Clear2Click, false},
};

const NamedCommand& commandNamed(const QString& name) {
  for (const NamedCommand& c : kCommands) {
    if (name == QLatin1String(c.name)) return c;
  }
  qFatal("unknown command");
}

// A picture whose every pixel differs from its neighbours; every seventh pixel is transparent
// white, the others opaque, so that it survives PNG export and import unchanged.
TColor32 patternPixel(int x, int y) {
  if ((x + 3 * y) % 7 == 0) return clTransparentWhite32;
  return PackColor32(static_cast<std::uint8_t>(x * 7 + 1), static_cast<std::uint8_t>(y * 11 + 2),
                     static_cast<std::uint8_t>((x + y) * 3 + 5), 0xFF);
}

TBitmap32 patternBitmap(int width, int height, int shift = 0) {
  TBitmap32 bitmap;
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) bitmap.FBits()[y * width + x] = patternPixel(x + shift, y);
  }
  return bitmap;
}

// What a sprite made from a width x height pattern holds: the pattern at (0, 0), cut to 32x32,
// on opaque black.
std::vector<TColor32> expectedSprite(int width, int height, int shift = 0) {
  std::vector<TColor32> pixels(32 * 32, clOpaqueBlack32);
  for (int y = 0; y < std::min(height, 32); ++y) {
    for (int x = 0; x < std::min(width, 32); ++x) pixels[y * 32 + x] = patternPixel(x + shift, y);
  }
  return pixels;
}

std::vector<TColor32> filled(TColor32 colour) { return std::vector<TColor32>(32 * 32, colour); }

std::vector<TColor32> pixelsOf(const TBitmap32& bitmap) {
  return std::vector<TColor32>(bitmap.FBits(), bitmap.FBits() + bitmap.pixelCount());
}

// The 32x32 pixels of a sprite, or nothing when it has no bitmap of that size.
std::optional<std::vector<TColor32>> spritePixels(const TSprite* sprite) {
  if (!sprite || !sprite->bitmap || sprite->bitmap->Width() != 32 ||
      sprite->bitmap->Height() != 32) {
    return std::nullopt;
  }
  return pixelsOf(*sprite->bitmap);
}

QString writePng(const EditorFixture& f, const QString& name, int width, int height,
                 int shift = 0) {
  const QString path = f.path(name);
  tess::savePngFile(patternBitmap(width, height, shift), path.toStdString());
  return path;
}

QString writeBytes(const EditorFixture& f, const QString& name, const QByteArray& bytes) {
  const QString path = f.path(name);
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
  return path;
}

void put16(QByteArray& b, int at, std::uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}

void put32(QByteArray& b, int at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A plain 32-bit top-down BMP of the pattern, magenta at (1, 0); `keepPixels` cuts the pixel
// data short.
QByteArray plainBmp(int width, int height, int keepPixels = -1) {
  const int pixels = keepPixels < 0 ? width * height : keepPixels;
  QByteArray b(54 + pixels * 4, '\0');
  b[0] = 'B';
  b[1] = 'M';
  put32(b, 2, static_cast<std::uint32_t>(b.size()));
  put32(b, 10, 54);
  put32(b, 14, 40);
  put32(b, 18, static_cast<std::uint32_t>(width));
  put32(b, 22, static_cast<std::uint32_t>(-height));
  put16(b, 26, 1);
  put16(b, 28, 32);
  for (int i = 0; i < pixels; ++i) {
    const TColor32 c =
        (i == 1) ? tess::clMagenta32 : patternPixel(i % width, i / width) | 0xFF000000u;
    put32(b, 54 + i * 4, c);
  }
  return b;
}

void selectRows(EditorFixture& f, std::initializer_list<int> rows) {
  QItemSelection selection;
  for (int row : rows) {
    const QModelIndex index = f.main->spriteListModel->index(row);
    selection.select(index, index);
  }
  f.main->SpriteListBox->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

std::vector<int> selected(const EditorFixture& f) { return f.main->getSelectedItems(); }

// Points itemIndex at `row` the way the user does: a right-button press on it.
void rightClickRow(EditorFixture& f, int row) {
  QListView& list = *f.main->SpriteListBox;
  const QModelIndex index = f.main->spriteListModel->index(row);
  list.scrollTo(index);
  f.main->SpriteListBoxMouseDown(Qt::RightButton, list.visualRect(index).center());
  QCOMPARE(f.main->itemIndex, row);
}

TSprite* spriteAt(EditorFixture& f, int row) { return f.main->spriteListModel->spriteAt(row); }

// The list rows, SpritesIndex and Sprites agree: row k shows entry k, whose ID is k + 1.
bool inStep(const EditorFixture& f) {
  const auto& sprites = f.core.spriteFile.Sprites;
  const int rows = f.main->spriteListModel->rowCount();
  if (static_cast<std::size_t>(rows) != sprites.size()) return false;
  if (f.main->SpritesIndex.size() != sprites.size()) return false;
  for (std::size_t k = 0; k < sprites.size(); ++k) {
    if (f.main->SpritesIndex[k] != sprites[k].get()) return false;
    if (sprites[k]->ID() != static_cast<std::int32_t>(k + 1)) return false;
  }
  return true;
}

bool modifiedShown(const EditorFixture& f) {
  return f.core.unsavedChanges && f.main->windowTitle().contains(" - Not saved!");
}

// Forgets an earlier change, to see whether the next command marks the file again.
void markSaved(EditorFixture& f) {
  f.core.unsavedChanges = false;
  f.main->history().markSaved();
  f.main->setWindowTitle(QString::fromStdString(f.core.title()));
}

// Paints the list now, as the screen would.
void paintList(EditorFixture& f) { (void)f.main->SpriteListBox->viewport()->grab(); }

// Calls one command from inside a running load or save, the way a menu click does while the
// operation lets events through.
class CommandDuringWork {
 public:
  CommandDuringWork(EditorFixture& f, Command command) : FFixture(f), FCommand(command) {}
  void onSprite(std::int32_t, std::int32_t) {
    if (FDone) return;
    FDone = true;
    spritesBefore = FFixture.core.spriteFile.Sprites.size();
    busy = FFixture.core.spriteFile.isBusy();
    (FFixture.main.get()->*FCommand)();
    spritesAfter = FFixture.core.spriteFile.Sprites.size();
  }
  bool busy = false;
  std::size_t spritesBefore = 0;
  std::size_t spritesAfter = 0;

 private:
  EditorFixture& FFixture;
  Command FCommand;
  bool FDone = false;
};

}  // namespace

class CommandsTest : public QObject {
  Q_OBJECT

 private slots:
  // With no file, the File-menu forms say so and the context-menu forms stay silent; no dialog
  // is shown either way.
  void noFileOpen_data() {
    QTest::addColumn<QString>("command");
    for (const NamedCommand& c : kCommands) QTest::newRow(c.name) << QString(c.name);
  }
  void noFileOpen() {
    QFETCH(QString, command);
    const NamedCommand& c = commandNamed(command);
    EditorFixture f;
    f.main->itemIndex = 0;
    (f.main.get()->*c.command)();
    QVERIFY(f.chooser.calls.empty());
    if (c.fileMenu) {
      QCOMPARE(f.host.messages.size(), std::size_t(1));
      QCOMPARE(f.host.last()->text, kNoFile);
      QCOMPARE(f.host.last()->caption, std::string("Error!"));
      QCOMPARE(f.host.last()->icon, TMsgIcon::Error);
    } else {
      QVERIFY(f.host.messages.empty());
    }
    QVERIFY(!f.core.unsavedChanges);
  }

  // Add: one 32x32 picture appends sprite 11 as row 10, selected with the earlier selection,
  // holding the picture's pixels; the dialog allows several files and keeps name and filter.
  void addOnePicture() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    const QString png = writePng(f, "one.png", 32, 32);
    selectRows(f, {3});
    f.main->opendialog.fileName = "earlier.png";
    f.main->opendialog.filterIndex = 2;
    f.main->opendialog.owner = f.main.get();
    f.chooser.openAnswers.push_back({{png}});
    f.main->Add2Click();

    QCOMPARE(f.chooser.calls.size(), std::size_t(1));
    const ScriptedChooser::Call& call = f.chooser.calls[0];
    QCOMPARE(call.kind, ScriptedChooser::Kind::Open);
    QVERIFY(call.setup.multiSelect);
    QCOMPARE(call.setup.fileName, QString("earlier.png"));
    QCOMPARE(call.setup.filterIndex, 2);
    QCOMPARE(call.setup.owner, static_cast<QWidget*>(nullptr));
    QCOMPARE(call.setup.filter, QString("PNG File (*.png);;Bitmap File (*.bmp)"));

    QVERIFY(f.host.messages.empty());
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(11));
    QVERIFY(inStep(f));
    const TSprite* added = spriteAt(f, 10);
    QCOMPARE(added->ID(), 11);
    QVERIFY(!added->isDUmmy);
    QCOMPARE(spritePixels(added), std::optional(expectedSprite(32, 32)));
    QCOMPARE(selected(f), (std::vector<int>{3, 10}));
    QVERIFY(modifiedShown(f));
    QCOMPARE(f.main->spriteListModel->data(f.main->spriteListModel->index(10)).toString(),
             QString("   "));
  }

  // A picture of another size lands at (0, 0) on opaque black, cut to 32x32; both forms of Add.
  void addPictureSizes_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    for (const char* name : {"Add2", "Add1"}) {
      QTest::addRow("%s 40x20", name) << QString(name) << 40 << 20;
      QTest::addRow("%s 10x10", name) << QString(name) << 10 << 10;
      QTest::addRow("%s 20x45", name) << QString(name) << 20 << 45;
      QTest::addRow("%s 1x1", name) << QString(name) << 1 << 1;
    }
  }
  void addPictureSizes() {
    QFETCH(QString, command);
    QFETCH(int, width);
    QFETCH(int, height);
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    f.chooser.openAnswers.push_back({{writePng(f, "pic.png", width, height)}});
    (f.main.get()->*commandNamed(command).command)();
    QVERIFY(f.host.messages.empty());
    QVERIFY(inStep(f));
    QCOMPARE(spritePixels(spriteAt(f, 10)), std::optional(expectedSprite(width, height)));
    QVERIFY(modifiedShown(f));
  }

  // Several files are appended in the dialog's order; a plain 32-bit BMP comes in with its
  // magenta keyed out.
  void addSeveralFilesInOrder() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    const QString a = writePng(f, "a.png", 32, 32, 0);
    const QString bmp = writeBytes(f, "b.bmp", plainBmp(8, 4));
    const QString c = writePng(f, "c.png", 12, 40, 5);
    f.chooser.openAnswers.push_back({{a, bmp, c}});
    f.main->Add2Click();
    QVERIFY(f.host.messages.empty());
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(13));
    QVERIFY(inStep(f));
    QCOMPARE(spritePixels(spriteAt(f, 10)), std::optional(expectedSprite(32, 32)));
    std::vector<TColor32> fromBmp(32 * 32, clOpaqueBlack32);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 8; ++x) fromBmp[y * 32 + x] = patternPixel(x, y) | 0xFF000000u;
    }
    fromBmp[1] = clTransparentWhite32;
    QCOMPARE(spritePixels(spriteAt(f, 11)), std::optional(fromBmp));
    QCOMPARE(spritePixels(spriteAt(f, 12)), std::optional(expectedSprite(12, 40, 5)));
    QCOMPARE(selected(f), (std::vector<int>{10, 11, 12}));
  }

  // Three files with a bad second one: the first is appended, the message is shown once and
  // the third is not read; the file counts as modified.
  void addStopsAtBadFile_data() {
    QTest::addColumn<QByteArray>("bad");
    QTest::addColumn<QString>("name");
    QTest::newRow("corrupt png") << QByteArray("\x89PNG\r\n\x1a\nnot really") << "bad.png";
    QTest::newRow("garbage bmp") << QByteArray(
                                        "not a bitmap at all, long enough to pass 54 "
                                        "bytes of header checks.............")
                                 << "bad.bmp";
    QTest::newRow("truncated bmp") << plainBmp(40, 20, 300) << "short.bmp";
    QTest::newRow("missing png") << QByteArray() << "";
  }
  void addStopsAtBadFile() {
    QFETCH(QByteArray, bad);
    QFETCH(QString, name);
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    const QString first = writePng(f, "first.png", 32, 32);
    const QString second = name.isEmpty() ? f.path("missing.png") : writeBytes(f, name, bad);
    const QString third = writePng(f, "third.png", 32, 32, 9);
    selectRows(f, {2});
    f.chooser.openAnswers.push_back({{first, second, third}});
    std::size_t spritesWhenShown = 0;
    f.host.onMessage = [&](const tess::testing::ShownMessage&) {
      spritesWhenShown = f.core.spriteFile.Sprites.size();
    };
    f.main->Add2Click();
    QCOMPARE(f.host.messages.size(), std::size_t(1));
    QCOMPARE(f.host.last()->text, kCannotLoad);
    QCOMPARE(f.host.last()->caption, std::string("Error!"));
    QCOMPARE(f.host.last()->icon, TMsgIcon::Error);
    QCOMPARE(spritesWhenShown, std::size_t(11));
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(11));
    QVERIFY(inStep(f));
    QCOMPARE(spritePixels(spriteAt(f, 10)), std::optional(expectedSprite(32, 32)));
    QCOMPARE(selected(f), (std::vector<int>{2, 10}));
    QVERIFY(modifiedShown(f));
  }

  // A first file that cannot be read adds nothing and changes nothing.
  void addFirstFileBad() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    f.chooser.openAnswers.push_back(
        {{writeBytes(f, "bad.png", "nope"), writePng(f, "ok.png", 4, 4)}});
    f.main->Add1Click();
    QCOMPARE(f.host.lastText(), kCannotLoad);
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(10));
    QVERIFY(inStep(f));
    QVERIFY(!f.core.unsavedChanges);
  }

  // The decoder is chosen by what a file holds, and only when that says nothing by its name: a
  // PNG named .bmp and a BMP in a folder named png are read; a file that is neither is refused
  // with the message, and nothing is added for it.
  void addChoosesTheDecoderByContent() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    QVERIFY(QDir(f.dir()).mkdir(QStringLiteral("png")));
    const QString png = writePng(f, "p.png", 20, 10);
    const QString pngNamedBmp = f.path("picture.bmp");
    QVERIFY(QFile::copy(png, pngNamedBmp));
    const QString bmpInPngFolder = writeBytes(f, "png/picture.bmp", plainBmp(8, 4));
    f.chooser.openAnswers.push_back({{pngNamedBmp, bmpInPngFolder}});
    f.main->Add2Click();
    QVERIFY(f.host.messages.empty());
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(12));
    QCOMPARE(spritePixels(spriteAt(f, 10)), std::optional(expectedSprite(20, 10)));
    QCOMPARE(spriteAt(f, 11)->bitmap->GetPixel(0, 0), patternPixel(0, 0) | 0xFF000000u);
    QCOMPARE(spriteAt(f, 11)->bitmap->GetPixel(1, 0), clTransparentWhite32);  // keyed out

    const QString gif = writeBytes(f, "a.gif", "GIF89a");
    f.chooser.openAnswers.push_back({{gif}});
    f.main->Add2Click();
    QCOMPARE(f.host.lastText(), kCannotLoad);
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(12));
    QVERIFY(inStep(f));
  }

  void addCancelled() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    selectRows(f, {1});
    f.main->Add2Click();
    QCOMPARE(f.chooser.calls.size(), std::size_t(1));
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(10));
    QVERIFY(inStep(f));
    QCOMPARE(selected(f), (std::vector<int>{1}));
    QVERIFY(!f.core.unsavedChanges);
  }

  // A new file has no rows; the first Add makes sprite 1 in row 0.
  void addToNewFile() {
    EditorFixture f;
    f.newFile();
    f.chooser.openAnswers.push_back({{writePng(f, "p.png", 32, 32)}});
    f.main->Add2Click();
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(1));
    QVERIFY(inStep(f));
    QCOMPARE(selected(f), (std::vector<int>{0}));
    QVERIFY(f.main->windowTitle().endsWith(" - Not saved! - file: "));
  }

  // File-menu Replace gives the i-th file to the i-th selected row: surplus rows keep their
  // images and surplus files are ignored.
  void replacePairsFilesWithRows_data() {
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<int>("files");
    QTest::addColumn<QList<int>>("replaced");
    QTest::newRow("three rows, two files") << QList<int>{0, 2, 3} << 2 << QList<int>{0, 2};
    QTest::newRow("one row, three files") << QList<int>{6} << 3 << QList<int>{6};
    QTest::newRow("two rows, two files") << QList<int>{1, 7} << 2 << QList<int>{1, 7};
  }
  void replacePairsFilesWithRows() {
    QFETCH(QList<int>, rows);
    QFETCH(int, files);
    QFETCH(QList<int>, replaced);
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    QStringList paths;
    for (int i = 0; i < files; ++i) {
      paths << writePng(f, QString("r%1.png").arg(i), 32, 32, 10 * (i + 1));
    }
    QItemSelection selection;
    for (int row : rows)
      selection.select(f.main->spriteListModel->index(row), f.main->spriteListModel->index(row));
    f.main->SpriteListBox->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    f.main->opendialog.fileName = "left.png";
    f.main->opendialog.filterIndex = 2;
    f.chooser.openAnswers.push_back({paths});
    f.main->Replace1Click();

    const ScriptedChooser::Call& call = f.chooser.calls.at(0);
    QCOMPARE(call.setup.fileName, QString());
    QCOMPARE(call.setup.filterIndex, 1);
    QVERIFY(call.setup.multiSelect);
    QCOMPARE(call.setup.owner, static_cast<QWidget*>(f.main.get()));

    QVERIFY(f.host.messages.empty());
    for (int row = 0; row < 10; ++row) {
      const int at = static_cast<int>(replaced.indexOf(row));
      const auto expected = at >= 0 ? expectedSprite(32, 32, 10 * (at + 1))
                                    : filled(tess::testing::testSpriteColour(row + 1));
      if (row % 5 == 4 && at < 0) {
        QVERIFY(spriteAt(f, row)->isDUmmy);
        continue;
      }
      QVERIFY(!spriteAt(f, row)->isDUmmy);
      QCOMPARE(spritePixels(spriteAt(f, row)), std::optional(expected));
    }
    QCOMPARE(selected(f), std::vector<int>(rows.begin(), rows.end()));
    QVERIFY(modifiedShown(f));
    QVERIFY(inStep(f));
  }

  // An empty sprite replaced from either menu becomes a sprite with the image; a picture of
  // another size is fitted to 32x32 the way Add fits it.
  void replaceFitsAndFillsEmpty_data() {
    QTest::addColumn<bool>("fileMenu");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    for (bool fileMenu : {true, false}) {
      const char* form = fileMenu ? "Replace1" : "Substituir1";
      QTest::addRow("%s empty sprite", form) << fileMenu << 4 << 32 << 32;
      QTest::addRow("%s empty sprite 40x20", form) << fileMenu << 4 << 40 << 20;
      QTest::addRow("%s sprite 40x20", form) << fileMenu << 1 << 40 << 20;
      QTest::addRow("%s sprite 10x10", form) << fileMenu << 2 << 10 << 10;
    }
  }
  void replaceFitsAndFillsEmpty() {
    QFETCH(bool, fileMenu);
    QFETCH(int, row);
    QFETCH(int, width);
    QFETCH(int, height);
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    selectRows(f, {row});
    if (!fileMenu) {
      selectRows(f, {0});
      rightClickRow(f, row);
    }
    f.main->opendialog.fileName = "left.png";
    f.main->opendialog.filterIndex = 2;
    f.main->opendialog.multiSelect = !fileMenu;
    f.chooser.openAnswers.push_back({{writePng(f, "p.png", width, height)}});
    fileMenu ? f.main->Replace1Click() : f.main->Substituir1Click();
    QVERIFY(f.host.messages.empty());
    const tess::TFileDialogSetup& setup = f.chooser.calls.at(0).setup;
    QCOMPARE(setup.multiSelect, fileMenu);
    QCOMPARE(setup.fileName, QString());
    QCOMPARE(setup.filterIndex, 1);
    QCOMPARE(setup.owner, static_cast<QWidget*>(f.main.get()));
    QVERIFY(!spriteAt(f, row)->isDUmmy);
    QCOMPARE(spritePixels(spriteAt(f, row)), std::optional(expectedSprite(width, height)));
    QCOMPARE(selected(f), (fileMenu ? std::vector<int>{row} : std::vector<int>{0, row}));
    QVERIFY(modifiedShown(f));
  }

  // A picture that cannot be read: the File-menu form says so and stops, rows replaced before
  // keep their new images; the context-menu form stays silent. The sprite keeps what it had,
  // and an empty sprite does not turn into a cleared one that Clear would show.
  void replaceWithUnreadablePicture() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    const QString good = writePng(f, "good.png", 32, 32, 3);
    const QString bad = writeBytes(f, "bad.png", "broken");
    selectRows(f, {0, 1, 4});
    f.chooser.openAnswers.push_back({{good, bad, good}});
    f.main->Replace1Click();
    QCOMPARE(f.host.messages.size(), std::size_t(1));
    QCOMPARE(f.host.lastText(), kCannotLoad);
    QCOMPARE(f.host.last()->icon, TMsgIcon::Error);
    QCOMPARE(spritePixels(spriteAt(f, 0)), std::optional(expectedSprite(32, 32, 3)));
    QCOMPARE(spritePixels(spriteAt(f, 1)),
             std::optional(filled(tess::testing::testSpriteColour(2))));
    QVERIFY(spriteAt(f, 4)->isDUmmy);
    QVERIFY(modifiedShown(f));

    markSaved(f);
    f.host.clearMessages();
    rightClickRow(f, 4);
    f.chooser.openAnswers.push_back({{bad}});
    f.main->Substituir1Click();
    QVERIFY(f.host.messages.empty());
    QVERIFY(spriteAt(f, 4)->isDUmmy);
    QVERIFY(!spriteAt(f, 4)->bitmap);
    QVERIFY(!f.core.unsavedChanges);
    f.main->Clear2Click();
    QVERIFY(spriteAt(f, 4)->isDUmmy);
  }

  // A BMP read error goes to the general error report, for both forms; the sprite keeps its
  // 32x32 image even though the reader had resized its picture before failing.
  void replaceBmpErrorIsReported_data() {
    QTest::addColumn<bool>("fileMenu");
    QTest::addColumn<int>("row");
    QTest::newRow("Replace1 sprite") << true << 1;
    QTest::newRow("Replace1 empty") << true << 4;
    QTest::newRow("Substituir1 sprite") << false << 1;
    QTest::newRow("Substituir1 empty") << false << 4;
  }
  void replaceBmpErrorIsReported() {
    QFETCH(bool, fileMenu);
    QFETCH(int, row);
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    const auto before = spritePixels(spriteAt(f, row));
    const bool wasEmpty = spriteAt(f, row)->isDUmmy;
    selectRows(f, {row});
    rightClickRow(f, row);
    f.chooser.openAnswers.push_back({{writeBytes(f, "short.bmp", plainBmp(40, 20, 300))}});
    fileMenu ? f.main->Replace1Click() : f.main->Substituir1Click();
    QCOMPARE(f.host.messages.size(), std::size_t(1));
    QVERIFY(f.host.lastText() != kCannotLoad);
    QVERIFY(QString::fromStdString(f.host.lastText()).contains("BMP"));
    QCOMPARE(f.host.last()->caption, std::string("Error!"));
    QCOMPARE(f.host.last()->icon, TMsgIcon::Error);
    QCOMPARE(spriteAt(f, row)->isDUmmy, wasEmpty);
    QCOMPARE(spritePixels(spriteAt(f, row)), before);
    QVERIFY(!f.core.unsavedChanges);
  }

  // A file that is neither a PNG nor a BMP replaces nothing: the message, and the sprites as
  // they were.
  void replaceWithANonImageKeepsTheSprite() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    const QString gif = writeBytes(f, "a.gif", "GIF89a");
    selectRows(f, {0, 1, 4});
    const auto before = spritePixels(spriteAt(f, 0));
    f.chooser.openAnswers.push_back({{gif, gif, gif}});
    f.main->Replace1Click();
    QCOMPARE(f.host.lastText(), kCannotLoad);
    QCOMPARE(f.host.messages.size(), std::size_t(1));
    QCOMPARE(spritePixels(spriteAt(f, 0)), before);
    QVERIFY(spriteAt(f, 4)->isDUmmy);
    QVERIFY(!f.core.unsavedChanges);
    QVERIFY(!f.main->history().canUndo());
  }

  // Cancelling changes nothing; with no row selected the dialog is not even shown.
  void replaceCancelledOrNothingSelected() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    f.main->Replace1Click();
    QVERIFY(f.chooser.calls.empty());
    selectRows(f, {2});
    f.main->Replace1Click();
    QCOMPARE(f.chooser.calls.size(), std::size_t(1));
    rightClickRow(f, 3);
    f.main->Substituir1Click();
    QCOMPARE(f.chooser.calls.size(), std::size_t(2));
    QVERIFY(!f.chooser.calls[1].setup.multiSelect);
    QVERIFY(f.host.messages.empty());
    QVERIFY(!f.core.unsavedChanges);
    QCOMPARE(selected(f), (std::vector<int>{2}));
    // A left press forgets the row: the context-menu form then shows no dialog.
    f.main->SpriteListBoxMouseDown(Qt::LeftButton, QPoint(5, 5));
    f.main->Substituir1Click();
    QCOMPARE(f.chooser.calls.size(), std::size_t(2));
  }

  // Export writes <folder>/<ID>.png for every selected sprite that is not empty, replacing a
  // file of that name; the files read back to the same pixels.
  void exportSelected_data() {
    QTest::addColumn<bool>("trailingSeparator");
    QTest::newRow("folder") << false;
    QTest::newRow("folder/") << true;
  }
  void exportSelected() {
    QFETCH(bool, trailingSeparator);
    EditorFixture f;
    std::vector<std::unique_ptr<TSprite>> sprites;
    for (int id = 1; id <= 6; ++id) {
      sprites.push_back(
          id == 4 ? tess::testing::makeEmptySprite(id)
                  : tess::testing::makeFilledSprite(id, tess::testing::testSpriteColour(id)));
    }
    // A transparent pixel and a pattern, to see that the PNG holds each pixel.
    TColor32* bits = sprites[2]->bitmap->FBits();
    for (int i = 0; i < 32 * 32; ++i) bits[i] = patternPixel(i % 32, i / 32);
    const QString spr = f.path("six.spr");
    QVERIFY(tess::testing::writeSprFile(spr, std::move(sprites), 0x439D5A33u, false));
    QVERIFY(f.openFile(spr));

    QDir(f.dir()).mkdir("out");
    const QString out = f.path("out");
    writeBytes(f, "out/3.png", "old contents");
    selectRows(f, {2, 3, 4});
    f.chooser.folderAnswers.push_back(trailingSeparator ? out + "/" : out);
    f.main->Export1Click();

    const ScriptedChooser::Call& call = f.chooser.calls.at(0);
    QCOMPARE(call.kind, ScriptedChooser::Kind::Folder);
    QCOMPARE(call.prompt, QString("Select the directory..."));
    QCOMPARE(call.setup.owner, static_cast<QWidget*>(nullptr));
    QVERIFY(f.host.messages.empty());
    QCOMPARE(QDir(out).entryList(QDir::Files), (QStringList{"3.png", "5.png"}));
    for (int row : {2, 4}) {
      TBitmap32 back;
      const TSprite* sprite = spriteAt(f, row);
      QVERIFY(tess::loadPngFile(back, (out + QString("/%1.png").arg(sprite->ID())).toStdString()));
      QCOMPARE(back.Width(), 32);
      QCOMPARE(back.Height(), 32);
      QCOMPARE(pixelsOf(back), *spritePixels(sprite));
    }
    QVERIFY(!f.core.unsavedChanges);
    QCOMPARE(selected(f), (std::vector<int>{2, 3, 4}));
  }

  // Export shows the folder picker also without a selection; cancelling writes nothing.
  void exportWithoutSelectionOrFolder() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    QDir(f.dir()).mkdir("out");
    f.chooser.folderAnswers.push_back(f.path("out"));
    f.main->Export1Click();
    QCOMPARE(f.chooser.calls.size(), std::size_t(1));
    selectRows(f, {0});
    f.main->Export1Click();  // cancelled
    QCOMPARE(f.chooser.calls.size(), std::size_t(2));
    QVERIFY(QDir(f.path("out")).entryList(QDir::Files).isEmpty());
    QVERIFY(QDir(f.dir()).entryList({"*.png"}, QDir::Files).isEmpty());
    QVERIFY(f.host.messages.empty());
  }

  // The context-menu Export writes the right-clicked sprite where the save dialog says, without
  // asking before replacing; an empty sprite shows no dialog at all.
  void exportOneSprite() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    rightClickRow(f, 4);
    f.main->Exportar1Click();
    QVERIFY(f.chooser.calls.empty());

    rightClickRow(f, 2);
    const QString target = writeBytes(f, "chosen.png", "old");
    f.chooser.saveAnswers.push_back({target});
    f.main->Exportar1Click();
    const ScriptedChooser::Call& call = f.chooser.calls.at(0);
    QCOMPARE(call.kind, ScriptedChooser::Kind::Save);
    QVERIFY(!call.setup.confirmOverwrite);
    QCOMPARE(call.setup.defaultSuffix, QString("png"));
    QCOMPARE(call.setup.filter, QString("*.png"));
    QCOMPARE(call.setup.title, QString("Escolha o local para salvar o arquivo spr!"));
    QCOMPARE(call.setup.owner, static_cast<QWidget*>(nullptr));
    TBitmap32 back;
    QVERIFY(tess::loadPngFile(back, target.toStdString()));
    QCOMPARE(pixelsOf(back), *spritePixels(spriteAt(f, 2)));
    QVERIFY(f.host.messages.empty());
    QVERIFY(!f.core.unsavedChanges);
  }

  // Clone of rows 0 and 2 in a file of 10 appends sprites 11 and 12 as rows 10 and 11; the
  // sources and the copies end up selected.
  void cloneSelectedRows() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    selectRows(f, {0, 2});
    f.main->Clone1Click();
    QVERIFY(f.host.messages.empty());
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(12));
    QVERIFY(inStep(f));
    QCOMPARE(spriteAt(f, 10)->ID(), 11);
    QCOMPARE(spriteAt(f, 11)->ID(), 12);
    QCOMPARE(spritePixels(spriteAt(f, 10)), spritePixels(spriteAt(f, 0)));
    QCOMPARE(spritePixels(spriteAt(f, 11)), spritePixels(spriteAt(f, 2)));
    QVERIFY(spriteAt(f, 10)->bitmap.get() != spriteAt(f, 0)->bitmap.get());
    QCOMPARE(selected(f), (std::vector<int>{0, 2, 10, 11}));
    QVERIFY(modifiedShown(f));
  }

  // An empty sprite clones to an empty one; a cleared sprite clones to an empty one without
  // image, which Clear does not turn into a picture.
  void cloneEmptyAndCleared() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    selectRows(f, {0});
    f.main->Clear1Click();
    QVERIFY(spriteAt(f, 0)->isDUmmy);
    QVERIFY(spriteAt(f, 0)->bitmap);
    selectRows(f, {0, 4});
    f.main->Clone1Click();
    QVERIFY(inStep(f));
    for (int row : {10, 11}) {
      QVERIFY(spriteAt(f, row)->isDUmmy);
      QVERIFY(!spriteAt(f, row)->bitmap);
    }
    selectRows(f, {10});
    f.main->Clear1Click();
    QVERIFY(spriteAt(f, 10)->isDUmmy);
    QVERIFY(!spriteAt(f, 10)->bitmap);

    rightClickRow(f, 0);
    f.main->Clone2Click();
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(13));
    QVERIFY(spriteAt(f, 12)->isDUmmy);
    QVERIFY(!spriteAt(f, 12)->bitmap);
    QVERIFY(inStep(f));
  }

  // A painted row's sprite is copied with the blend rule over transparent white; a sprite never
  // painted is copied exactly.
  void cloneFollowsDrawMode() {
    EditorFixture f;
    QVERIFY(f.openTestFile(60));
    const TColor32 half = PackColor32(16, 32, 48, 128);
    const TColor32 clear = PackColor32(0, 0, 0, 0);
    for (int row : {0, 50}) {
      TColor32* bits = spriteAt(f, row)->bitmap->FBits();
      bits[0] = half;
      bits[1] = clear;
    }
    paintList(f);
    QCOMPARE(spriteAt(f, 0)->bitmap->DrawMode, tess::dmBlend);
    QCOMPARE(spriteAt(f, 50)->bitmap->DrawMode, tess::dmOpaque);

    selectRows(f, {0, 50});
    f.main->Clone1Click();
    QVERIFY(inStep(f));
    std::vector<TColor32> painted = *spritePixels(spriteAt(f, 0));
    // 0x80102030 over transparent white, worked by hand: each channel is
    // (dest * 128 + source * 128 + 128) div 256, so alpha 64, red 136, green 144, blue 152.
    painted[0] = 0x40889098u;
    painted[1] = clTransparentWhite32;
    QCOMPARE(spritePixels(spriteAt(f, 60)), std::optional(painted));
    QVERIFY(tess::AlphaOf(painted[0]) < 128 && tess::AlphaOf(painted[0]) > 0);
    QCOMPARE(spritePixels(spriteAt(f, 61)), spritePixels(spriteAt(f, 50)));
  }

  // The context-menu Clone appends the copy, selects it in addition and makes the last row the
  // focus row, in view; with no row under the last press it only moves the focus.
  void cloneOneSprite() {
    EditorFixture f;
    QVERIFY(f.openTestFile(30));
    selectRows(f, {5});
    rightClickRow(f, 1);
    f.main->Clone2Click();
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(31));
    QVERIFY(inStep(f));
    QCOMPARE(spritePixels(spriteAt(f, 30)), spritePixels(spriteAt(f, 1)));
    QCOMPARE(selected(f), (std::vector<int>{5, 30}));
    QListView& list = *f.main->SpriteListBox;
    QCOMPARE(list.currentIndex().row(), 30);
    QVERIFY(list.viewport()->rect().contains(list.visualRect(list.currentIndex())));
    QVERIFY(modifiedShown(f));

    markSaved(f);
    list.scrollToTop();
    selectRows(f, {2});
    f.main->SpriteListBoxMouseDown(Qt::LeftButton, QPoint(1, 1));
    f.main->Clone2Click();
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(31));
    QCOMPARE(selected(f), (std::vector<int>{2}));
    QCOMPARE(list.currentIndex().row(), 30);
    QVERIFY(list.viewport()->rect().contains(list.visualRect(list.currentIndex())));
    QVERIFY(!f.core.unsavedChanges);
  }

  // Clear toggles a sprite with an image between shown and hidden and leaves one without
  // an image empty; each Clear marks the file modified.
  void clearToggles_data() {
    QTest::addColumn<bool>("fileMenu");
    QTest::newRow("Clear1") << true;
    QTest::newRow("Clear2") << false;
  }
  void clearToggles() {
    QFETCH(bool, fileMenu);
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    const auto image = spritePixels(spriteAt(f, 2));
    const auto clearRow = [&](int row) {
      markSaved(f);
      if (fileMenu) {
        selectRows(f, {row});
        f.main->Clear1Click();
      } else {
        selectRows(f, {});
        rightClickRow(f, row);
        f.main->Clear2Click();
        QCOMPARE(selected(f), std::vector<int>{row});
      }
      QVERIFY(modifiedShown(f));
    };
    clearRow(2);
    QVERIFY(spriteAt(f, 2)->isDUmmy);
    QCOMPARE(spritePixels(spriteAt(f, 2)), image);
    clearRow(2);
    QVERIFY(!spriteAt(f, 2)->isDUmmy);
    QCOMPARE(spritePixels(spriteAt(f, 2)), image);
    for (int i = 0; i < 2; ++i) {
      clearRow(4);
      QVERIFY(spriteAt(f, 4)->isDUmmy);
      QVERIFY(!spriteAt(f, 4)->bitmap);
    }
    QVERIFY(f.host.messages.empty());
    QVERIFY(inStep(f));
  }

  // Clear of several rows at once, and nothing at all without a selection.
  void clearSeveralAndNone() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    f.main->Clear1Click();
    QVERIFY(!f.core.unsavedChanges);
    selectRows(f, {0, 4, 6});
    f.main->Clear1Click();
    QVERIFY(spriteAt(f, 0)->isDUmmy);
    QVERIFY(spriteAt(f, 4)->isDUmmy);
    QVERIFY(spriteAt(f, 6)->isDUmmy);
    QVERIFY(!spriteAt(f, 1)->isDUmmy);
    QCOMPARE(selected(f), (std::vector<int>{0, 4, 6}));
    QVERIFY(modifiedShown(f));
  }

  // What each command leaves selected and whether it marks the file modified, starting from
  // rows 1 and 3 selected and a right-click on row 6.
  void selectionAndModified_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QList<int>>("selection");
    QTest::addColumn<bool>("modified");
    QTest::newRow("Add2") << "Add2" << QList<int>{1, 3, 10} << true;
    QTest::newRow("Add1") << "Add1" << QList<int>{1, 3, 10} << true;
    QTest::newRow("Replace1") << "Replace1" << QList<int>{1, 3} << true;
    QTest::newRow("Substituir1") << "Substituir1" << QList<int>{1, 3, 6} << true;
    QTest::newRow("Export1") << "Export1" << QList<int>{1, 3} << false;
    QTest::newRow("Exportar1") << "Exportar1" << QList<int>{1, 3} << false;
    QTest::newRow("Clone1") << "Clone1" << QList<int>{1, 3, 10, 11} << true;
    QTest::newRow("Clone2") << "Clone2" << QList<int>{1, 3, 10} << true;
    QTest::newRow("Clear1") << "Clear1" << QList<int>{1, 3} << true;
    QTest::newRow("Clear2") << "Clear2" << QList<int>{1, 3, 6} << true;
  }
  void selectionAndModified() {
    QFETCH(QString, command);
    QFETCH(QList<int>, selection);
    QFETCH(bool, modified);
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    const QString png = writePng(f, "p.png", 32, 32);
    f.chooser.openAnswers.push_back({{png}});
    f.chooser.saveAnswers.push_back({f.path("one.png")});
    f.chooser.folderAnswers.push_back(f.dir());
    rightClickRow(f, 6);
    selectRows(f, {1, 3});
    (f.main.get()->*commandNamed(command).command)();
    QVERIFY(f.host.messages.empty());
    QCOMPARE(selected(f), std::vector<int>(selection.begin(), selection.end()));
    QCOMPARE(modifiedShown(f), modified);
    QVERIFY(inStep(f));
  }

  // While a save or a load runs, every command is refused with a message and changes nothing;
  // the save or load itself ends well.
  void refusedWhileBusy_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("duringSave");
    for (const NamedCommand& c : kCommands) {
      QTest::addRow("%s during save", c.name) << QString(c.name) << true;
      QTest::addRow("%s during load", c.name) << QString(c.name) << false;
    }
  }
  void refusedWhileBusy() {
    QFETCH(QString, command);
    QFETCH(bool, duringSave);
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    const auto before = spritePixels(spriteAt(f, 0));
    selectRows(f, {0, 1});
    f.main->itemIndex = 0;
    f.chooser.openAnswers.push_back({{writePng(f, "p.png", 32, 32)}});
    f.chooser.saveAnswers.push_back({f.path("one.png")});
    f.chooser.folderAnswers.push_back(f.dir());

    CommandDuringWork work(f, commandNamed(command).command);
    f.core.spriteFile.onLoadSprite.push_back(
        tess::TonLoadSprite(&work, &CommandDuringWork::onSprite));
    const tess::TVersionInfo version = f.core.versions.at(0);
    const QString other = f.path("saved.spr");
    const bool ok = duringSave ? f.core.saveFile(other.toStdString(), version)
                               : f.core.openFile(f.path("test.spr").toStdString(), version);
    tess::removeListener(f.core.spriteFile.onLoadSprite,
                         tess::TonLoadSprite(&work, &CommandDuringWork::onSprite));
    QVERIFY(ok);
    QVERIFY(work.busy);
    QCOMPARE(work.spritesAfter, work.spritesBefore);
    QVERIFY(f.chooser.calls.empty());
    QCOMPARE(f.host.messages.size(), std::size_t(1));
    QCOMPARE(f.host.last()->text, kBusy);
    QCOMPARE(f.host.last()->caption, std::string("Status"));
    QCOMPARE(f.host.last()->icon, TMsgIcon::None);
    if (duringSave) {
      QVERIFY(inStep(f));
      QCOMPARE(spritePixels(spriteAt(f, 0)), before);
      QVERIFY(!spriteAt(f, 0)->isDUmmy);
      QVERIFY(!QDir(f.dir()).exists("0.png") && !QDir(f.dir()).exists("1.png"));
    }
  }

  // A mix of edits, saved and opened again, gives back exactly the edited sprites.
  void editsSurviveSaveAndReload() {
    EditorFixture f;
    QVERIFY(f.openTestFile(10));
    // Add a 40x20 and a 10x10 picture: sprites 11 and 12.
    f.chooser.openAnswers.push_back(
        {{writePng(f, "wide.png", 40, 20), writePng(f, "small.png", 10, 10, 4)}});
    f.main->Add2Click();
    // Replace sprite 2 and the empty sprite 5.
    selectRows(f, {1, 4});
    f.chooser.openAnswers.push_back(
        {{writePng(f, "r1.png", 32, 32, 8), writePng(f, "r2.png", 50, 50, 12)}});
    f.main->Replace1Click();
    // Clone sprites 3 and 11: sprites 13 and 14.
    selectRows(f, {2, 10});
    f.main->Clone1Click();
    // Clear sprite 4; clear sprite 6 twice.
    selectRows(f, {3, 5});
    f.main->Clear1Click();
    rightClickRow(f, 5);
    f.main->Clear2Click();
    QVERIFY(f.host.messages.empty());
    QVERIFY(inStep(f));

    std::map<int, std::optional<std::vector<TColor32>>> expected;
    for (int id = 1; id <= 14; ++id) expected[id] = filled(tess::testing::testSpriteColour(id));
    expected[2] = expectedSprite(32, 32, 8);
    expected[4] = std::nullopt;
    expected[5] = expectedSprite(50, 50, 12);
    expected[10] = std::nullopt;
    expected[11] = expectedSprite(40, 20);
    expected[12] = expectedSprite(10, 10, 4);
    expected[13] = expected[3];
    expected[14] = expected[11];

    const QString saved = f.path("edited.spr");
    QVERIFY(f.core.saveFile(saved.toStdString(), f.core.versions.at(0)));
    QVERIFY(!f.core.unsavedChanges);
    QVERIFY(f.openFile(saved));
    QCOMPARE(f.core.spriteFile.Sprites.size(), std::size_t(14));
    QVERIFY(inStep(f));
    for (const auto& [id, pixels] : expected) {
      const TSprite* sprite = f.core.spriteFile.GetSpriteByID(id);
      QVERIFY2(sprite, qPrintable(QString::number(id)));
      QCOMPARE(sprite->isDUmmy, !pixels.has_value());
      if (pixels) QCOMPARE(spritePixels(sprite), pixels);
    }
  }
};

TESS_UI_TEST_MAIN(CommandsTest)
#include "test_commands.moc"
