#include "ui/FileChooser.h"

#include <QFileDialog>
#include <QInputDialog>

namespace tess {

namespace {

// Qt names filters by their text; the program keeps a 1-based position.
QString filterAt(const QString& filter, int index) {
  const QStringList entries = filter.split(QStringLiteral(";;"), Qt::SkipEmptyParts);
  if (index < 1 || index > entries.size()) return entries.isEmpty() ? QString() : entries.first();
  return entries.at(index - 1);
}

int positionOf(const QString& filter, const QString& chosen) {
  const QStringList entries = filter.split(QStringLiteral(";;"), Qt::SkipEmptyParts);
  const int at = static_cast<int>(entries.indexOf(chosen));
  return at < 0 ? 1 : at + 1;
}

void prepare(QFileDialog& dialog, const TFileDialogSetup& setup) {
  dialog.setWindowTitle(setup.title);
  if (!setup.filter.isEmpty()) {
    dialog.setNameFilters(setup.filter.split(QStringLiteral(";;"), Qt::SkipEmptyParts));
    dialog.selectNameFilter(filterAt(setup.filter, setup.filterIndex));
  }
  dialog.setDefaultSuffix(setup.defaultSuffix);
  if (!setup.fileName.isEmpty()) dialog.selectFile(setup.fileName);
}

void remember(const QFileDialog& dialog, TFileDialogSetup& setup, const QString& chosen) {
  setup.fileName = chosen;
  if (!setup.filter.isEmpty())
    setup.filterIndex = positionOf(setup.filter, dialog.selectedNameFilter());
}

}  // namespace

QStringList QtFileChooser::openFiles(TFileDialogSetup& setup) {
  QFileDialog dialog(setup.owner);
  prepare(dialog, setup);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(setup.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  if (!files.isEmpty()) remember(dialog, setup, files.first());
  return files;
}

QString QtFileChooser::saveFile(TFileDialogSetup& setup) {
  QFileDialog dialog(setup.owner);
  prepare(dialog, setup);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !setup.confirmOverwrite);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return {};
  remember(dialog, setup, files.first());
  return files.first();
}

QString QtFileChooser::folder(const QString& prompt, QWidget* owner) {
  // Folders only, no button for making a new one, and nothing preselected.
  return QFileDialog::getExistingDirectory(owner, prompt, QString(),
                                           QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly);
}

std::optional<int> QtFileChooser::number(const QString& title, const QString& label, int value,
                                         int minimum, int maximum, QWidget* owner) {
  bool ok = false;
  const int chosen = QInputDialog::getInt(owner, title, label, value, minimum, maximum, 1, &ok);
  if (!ok) return std::nullopt;
  return chosen;
}

}  // namespace tess
