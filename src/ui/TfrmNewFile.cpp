#include "ui/TfrmNewFile.h"

namespace tess {

// Placeholder until the window is built.
TfrmNewFile::TfrmNewFile(TfrmMain& main) : TChildWindow(main) {}
TfrmNewFile::~TfrmNewFile() = default;

}  // namespace tess
