#include "ui/TfrmFileProperties.h"

namespace tess {

// Placeholder until the window is built.
TfrmFileProperties::TfrmFileProperties(TfrmMain& main) : TChildWindow(main) {}
TfrmFileProperties::~TfrmFileProperties() = default;
void TfrmFileProperties::actualize() {}

}  // namespace tess
