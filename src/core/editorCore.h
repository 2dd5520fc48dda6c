#pragma once

#include <string>
#include <vector>

#include "core/spriteDocument.h"
#include "core/versionCatalog.h"
#include "sprite/EditorHost.h"
#include "sprite/TSpriteFile.h"

namespace tess {

// The main window's base title.
inline constexpr const char* appTitle = "Tessaline";

// appTitle + " (" + version + ")" [+ " - Not saved!"] + " - file: " + path.
std::string formatTitle(const std::string& versionName, bool notSaved, const std::string& path);

// The editing state every window shares: the one sprite file, the version catalog, the current
// version, path and unsaved flag. One instance lives for the whole run, owned by the program's
// start-up; the windows hold a reference to it.
class TEditorCore {
 public:
  explicit TEditorCore(IEditorHost& host);
  TEditorCore(const TEditorCore&) = delete;
  TEditorCore& operator=(const TEditorCore&) = delete;

  // Start-up: resets the state, takes `executableDir` (with or without a trailing '/') as
  // appPath and reads appPath + "config.ini". When the catalog cannot be read it shows
  // "Error on loading versions, correct your config.ini please.", requests termination and
  // returns false.
  [[nodiscard]] bool initEditor(const std::string& executableDir);
  // Adds a version that exists for this run only (a file whose signature the catalog lacks) at
  // the end of `versions`, or finds the same one added before, and returns it. currentVersion
  // stays valid.
  const TVersionInfo& addRunVersion(const TVersionInfo& version);
  // Whether `version` is an entry of `versions` added for this run rather than read from
  // config.ini.
  bool isRunVersion(const TVersionInfo& version) const noexcept;
  // Reads appPath + "config.ini" into `versions`. On failure the catalog held before stays
  // (empty at start-up) and catalogError() says why.
  [[nodiscard]] bool loadVersions();

  // new, open and save refuse (false, nothing changed) while the sprite file is busy with a
  // load or save: starting one would free or rewrite the sprites under the running operation.
  // saveFile also refuses above 65500 sprites for a version with 16-bit counts, with a message.
  [[nodiscard]] bool newFile(const TVersionInfo& version);
  [[nodiscard]] bool openFile(const std::string& fileName, const TVersionInfo& version);
  [[nodiscard]] bool saveFile(const std::string& fileName, const TVersionInfo& version);
  // Sets the unsaved flag and puts title() on the main window.
  void setModified();
  // Sets or clears the unsaved flag and puts title() on the main window; the edit history calls
  // it when it moves away from or back to the state last opened or saved.
  void setUnsaved(bool unsaved);
  // While a load or save runs, or when the caller knows of another reason to wait
  // (`busyAnyway`), says "Its loading now" and returns true. Every command, undo and redo asks
  // here first: starting one would change or free the sprites under the running operation.
  bool refusedWhileBusy(bool busyAnyway = false) const;
  // With unsaved changes, asks whether to throw them away ("Are you sure you want close without
  // saving?"); true when there are none or the user answers Yes.
  bool mayDiscardChanges() const;
  // While a load or save runs, refuses with "Its loading now" and returns false. With unsaved
  // changes, asks first; any answer but Yes runs the Save command and returns false. Otherwise
  // requests termination and returns true.
  [[nodiscard]] bool closeEditor();

  // The main window title for the present state: appTitle alone before any file (with
  // " - Not saved!" after an edit made before any file), else formatTitle of the current
  // version, the unsaved flag and currentFileName.
  std::string title() const;
  // Why the last loadVersions failed; empty after a success. For diagnostics only.
  const std::string& catalogError() const noexcept { return FCatalogError; }

  IEditorHost& host() const noexcept { return FHost; }

  TSpriteFile spriteFile;
  // Every edit of spriteFile's sprites goes through here.
  TSpriteDocument document{spriteFile};
  std::string currentFileName;
  // Points into `versions`; a version handed in from outside the catalog is kept as a copy, so
  // this never dangles.
  const TVersionInfo* currentVersion = nullptr;
  std::vector<TVersionInfo> versions;
  bool unsavedChanges = false;
  std::string appPath;  // ends with '/'

 private:
  const TVersionInfo* catalogEntry(const TVersionInfo& version) const noexcept;
  const TVersionInfo* adoptVersion(const TVersionInfo& version);

  IEditorHost& FHost;
  TVersionInfo FOutsideVersion;
  // How many entries of `versions` come from config.ini; the rest were added for the run.
  std::size_t FCatalogSize = 0;
  std::string FCatalogError;
};

// The directory of the running executable, with a trailing '/'.
std::string executableDirectory();
// The directory of the file the symbolic link `selfLink` names, with a trailing '/'; the current
// directory when the link cannot be read or names no directory.
std::string executableDirectory(const std::string& selfLink);

}  // namespace tess
