#pragma once

#include "ui/ChildWindow.h"

namespace tess {

// Shows the open file's signature and sprite count, as of its last refresh.
class TfrmFileProperties : public TChildWindow {
  Q_OBJECT

 public:
  explicit TfrmFileProperties(TfrmMain& main);
  ~TfrmFileProperties() override;

  void actualize();
};

}  // namespace tess
