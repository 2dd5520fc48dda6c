#pragma once

#include "ui/ChildWindow.h"

namespace tess {

// The window through which sprite files are opened and saved.
class TfrmFileDialog : public TChildWindow {
  Q_OBJECT

 public:
  explicit TfrmFileDialog(TfrmMain& main);
  ~TfrmFileDialog() override;

  void enterInOpenMode();
  void enterInSaveMode();
};

}  // namespace tess
