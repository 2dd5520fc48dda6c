#pragma once

#include "ui/ChildWindow.h"

namespace tess {

// The product name and version, with a picture that opens the program's documentation.
class TfrmAbout : public TChildWindow {
  Q_OBJECT

 public:
  explicit TfrmAbout(TfrmMain& main);
  ~TfrmAbout() override;
};

}  // namespace tess
