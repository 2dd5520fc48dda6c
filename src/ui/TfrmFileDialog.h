#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/versionCatalog.h"
#include "ui/ChildWindow.h"
#include "ui/FileChooser.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QMovie;
class QProgressBar;
class QPushButton;

namespace tess {

// Among the catalog entries whose signature equals the first four bytes of `fileName` (read as
// a little-endian signed 32-bit number), the first whose layout reads the file consistently,
// else the first of them; none when the file cannot be read, is shorter than four bytes or
// matches no entry (see detectCatalogVersion).
std::optional<TVersionInfo> detectVersionOf(const std::string& fileName,
                                            const std::vector<TVersionInfo>& versions);

// The folder part of a typed path: everything up to and including its last '/', or "" when
// there is none.
std::string directoryPart(const std::string& path);

// The window through which sprite files are opened and saved.
class TfrmFileDialog : public TChildWindow {
  Q_OBJECT

 public:
  explicit TfrmFileDialog(TfrmMain& main);
  ~TfrmFileDialog() override;

  void enterInOpenMode();
  void enterInSaveMode();

  void btnSprClick();
  void btnExecuteClick();
  bool detectVersion(const std::string& fileName, TVersionInfo& version) const;
  // Progress of the running load or save: sprite `id` of `count` is done.
  void onSpriteLoad(std::int32_t id, std::int32_t count);

  // The combo position the user really chose, or -1: typed text that names no entry counts as
  // no choice.
  int chosenIndex() const;
  // A load or save started by this window is running.
  bool isRunning() const noexcept { return FRunning; }
  // A close arrived during a run; the window closes when the run ends.
  bool isClosePending() const noexcept { return FClosePending; }

  // False in open mode, true in save mode.
  bool isSaving = false;

  QLineEdit* edtSpr = nullptr;
  QPushButton* btnSpr = nullptr;
  QProgressBar* pbSpr = nullptr;
  QPushButton* btnExecute = nullptr;
  QComboBox* cmbVersion = nullptr;
  QLabel* Image = nullptr;
  QMovie* animation = nullptr;  // shown by Image

  TFileDialogSetup OpenDialog;
  TFileDialogSetup SaveDialog;

  // Milliseconds on a steady clock; the bar's redraws during a run are spaced by it. Tests put
  // a clock of their own here.
  std::function<std::int64_t()> clockMs = [] {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::int64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  };

 protected:
  void closeEvent(QCloseEvent* event) override;  // FormClose

 private:
  void FormCreate();
  void initialize();
  void FormClose();
  void createControls();
  void enterMode(bool saving);
  void executeSave(const QString& path, int position);
  void executeOpen(const QString& path, int position);
  // For a file whose signature no catalog entry has: when the file reads as exactly one layout,
  // asks whether to open it so, as a version that exists for this run only. True with `version`
  // set when the user agrees.
  bool askForUnknownVersion(const std::string& fileName, TVersionInfo& version);
  // Adds a version for this run only and lists it here and in the new-file window.
  const TVersionInfo& addRunVersion(const TVersionInfo& version);
  void startAnimation();
  void stopAnimation();
  // Parts complete, with the bar's cache kept in step.
  void resetProgress();
  void showProgress(std::int32_t id);
  void stopListening() noexcept;

  bool FRunning = false;
  bool FClosePending = false;
  bool FListening = false;
  // What the bar shows; it is only touched when that would visibly change.
  std::int32_t FTotal = 0;
  std::int64_t FNextCheck = 0;
  std::int32_t FCheckStep = 1;
  std::optional<std::int64_t> FShownAt;  // clockMs() at the last redraw of the run
};

}  // namespace tess
