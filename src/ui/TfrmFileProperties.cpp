#include "ui/TfrmFileProperties.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>

#include "core/editorCore.h"
#include "ui/TfrmMain.h"

namespace tess {

namespace {

// The labels keep their stored size. Where the font in use is wider than the one they were
// laid out for, a narrower cut of it keeps the whole text visible.
void fitToWidth(QLabel& label) {
  QFont font = label.font();
  font.setStretch(QFont::AnyStretch);
  for (const int stretch : {QFont::SemiCondensed, QFont::Condensed, QFont::ExtraCondensed}) {
    if (QFontMetrics(font).horizontalAdvance(label.text()) <= label.width()) break;
    font.setStretch(stretch);
  }
  label.setFont(font);
}

QLabel* makeLabel(QWidget* parent, const QString& text, const QRect& geometry) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(geometry);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  fitToWidth(*label);
  return label;
}

}  // namespace

QString signatureText(std::int32_t signature) {
  return QString::number(static_cast<std::uint32_t>(signature), 16).toUpper();
}

TfrmFileProperties::TfrmFileProperties(TfrmMain& main) : TChildWindow(main) {
  setFont(TfrmMain::windowFont());
  setWindowIcon(QIcon(QStringLiteral(":/images/icon-properties.png")));
  setWindowTitle(QStringLiteral("Properties"));
  setFixedSize(164, 72);

  Label2 = makeLabel(this, QStringLiteral("SPR Signature:"), QRect(8, 15, 73, 21));
  lblSprSignatureValue = makeLabel(this, QStringLiteral("0"), QRect(87, 15, 66, 21));
  Label7 = makeLabel(this, QStringLiteral("SPR Count:"), QRect(8, 42, 73, 21));
  lblSprCount = makeLabel(this, QStringLiteral("0"), QRect(87, 42, 66, 21));
}

TfrmFileProperties::~TfrmFileProperties() = default;

void TfrmFileProperties::actualize() {
  const TSpriteFile& file = mainWindow().core().spriteFile;
  lblSprSignatureValue->setText(signatureText(file.signature));
  lblSprCount->setText(QString::number(file.Sprites.size()));
  fitToWidth(*lblSprSignatureValue);
  fitToWidth(*lblSprCount);
}

void TfrmFileProperties::closeEvent(QCloseEvent* event) {
  TfrmMain& main = mainWindow();
  if (main.propertiesDialog == this) main.propertiesDialog = nullptr;
  event->accept();
}

}  // namespace tess
