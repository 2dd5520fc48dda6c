#pragma once

#include <QObject>
#include <cstddef>

class QAction;
class QUndoStack;

namespace tess {

class TEditCommand;

// The undo history of the open file: one step per user action, on a QUndoStack. The stack's clean
// state is the state last opened or saved; whenever the history moves away from it or back to it,
// `cleanChanged` says so.
//
// The history is bounded: it always keeps the last `kKeptSteps` steps, and once the images its
// steps keep pass `kKeptBytes`, the oldest steps beyond those are let go of. A step let go of
// stays on the stack, emptied, below the floor that undo stops at. Before any of that, undone
// steps let go of what they keep only to redo faster.
class TEditHistory : public QObject {
  Q_OBJECT

 public:
  static constexpr int kKeptSteps = 100;
  static constexpr std::size_t kKeptBytes = std::size_t{512} << 20;

  explicit TEditHistory(QObject* parent = nullptr);

  QUndoStack& stack() const noexcept { return *FStack; }

  // Takes a step whose action has been carried out already.
  void push(TEditCommand* step);
  bool canUndo() const;
  bool canRedo() const;
  // The step undo or redo would take, as the Edit menu names it, e.g. "Undo Clear 200 sprites".
  QString undoText() const;
  QString redoText() const;
  void undo();
  void redo();
  // Forgets every step: a new file or another file is open.
  void reset();
  // The present state is the one on disk now.
  void markSaved();
  bool isClean() const;
  // How many steps can still be undone, and the bytes of images all steps keep.
  int undoableSteps() const;
  std::size_t heldBytes() const;

 signals:
  void cleanChanged(bool clean);
  // Something that the Edit menu shows changed.
  void changed();

 private:
  TEditCommand* step(int index) const;
  void trim();

  QUndoStack* FStack;
  int FFloor = 0;  // steps below it have been let go of
};

}  // namespace tess
