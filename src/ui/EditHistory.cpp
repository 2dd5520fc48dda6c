#include "ui/EditHistory.h"

#include <QUndoStack>

#include "ui/EditCommands.h"

namespace tess {

TEditHistory::TEditHistory(QObject* parent) : QObject(parent), FStack(new QUndoStack(this)) {
  connect(FStack, &QUndoStack::cleanChanged, this, &TEditHistory::cleanChanged);
  connect(FStack, &QUndoStack::indexChanged, this, &TEditHistory::changed);
}

TEditCommand* TEditHistory::step(int index) const {
  // Every command on the stack is one of ours; the stack only hands them out as const.
  return static_cast<TEditCommand*>(const_cast<QUndoCommand*>(FStack->command(index)));
}

void TEditHistory::push(TEditCommand* step) {
  FStack->push(step);
  trim();
  emit changed();
}

bool TEditHistory::canUndo() const { return FStack->index() > FFloor; }

bool TEditHistory::canRedo() const { return FStack->canRedo(); }

QString TEditHistory::undoText() const {
  if (!canUndo()) return QStringLiteral("Undo");
  return QStringLiteral("Undo ") + FStack->undoText();
}

QString TEditHistory::redoText() const {
  if (!canRedo()) return QStringLiteral("Redo");
  return QStringLiteral("Redo ") + FStack->redoText();
}

void TEditHistory::undo() {
  if (!canUndo()) return;
  FStack->undo();
  trim();
}

void TEditHistory::redo() {
  if (!canRedo()) return;
  FStack->redo();
  trim();
}

void TEditHistory::reset() {
  FStack->clear();
  FFloor = 0;
  emit changed();
}

void TEditHistory::markSaved() { FStack->setClean(); }

bool TEditHistory::isClean() const { return FStack->isClean(); }

int TEditHistory::undoableSteps() const { return FStack->index() - FFloor; }

std::size_t TEditHistory::heldBytes() const {
  std::size_t bytes = 0;
  for (int i = FFloor; i < FStack->count(); ++i) bytes += step(i)->heldBytes();
  return bytes;
}

void TEditHistory::trim() {
  std::size_t bytes = heldBytes();
  // What undone steps keep only to redo faster goes before any step that can still be undone.
  for (int i = FStack->index(); bytes > kKeptBytes && i < FStack->count(); ++i) {
    bytes -= step(i)->dropCache();
  }
  while (bytes > kKeptBytes && FStack->index() - FFloor > kKeptSteps) {
    TEditCommand* const oldest = step(FFloor);
    bytes -= oldest->heldBytes();
    oldest->release();
    ++FFloor;
  }
}

}  // namespace tess
