#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

#include "ui/ChildWindow.h"

class QLabel;

namespace tess {

// A signature as the window shows it: the 32 bits as an unsigned number in upper-case
// hexadecimal, without prefix or leading zeros (0 -> "0", -1 -> "FFFFFFFF").
QString signatureText(std::int32_t signature);

// Shows the open file's signature and sprite count, as of its last refresh.
class TfrmFileProperties : public TChildWindow {
  Q_OBJECT

 public:
  explicit TfrmFileProperties(TfrmMain& main);
  ~TfrmFileProperties() override;

  // Reads the signature and the sprite count from the sprite file.
  void actualize();

  QLabel* Label2 = nullptr;
  QLabel* lblSprSignatureValue = nullptr;
  QLabel* Label7 = nullptr;
  QLabel* lblSprCount = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;  // FormClose
};

}  // namespace tess
