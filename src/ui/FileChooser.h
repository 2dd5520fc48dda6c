#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace tess {

// How a file dialog is set up. The main window keeps one of each kind for the whole run, so what
// the user last chose in them (file name, filter) carries over between uses.
struct TFileDialogSetup {
  QString title;
  QString filter;       // Qt filter text, entries separated by ";;"
  int filterIndex = 1;  // 1-based, the entry selected when the dialog opens
  QString defaultSuffix;
  QString fileName;  // pre-filled name; the dialog writes the chosen one back
  bool multiSelect = false;
  bool confirmOverwrite = true;
  QWidget* owner = nullptr;  // nullptr: the platform default
};

// Every file and folder dialog of the program goes through this, so tests replace it with a
// scripted one.
class IFileChooser {
 public:
  virtual ~IFileChooser() = default;
  // The chosen files, in the dialog's order; empty when cancelled. Updates setup.fileName and
  // setup.filterIndex as the user left them.
  virtual QStringList openFiles(TFileDialogSetup& setup) = 0;
  // The chosen path; empty when cancelled.
  virtual QString saveFile(TFileDialogSetup& setup) = 0;
  // The chosen folder; empty when cancelled.
  virtual QString folder(const QString& prompt, QWidget* owner) = 0;
  // A whole number between `minimum` and `maximum`, offered as `value`; nullopt when cancelled.
  // Choosers that have no such dialog take the value offered.
  virtual std::optional<int> number(const QString& title, const QString& label, int value,
                                    int minimum, int maximum, QWidget* owner) {
    (void)title, (void)label, (void)minimum, (void)maximum, (void)owner;
    return value;
  }
};

// The real dialogs.
class QtFileChooser : public IFileChooser {
 public:
  QStringList openFiles(TFileDialogSetup& setup) override;
  QString saveFile(TFileDialogSetup& setup) override;
  QString folder(const QString& prompt, QWidget* owner) override;
  std::optional<int> number(const QString& title, const QString& label, int value, int minimum,
                            int maximum, QWidget* owner) override;
};

}  // namespace tess
