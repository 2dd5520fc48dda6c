#pragma once

#include "ui/ChildWindow.h"

class QComboBox;
class QPushButton;

namespace tess {

// Chooses a client version and starts an empty sprite file in it.
class TfrmNewFile : public TChildWindow {
  Q_OBJECT

 public:
  explicit TfrmNewFile(TfrmMain& main);
  ~TfrmNewFile() override;

  // Fills the combo box with the catalog's version names; position k is catalog entry k.
  void fillVersions();
  // Lists the versions added to the catalog since (those of files opened for this run only),
  // leaving the choice as it is.
  void listAddedVersions();
  void Button1Click();
  // The combo position the user really chose, or -1: typed text that names no entry counts as
  // no choice.
  int chosenIndex() const;

  // The stored client size; the frame opens at it and the user may resize it.
  QSize sizeHint() const override { return {239, 37}; }

  QComboBox* cmbVersion = nullptr;
  QPushButton* Button1 = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;  // FormClose

 private:
  void FormCreate();
};

}  // namespace tess
