#include "ui/TfrmFileDialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMovie>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "core/editorCore.h"
#include "core/versionDetect.h"
#include "ui/EditHistory.h"
#include "ui/StatusLine.h"
#include "ui/TfrmFileProperties.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmNewFile.h"
#include "ui/VersionCombo.h"

namespace tess {

namespace {

constexpr const char* kError = "Error!";
// The bar is redrawn at most this often while a run goes on, a rate the eye can follow; the end
// of a run always shows. On a real display every redraw travels to the window server, and the
// events are processed far more often than that, for the sake of input.
constexpr qint64 kRepaintIntervalMs = 200;
// How many sprites may pass between two looks at the bar, as a fraction of the run.
constexpr std::int32_t kChecksPerRun = 1000;
// The stored frame delays run six times faster while a load or save goes on.
constexpr int kRunningSpeedPercent = 600;

// Marks a run for as long as it lives, also when the run ends with an exception. The window
// is watched, since nothing may be written into it once it is gone.
class TRunScope {
 public:
  TRunScope(QObject* window, bool& running) : FWindow(window), FRunning(running) {
    FRunning = true;
  }
  ~TRunScope() {
    if (FWindow) FRunning = false;
  }
  TRunScope(const TRunScope&) = delete;
  TRunScope& operator=(const TRunScope&) = delete;

  bool windowAlive() const { return !FWindow.isNull(); }

 private:
  QPointer<QObject> FWindow;
  bool& FRunning;
};

bool isRegularFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(std::filesystem::path(path), error);
}

// Whether saving to `target` would replace a file other than `openFile`, the one being edited.
bool replacesAnotherFile(const std::string& target, const std::string& openFile) {
  std::error_code error;
  const std::filesystem::path path(target);
  if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) return false;
  if (openFile.empty()) return true;
  const bool same = std::filesystem::equivalent(path, std::filesystem::path(openFile), error);
  return error || !same;
}

// "0.4 s": a duration as the status line gives it.
std::string secondsText(std::int64_t milliseconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s",
                static_cast<double>(std::max<std::int64_t>(milliseconds, 0)) / 1000.0);
  return text;
}

// A note when the file's signature is not the one of the version it was opened as: the user
// chose a version by hand, and a save would write another signature.
std::string signatureNote(std::int32_t signature, const TVersionInfo& openedAs,
                          const std::vector<TVersionInfo>& versions) {
  if (signature == openedAs.spriteSignature) return {};
  const std::string hex = signatureHex(signature);
  for (const TVersionInfo& version : versions) {
    if (version.spriteSignature == signature) {
      return "The file's signature " + hex + " is " + version.name + "'s, opened as " +
             openedAs.name;
    }
  }
  return "The file's signature " + hex + " is no version's in config.ini, opened as " +
         openedAs.name;
}

bool isDirectory(const std::string& path) {
  if (path.empty()) return false;
  std::error_code error;
  return std::filesystem::is_directory(std::filesystem::path(path), error);
}

}  // namespace

std::optional<TVersionInfo> detectVersionOf(const std::string& fileName,
                                            const std::vector<TVersionInfo>& versions) {
  return detectCatalogVersion(fileName, versions);
}

std::string directoryPart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

TfrmFileDialog::TfrmFileDialog(TfrmMain& main) : TChildWindow(main) {
  createControls();
  FormCreate();
}

TfrmFileDialog::~TfrmFileDialog() { stopListening(); }

