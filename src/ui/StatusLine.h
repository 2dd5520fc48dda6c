#pragma once

#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/wording.h"

class QLabel;
class QStatusBar;

namespace tess {

// The main window's status line: what the last command did, in one line, with the notes it
// gathered on the way (an image padded to 32x32, a picture that came in fully transparent). The
// message boxes stay as they are; this only adds.
class TStatusLine {
 public:
  explicit TStatusLine(QStatusBar& bar);

  // Shows `summary`, then each of `notes`, replacing what the line showed.
  void report(const std::string& summary, const std::vector<std::string>& notes = {});
  // The lines of the last report, summary first; empty before the first.
  const QStringList& lines() const noexcept { return FLines; }

 private:
  QLabel* FText = nullptr;
  QStringList FLines;
};

// "5 sprites (IDs 20001–20005)", "1 sprite (ID 7)": the sprites first..first+count-1.
std::string spriteRange(std::size_t count, std::int32_t first);

}  // namespace tess
