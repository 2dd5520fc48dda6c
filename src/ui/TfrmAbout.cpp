#include "ui/TfrmAbout.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFontInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <algorithm>

#include "core/editorCore.h"
#include "ui/TfrmMain.h"

namespace tess {

namespace {

// Franklin Gothic Medium 11 px where installed, else the window's own font.
QFont labelFont() {
  QFont font(QStringLiteral("Franklin Gothic Medium"));
  font.setPixelSize(11);
  if (QFontInfo(font).exactMatch()) return font;
  return TfrmMain::windowFont();
}

// The labels size themselves to their text, so a wider fallback font never cuts a word off;
// the stored width is the least they take.
QLabel* makeLabel(QWidget* parent, const QString& text, const QRect& geometry) {
  auto* label = new QLabel(text, parent);
  label->setFont(labelFont());
  const int needed = label->fontMetrics().horizontalAdvance(text);
  label->setGeometry(geometry.x(), geometry.y(), std::max(geometry.width(), needed),
                     geometry.height());
  return label;
}

}  // namespace

TfrmAbout::TfrmAbout(TfrmMain& main)
    : TChildWindow(main), openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
  setFont(TfrmMain::windowFont());
  setWindowTitle(QStringLiteral("About"));
  setFixedSize(238, 87);

  Image = new QLabel(this);
  Image->setGeometry(8, 8, 82, 81);
  Image->setAlignment(Qt::AlignCenter);
  const QPixmap picture(QStringLiteral(":/images/about.png"));
  if (!picture.isNull()) {
    Image->setPixmap(picture.scaled(Image->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
  }
  Image->setCursor(Qt::PointingHandCursor);
  Image->setToolTip(QStringLiteral("Open the Tessaline documentation (README.md)"));
  Image->installEventFilter(this);

  lblDescription = makeLabel(this, QStringLiteral("Tessaline "), QRect(96, 16, 109, 15));
  Label1 = makeLabel(this, QStringLiteral("Version 1.0"), QRect(96, 37, 54, 15));
  Label2 = makeLabel(this, QStringLiteral("By the Tessaline team"), QRect(96, 60, 138, 15));
}

TfrmAbout::~TfrmAbout() = default;

QUrl TfrmAbout::documentationUrl() const {
  return QUrl::fromLocalFile(QString::fromStdString(mainWindow().core().appPath + "README.md"));
}

void TfrmAbout::ImageClick() {
  if (openUrl) static_cast<void>(openUrl(documentationUrl()));
}

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Image && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && Image->rect().contains(mouse->position().toPoint())) {
      ImageClick();
      return true;
    }
  }
  return TChildWindow::eventFilter(watched, event);
}

void TfrmAbout::closeEvent(QCloseEvent* event) {
  TfrmMain& main = mainWindow();
  if (main.aboutDialog == this) main.aboutDialog = nullptr;
  event->accept();
}

}  // namespace tess
