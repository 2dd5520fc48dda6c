#include "ui/TfrmAbout.h"

namespace tess {

// Placeholder until the window is built.
TfrmAbout::TfrmAbout(TfrmMain& main) : TChildWindow(main) {}
TfrmAbout::~TfrmAbout() = default;

}  // namespace tess
