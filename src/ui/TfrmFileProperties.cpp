#include "ui/TfrmFileProperties.h"

#include <QCloseEvent>
#include <QIcon>
#include <QLabel>

#include "core/editorCore.h"
#include "ui/TfrmMain.h"

namespace tess {

namespace {

QLabel* makeLabel(QWidget* parent, const QString& text, const QRect& geometry) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(geometry);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
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
}

void TfrmFileProperties::closeEvent(QCloseEvent* event) {
  TfrmMain& main = mainWindow();
  if (main.propertiesDialog == this) main.propertiesDialog = nullptr;
  event->accept();
}

}  // namespace tess
