#include "ui/TfrmNewFile.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QIcon>
#include <QPushButton>

#include "core/editorCore.h"
#include "ui/TfrmMain.h"
#include "ui/VersionCombo.h"

namespace tess {

TfrmNewFile::TfrmNewFile(TfrmMain& main) : TChildWindow(main) {
  setFont(TfrmMain::windowFont());
  setWindowIcon(QIcon(QStringLiteral(":/images/icon-newfile.png")));
  setWindowTitle(QStringLiteral("Select the file version:"));
  // The border is resizable; the controls keep their places.
  resize(239, 37);

  cmbVersion = makeVersionCombo(this, QRect(8, 8, 121, 21));

  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setGeometry(136, 8, 89, 21);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

  QWidget::setTabOrder(cmbVersion, Button1);
  FormCreate();
}

TfrmNewFile::~TfrmNewFile() = default;

void TfrmNewFile::FormCreate() { fillVersions(); }

void TfrmNewFile::fillVersions() {
  listAddedVersions();
  cmbVersion->setCurrentIndex(-1);
  cmbVersion->clearEditText();
}

void TfrmNewFile::listAddedVersions() {
  listVersions(*cmbVersion, mainWindow().core().versions,
               static_cast<std::size_t>(cmbVersion->count()));
}

int TfrmNewFile::chosenIndex() const { return tess::chosenIndex(*cmbVersion); }

void TfrmNewFile::Button1Click() {
  TfrmMain& main = mainWindow();
  TEditorCore& core = main.core();
  IEditorHost& host = core.host();
  const int position = chosenIndex();
  if (position < 0) {
    host.showMessage("Select the Tibia Version!", "Error!", TMsgIcon::Error);
    return;
  }
  // A new file frees every sprite, and a running load or save still works on them.
  if (core.refusedWhileBusy()) return;
  // A new file throws the edits away: the user says so first, or saves them.
  if (!core.mayDiscardChanges()) {
    main.Save1Click();
    return;
  }
  if (!core.newFile(core.versions.at(static_cast<std::size_t>(position)))) return;
  main.loadSprites();
  host.setMainTitle(core.title());
  closeWindow();
}

void TfrmNewFile::closeEvent(QCloseEvent* event) {
  TfrmMain& main = mainWindow();
  if (main.newDialog == this) main.newDialog = nullptr;
  event->accept();
}

}  // namespace tess