void TfrmFileDialog::createControls() {
  setFont(TfrmMain::windowFont());
  setWindowIcon(QIcon(QStringLiteral(":/images/icon-filedialog.png")));
  setWindowTitle(QStringLiteral("Open..."));
  setFixedSize(424, 102);

  edtSpr = new QLineEdit(this);
  edtSpr->setGeometry(8, 8, 313, 21);

  btnSpr = new QPushButton(QStringLiteral("SPR"), this);
  btnSpr->setGeometry(327, 8, 90, 21);
  connect(btnSpr, &QPushButton::clicked, this, [this] { btnSprClick(); });

  pbSpr = new QProgressBar(this);
  pbSpr->setGeometry(8, 35, 409, 21);
  pbSpr->setOrientation(Qt::Horizontal);
  pbSpr->setTextVisible(true);
  pbSpr->setFormat(QStringLiteral("%p%"));
  pbSpr->setAlignment(Qt::AlignCenter);
  // A total of 0 would turn the bar into a busy indicator that moves on its own; 0 of 0 shows
  // as 0 of 1 instead.
  pbSpr->setRange(0, 1);
  pbSpr->setValue(0);

  btnExecute = new QPushButton(QStringLiteral("Open"), this);
  btnExecute->setGeometry(8, 62, 114, 36);
  connect(btnExecute, &QPushButton::clicked, this, [this] { btnExecuteClick(); });

  cmbVersion = makeVersionCombo(this, QRect(128, 62, 121, 21));
  cmbVersion->lineEdit()->setPlaceholderText(QStringLiteral("Select version"));

  Image = new QLabel(this);
  Image->setGeometry(385, 62, 32, 36);
  Image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  animation = new QMovie(QStringLiteral(":/images/loading.gif"), QByteArray(), this);
  animation->setCacheMode(QMovie::CacheAll);
  Image->setMovie(animation);
  animation->jumpToFrame(0);

  QWidget::setTabOrder(edtSpr, cmbVersion);
  QWidget::setTabOrder(cmbVersion, btnSpr);
  QWidget::setTabOrder(btnSpr, btnExecute);
}

void TfrmFileDialog::FormCreate() { initialize(); }

void TfrmFileDialog::initialize() {
  mainWindow().core().spriteFile.onLoadSprite.push_back(
      TonLoadSprite(this, &TfrmFileDialog::onSpriteLoad));
  FListening = true;
}

void TfrmFileDialog::stopListening() noexcept {
  if (!FListening) return;
  FListening = false;
  removeListener(mainWindow().core().spriteFile.onLoadSprite,
                 TonLoadSprite(this, &TfrmFileDialog::onSpriteLoad));
}

