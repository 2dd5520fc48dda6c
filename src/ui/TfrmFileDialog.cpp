#include "ui/TfrmFileDialog.h"

namespace tess {

// Placeholder until the window is built.
TfrmFileDialog::TfrmFileDialog(TfrmMain& main) : TChildWindow(main) {}
TfrmFileDialog::~TfrmFileDialog() = default;
void TfrmFileDialog::enterInOpenMode() {}
void TfrmFileDialog::enterInSaveMode() {}

}  // namespace tess
