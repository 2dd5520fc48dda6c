#pragma once

#include <QImage>

#include <array>

namespace tess::artwork {

// Every picture is drawn from scratch with QPainter; the results are premultiplied ARGB32.

QImage background();  // 700 x 500, opaque

QImage menuNew();  // 32 x 32 menu pictures
QImage menuOpen();
QImage menuSave();
QImage menuProperties();

QImage iconMain();  // 32 x 32 window icons
QImage iconFileDialog();
QImage iconNewFile();
QImage iconProperties();

QImage aboutEmblem();  // 300 x 300, transparent around the emblem

// The program icon at `size` x `size` pixels, drawn for that size: iconMain() is the 32-pixel one.
QImage programIcon(int size);

// The two frames of the busy animation, 32 x 32 with a transparent background.
std::array<QImage, 2> loadingFrames();

}  // namespace tess::artwork
