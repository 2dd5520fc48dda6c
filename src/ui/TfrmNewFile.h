#pragma once

#include "ui/ChildWindow.h"

namespace tess {

// Chooses a client version and starts an empty sprite file in it.
class TfrmNewFile : public TChildWindow {
  Q_OBJECT

 public:
  explicit TfrmNewFile(TfrmMain& main);
  ~TfrmNewFile() override;
};

}  // namespace tess