void TfrmFileDialog::closeEvent(QCloseEvent* event) {
  if (FRunning) {
    // The running load or save still reports to this window; it closes once the run is over.
    FClosePending = true;
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

void TfrmFileDialog::FormClose() {
  stopListening();
  TfrmMain& main = mainWindow();
  if (main.dialog == this) main.dialog = nullptr;
}

void TfrmFileDialog::enterInOpenMode() { enterMode(false); }

void TfrmFileDialog::enterInSaveMode() { enterMode(true); }

void TfrmFileDialog::enterMode(bool saving) {
  cmbVersion->clear();
  if (!saving) cmbVersion->addItem(QStringLiteral("Auto detect"));
  const TEditorCore& core = mainWindow().core();
  listVersions(*cmbVersion, core.versions);
  isSaving = saving;
  btnExecute->setText(saving ? QStringLiteral("Save") : QStringLiteral("Open"));
  cmbVersion->setCurrentIndex(-1);
  cmbVersion->clearEditText();
  // A file opened in a layout that no catalog entry has is saved in that layout unless the user
  // chooses otherwise: choosing the catalog entry of the same name would change the file.
  if (saving && core.currentVersion != nullptr && core.isRunVersion(*core.currentVersion)) {
    cmbVersion->setCurrentIndex(static_cast<int>(core.currentVersion - core.versions.data()));
  }
  setWindowTitle(saving ? QStringLiteral("Save...") : QStringLiteral("Open..."));
  resetProgress();
}

int TfrmFileDialog::chosenIndex() const { return tess::chosenIndex(*cmbVersion); }

void TfrmFileDialog::btnSprClick() {
  TFileDialogSetup& setup = isSaving ? SaveDialog : OpenDialog;
  setup.title = isSaving ? QStringLiteral("Select SPR file to save...")
                         : QStringLiteral("Select SPR file to open...");
  // File systems here tell upper from lower case, and client files are usually "Tibia.spr".
  setup.filter = QStringLiteral("SPR File (*.SPR *.spr)");
  setup.filterIndex = 1;
  setup.defaultSuffix = QStringLiteral("SPR");
  setup.fileName.clear();
  setup.multiSelect = false;
  setup.owner = this;
  IFileChooser& chooser = mainWindow().chooser();
  QString chosen;
  if (isSaving) {
    chosen = chooser.saveFile(setup);
  } else {
    const QStringList files = chooser.openFiles(setup);
    if (!files.isEmpty()) chosen = files.first();
  }
  if (!chosen.isEmpty()) edtSpr->setText(chosen);
}

bool TfrmFileDialog::detectVersion(const std::string& fileName, TVersionInfo& version) const {
  const std::optional<TVersionInfo> found = detectVersionOf(fileName, mainWindow().core().versions);
  if (!found) return false;
  version = *found;
  return true;
}

void TfrmFileDialog::btnExecuteClick() {
  IEditorHost& host = mainWindow().core().host();
  const int position = chosenIndex();
  if (position < 0) {
    host.showMessage("Select the Tibia Version!", kError, TMsgIcon::Error);
    return;
  }
  // A second run would free or rewrite the sprites the running one still works on.
  if (mainWindow().core().refusedWhileBusy(FRunning)) return;
  // Opening another file throws the edits away: the user says so first, or saves them.
  if (!isSaving && !mainWindow().core().mayDiscardChanges()) {
    mainWindow().Save1Click();
    return;
  }
  if (animation) animation->setSpeed(kRunningSpeedPercent);
  const QString path = edtSpr->text();
  if (isSaving) {
    executeSave(path, position);
  } else {
    executeOpen(path, position);
  }
}

void TfrmFileDialog::executeSave(const QString& path, int position) {
  TfrmMain& main = mainWindow();
  TEditorCore& core = main.core();
  IEditorHost& host = core.host();
  const TVersionInfo version = core.versions.at(static_cast<std::size_t>(position));
  if (!core.spriteFile.loaded) {
    host.showMessage("You Cannot save, Error!", kError, TMsgIcon::Error);
    return;
  }
  const std::string fileName = path.toStdString();
  if (!isDirectory(directoryPart(fileName))) {
    host.showMessage("The Sprite File path doesnt exists!", kError, TMsgIcon::Error);
    return;
  }
  if (replacesAnotherFile(fileName, core.currentFileName) &&
      !host.askYesNo("The file already exists. Replace it?", "Files", TMsgIcon::Warning)) {
    return;
  }

  bool saved = false;
  const std::int64_t startedAt = clockMs();
  {
    const TRunScope run(this, FRunning);
    startAnimation();
    saved = core.saveFile(fileName, version);
    if (!run.windowAlive()) return;
  }

  if (saved) {
    stopAnimation();
    main.history().markSaved();
    host.setMainTitle(core.title());
    main.statusLine().report("Saved " + counted(core.spriteFile.Sprites.size(), "sprite") + " as " +
                             version.name + " in " + secondsText(clockMs() - startedAt));
  } else {
    const std::string& reason = core.spriteFile.errorString();
    main.statusLine().report("Cannot save " + fileName +
                             (reason.empty() ? std::string() : ": " + reason));
    host.showMessage("Cannot save Sprite File!", kError, TMsgIcon::Error);
    resetProgress();
    stopAnimation();
  }
  if (FClosePending) closeWindow();
}

void TfrmFileDialog::executeOpen(const QString& path, int position) {
  TfrmMain& main = mainWindow();
  TEditorCore& core = main.core();
  IEditorHost& host = core.host();
  const std::string fileName = path.toStdString();
  if (!isRegularFile(fileName)) {
    host.showMessage("The Sprite file doesnt exists!", kError, TMsgIcon::Error);
    return;
  }

  startAnimation();
  TVersionInfo version;
  if (position == 0) {
    if (detectVersion(fileName, version)) {
      // A catalog version's signature in another layout is a version of this run, listed to
      // choose when saving.
      version = addRunVersion(version);
    } else if (!askForUnknownVersion(fileName, version)) {
      stopAnimation();
      host.showMessage("cannot auto detect this Sprite File!", kError, TMsgIcon::Error);
      return;
    }
  } else {
    version = core.versions.at(static_cast<std::size_t>(position - 1));
  }
  resetProgress();

  bool opened = false;
  const std::int64_t startedAt = clockMs();
  {
    const TRunScope run(this, FRunning);
    opened = core.openFile(fileName, version);
    if (!run.windowAlive()) return;
  }

  if (opened) {
    stopAnimation();
    main.loadSprites();
    host.setMainTitle(core.title());
    if (main.propertiesDialog) main.propertiesDialog->actualize();
    std::vector<std::string> notes;
    if (std::string note = signatureNote(core.spriteFile.signature, version, core.versions);
        !note.empty()) {
      notes.push_back(std::move(note));
    }
    main.statusLine().report("Opened " + counted(core.spriteFile.Sprites.size(), "sprite") +
                                 " as " + version.name + " in " +
                                 secondsText(clockMs() - startedAt),
                             notes);
  } else {
    const std::string& reason = core.spriteFile.errorString();
    main.statusLine().report("Cannot load " + fileName +
                             (reason.empty() ? std::string() : ": " + reason));
    host.showMessage("Cannot load Sprite file!", kError, TMsgIcon::Error);
    resetProgress();
    stopAnimation();
    // A version chosen by hand may be the wrong one; say which one reads the file.
    if (position > 0) {
      if (const auto other = versionThatReads(fileName, core.versions, layoutOf(version))) {
        // A layout no entry of the file's signature has is named as a version of this run, which
        // must then be there to choose.
        addRunVersion(*other);
        // A layout variant's name says its layout already.
        const bool variant = !catalogNameOf(*other, core.versions).empty() &&
                             catalogNameOf(*other, core.versions) != other->name;
        host.showMessage(
            "This file reads as " + other->name +
                (variant ? std::string() : " (" + describeLayout(layoutOf(*other)) + ")") +
                ". Choose that version to open it.",
            "Files", TMsgIcon::None);
      }
    }
  }
  if (FClosePending) closeWindow();
}

bool TfrmFileDialog::askForUnknownVersion(const std::string& fileName, TVersionInfo& version) {
  TEditorCore& core = mainWindow().core();
  const TSprProbe probe = probeSprFile(fileName);
  if (!probe.readable || catalogKnows(probe.signature, core.versions)) return false;
  const std::optional<TSprLayout> layout = probe.onlyLayout();
  if (!layout) return false;
  const std::string question = "No version in config.ini has the signature " +
                               signatureHex(probe.signature) + ". Open it as a file with " +
                               std::to_string(layout->countBits()) + "-bit sprite counts and " +
                               (layout->alpha ? "alpha?" : "no alpha?");
  if (!core.host().askYesNo(question, "Files", TMsgIcon::Warning)) return false;
  version = addRunVersion(unknownVersion(probe.signature, *layout));
  return true;
}

const TVersionInfo& TfrmFileDialog::addRunVersion(const TVersionInfo& version) {
  TfrmMain& main = mainWindow();
  const auto& versions = main.core().versions;
  const std::size_t listed = versions.size();
  const TVersionInfo& added = main.core().addRunVersion(version);
  listVersions(*cmbVersion, versions, listed);
  if (main.newDialog) main.newDialog->listAddedVersions();
  return added;
}

void TfrmFileDialog::startAnimation() {
  if (!animation) return;
  if (animation->state() == QMovie::NotRunning) {
    animation->start();
  } else {
    animation->setPaused(false);
  }
}

void TfrmFileDialog::stopAnimation() {
  if (animation && animation->state() == QMovie::Running) animation->setPaused(true);
}

void TfrmFileDialog::resetProgress() {
  showProgress(0);
  FNextCheck = 0;
}

void TfrmFileDialog::showProgress(std::int32_t id) {
  pbSpr->setValue(std::clamp(id, 0, std::max(FTotal, 1)));
  FShownAt = clockMs();
}

void TfrmFileDialog::onSpriteLoad(std::int32_t id, std::int32_t count) {
  if (count != FTotal) {
    FTotal = count;
    pbSpr->setMaximum(std::max(count, 1));
    FCheckStep = std::max<std::int32_t>(1, count / kChecksPerRun);
    FNextCheck = 0;
  }
  // Redrawing the bar for every sprite would cost more than reading it; it is redrawn when a
  // noticeable share of the run has passed and enough time has gone by, and always at the end.
  if (id == count ||
      (id >= FNextCheck && (!FShownAt || clockMs() - *FShownAt >= kRepaintIntervalMs))) {
    showProgress(id);
  }
  if (id >= FNextCheck) FNextCheck = std::int64_t{id} + FCheckStep;
  mainWindow().core().host().processPendingEvents();
}

}  // namespace tess
