#pragma once

#include <QUrl>
#include <functional>

#include "ui/ChildWindow.h"

class QLabel;

namespace tess {

// The product name and version, with a picture that opens the program's documentation.
class TfrmAbout : public TChildWindow {
  Q_OBJECT

 public:
  explicit TfrmAbout(TfrmMain& main);
  ~TfrmAbout() override;

  // Opens the program's documentation, the README beside the executable, in the desktop's
  // viewer. A failed request is ignored.
  void ImageClick();
  // The documentation page's address.
  QUrl documentationUrl() const;

  // How an address is handed to the desktop; replaceable so that nothing is launched in tests.
  std::function<bool(const QUrl&)> openUrl;

  QLabel* Image = nullptr;
  QLabel* lblDescription = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;  // FormClose
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace tess
