#include "core/editorCore.h"

#include <filesystem>
#include <system_error>

namespace tess {

namespace {

constexpr std::size_t kMaxSprites16 = 65500;

bool sameVersion(const TVersionInfo& a, const TVersionInfo& b) noexcept {
  return a.spriteSignature == b.spriteSignature && a.sprite32 == b.sprite32 && a.alpha == b.alpha &&
         a.name == b.name;
}

std::string withTrailingSlash(std::string dir) {
  if (dir.empty()) return "./";
  if (dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace

std::string formatTitle(const std::string& versionName, bool notSaved, const std::string& path) {
  std::string title = appTitle;
  title += " (" + versionName + ")";
  if (notSaved) title += " - Not saved!";
  title += " - file: " + path;
  return title;
}

TEditorCore::TEditorCore(IEditorHost& host) : spriteFile(host), FHost(host) {}

bool TEditorCore::initEditor(const std::string& executableDir) {
  unsavedChanges = false;
  currentFileName.clear();
  currentVersion = nullptr;
  if (!spriteFile.isBusy()) {
    spriteFile.clear();
    spriteFile.loaded = false;
    spriteFile.signature = 0;
  }
  appPath = withTrailingSlash(executableDir);
  if (loadVersions()) return true;
  FHost.showMessage("Error on loading versions, correct your config.ini please.", "Error!",
                    TMsgIcon::Error);
  FHost.requestTermination();
  return false;
}

bool TEditorCore::loadVersions() {
  std::vector<TVersionInfo> read;
  if (!readVersionCatalog(appPath + "config.ini", read, &FCatalogError)) return false;
  FCatalogError.clear();
  // The current version must keep pointing at a live entry once the old list is gone.
  if (currentVersion != nullptr && currentVersion != &FOutsideVersion) {
    FOutsideVersion = *currentVersion;
    currentVersion = &FOutsideVersion;
  }
  versions = std::move(read);
  FCatalogSize = versions.size();
  if (currentVersion != nullptr) currentVersion = adoptVersion(*currentVersion);
  return true;
}

bool TEditorCore::isRunVersion(const TVersionInfo& version) const noexcept {
  const TVersionInfo* const entry = catalogEntry(version);
  return entry != nullptr && static_cast<std::size_t>(entry - versions.data()) >= FCatalogSize;
}

const TVersionInfo& TEditorCore::addRunVersion(const TVersionInfo& version) {
  for (const TVersionInfo& entry : versions) {
    if (sameVersion(entry, version)) return entry;
  }
  // The list may move as it grows; the current version is found again by its place.
  const TVersionInfo* const current = currentVersion ? catalogEntry(*currentVersion) : nullptr;
  const std::ptrdiff_t at = current ? current - versions.data() : -1;
  versions.push_back(version);
  if (at >= 0) currentVersion = &versions[static_cast<std::size_t>(at)];
  return versions.back();
}

const TVersionInfo* TEditorCore::catalogEntry(const TVersionInfo& version) const noexcept {
  for (const TVersionInfo& entry : versions) {
    if (&entry == &version) return &entry;
  }
  return nullptr;
}

const TVersionInfo* TEditorCore::adoptVersion(const TVersionInfo& version) {
  if (const TVersionInfo* entry = catalogEntry(version)) return entry;
  for (const TVersionInfo& entry : versions) {
    if (sameVersion(entry, version)) return &entry;
  }
  if (&version != &FOutsideVersion) FOutsideVersion = version;
  return &FOutsideVersion;
}

bool TEditorCore::newFile(const TVersionInfo& version) {
  if (spriteFile.isBusy()) return false;
  spriteFile.New();
  currentVersion = adoptVersion(version);
  currentFileName.clear();
  unsavedChanges = false;
  return true;
}

bool TEditorCore::openFile(const std::string& fileName, const TVersionInfo& version) {
  if (spriteFile.isBusy()) return false;
  // Copies first: the caller may hand in currentFileName or *currentVersion themselves, and the
  // entry is known by address before anything can run.
  const std::string name = fileName;
  const TVersionInfo chosen = version;
  const TVersionInfo* const entry = catalogEntry(version);
  if (!spriteFile.load(name, layoutOf(chosen))) return false;
  currentFileName = name;
  currentVersion = entry != nullptr ? entry : adoptVersion(chosen);
  unsavedChanges = false;
  return true;
}

bool TEditorCore::saveFile(const std::string& fileName, const TVersionInfo& version) {
  if (spriteFile.isBusy()) return false;
  if (!version.sprite32 && spriteFile.Sprites.size() > kMaxSprites16) {
    FHost.showMessage("This format dont support above 65500 sprites!", "Error!", TMsgIcon::Error);
    return false;
  }
  const std::string name = fileName;
  const TVersionInfo chosen = version;
  const TVersionInfo* const entry = catalogEntry(version);
  // Sprites of a file without alpha are opaque, whatever alpha an image brought with it.
  const TSprSavedAlpha alpha = currentVersion != nullptr && !currentVersion->alpha
                                   ? TSprSavedAlpha::Opaque
                                   : TSprSavedAlpha::AsItIs;
  if (!spriteFile.save(name, chosen.spriteSignature, layoutOf(chosen), alpha)) return false;
  currentFileName = name;
  currentVersion = entry != nullptr ? entry : adoptVersion(chosen);
  unsavedChanges = false;
  return true;
}

std::string TEditorCore::title() const {
  if (currentVersion == nullptr) {
    return unsavedChanges ? std::string(appTitle) + " - Not saved!" : std::string(appTitle);
  }
  return formatTitle(currentVersion->name, unsavedChanges, currentFileName);
}

void TEditorCore::setModified() { setUnsaved(true); }

void TEditorCore::setUnsaved(bool unsaved) {
  unsavedChanges = unsaved;
  FHost.setMainTitle(title());
}

bool TEditorCore::refusedWhileBusy(bool busyAnyway) const {
  if (!busyAnyway && !spriteFile.isBusy()) return false;
  FHost.showMessage("Its loading now", "Status", TMsgIcon::None);
  return true;
}

bool TEditorCore::mayDiscardChanges() const {
  return !unsavedChanges ||
         FHost.askYesNo("Are you sure you want close without saving?", "Files", TMsgIcon::Warning);
}

bool TEditorCore::closeEditor() {
  // Ending the program, or starting the Save command, in the middle of a load or a save would
  // cut the run off or start a second one on the same sprites; the user closes once it is over.
  if (refusedWhileBusy()) return false;
  if (!mayDiscardChanges()) {
    FHost.runSaveCommand();
    return false;
  }
  FHost.requestTermination();
  return true;
}

std::string executableDirectory() { return executableDirectory("/proc/self/exe"); }

std::string executableDirectory(const std::string& selfLink) {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink(selfLink, error);
  if (!error && exe.has_parent_path()) return withTrailingSlash(exe.parent_path().string());
  const std::filesystem::path here = std::filesystem::current_path(error);
  return error ? std::string("./") : withTrailingSlash(here.string());
}

}  // namespace tess
