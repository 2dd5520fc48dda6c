#pragma once

#include <QAbstractItemView>
#include <QComboBox>
#include <QRect>
#include <QString>
#include <QStyle>
#include <cstddef>
#include <vector>

#include "core/versionCatalog.h"

namespace tess {

// An editable version combo box: the user may type, but typed text never becomes an entry.
inline QComboBox* makeVersionCombo(QWidget* parent, const QRect& geometry) {
  auto* combo = new QComboBox(parent);
  combo->setGeometry(geometry);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  return combo;
}

// Appends the names of `versions` from entry `from` on. The catalog only grows while the editor
// runs, so lists filled before keep their entries in place and only need what came since.
inline void listVersions(QComboBox& combo, const std::vector<TVersionInfo>& versions,
                         std::size_t from = 0) {
  for (std::size_t k = from; k < versions.size(); ++k) {
    combo.addItem(QString::fromStdString(versions[k].name));
  }
  // The box keeps its size, but its list shows every name whole: "10.98 (32-bit, alpha)" and
  // "10.98" must not both read "10.98 (...".
  QAbstractItemView& list = *combo.view();
  list.setTextElideMode(Qt::ElideNone);
  list.setMinimumWidth(list.sizeHintForColumn(0) + 2 * list.frameWidth() +
                       list.style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

// The position the user really chose, or -1. What the edit field shows decides: text that names
// no entry counts as no choice, even when an entry was picked before it was typed over.
inline int chosenIndex(const QComboBox& combo) {
  const QString text = combo.currentText();
  const int current = combo.currentIndex();
  if (current >= 0 && combo.itemText(current) == text) return current;
  if (text.isEmpty()) return -1;
  return combo.findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

}  // namespace tess
