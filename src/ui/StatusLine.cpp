#include "ui/StatusLine.h"

#include <QLabel>
#include <QStatusBar>

namespace tess {

namespace {

// Between the summary and the notes; a narrow window elides the end, and the tooltip keeps all.
const QString kSeparator = QStringLiteral("  \u00b7  ");

}  // namespace

TStatusLine::TStatusLine(QStatusBar& bar) : FText(new QLabel(&bar)) {
  FText->setTextFormat(Qt::PlainText);
  FText->setObjectName(QStringLiteral("statusText"));
  bar.addWidget(FText, 1);
  bar.setSizeGripEnabled(true);
}

void TStatusLine::report(const std::string& summary, const std::vector<std::string>& notes) {
  FLines.clear();
  FLines << QString::fromStdString(summary);
  for (const std::string& note : notes) FLines << QString::fromStdString(note);
  FText->setText(FLines.join(kSeparator));
  FText->setToolTip(FLines.size() > 1 ? FLines.join(QLatin1Char('\n')) : QString());
}

std::string spriteRange(std::size_t count, std::int32_t first) {
  if (count == 1) return "1 sprite (ID " + std::to_string(first) + ")";
  const std::int64_t last = std::int64_t{first} + static_cast<std::int64_t>(count) - 1;
  return counted(count, "sprite") + " (IDs " + std::to_string(first) + "\u2013" +
         std::to_string(last) + ")";
}

}  // namespace tess
