#pragma once

#include <string>
#include <vector>

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
  bool initEditor(const std::string& executableDir);
  bool loadVersions();

  bool newFile(const TVersionInfo& version);
  bool openFile(const std::string& fileName, const TVersionInfo& version);
  bool saveFile(const std::string& fileName, const TVersionInfo& version);
  void setModified();
  bool closeEditor();

  IEditorHost& host() const noexcept { return FHost; }

  TSpriteFile spriteFile;
  std::string currentFileName;
  const TVersionInfo* currentVersion = nullptr;  // points into `versions`
  std::vector<TVersionInfo> versions;
  bool unsavedChanges = false;
  std::string appPath;  // ends with '/'

 private:
  IEditorHost& FHost;
};

// The directory of the running executable, with a trailing '/'.
std::string executableDirectory();

}  // namespace tess
