#pragma once

#include "artwork_catalogue.h"
#include "gif_encoder.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tess::artwork {

// Each check returns the problems it found, empty when the file is as the windows expect it.

// 8-bit RGBA, not interlaced, of the catalogued size; opaque or with a transparent ground.
QStringList checkPng(const QString& path, const PngArtwork& artwork);

// Decodes with Qt's own GIF reader, the one the program shows the animation with: two frames of
// 600 ms, looping forever, with transparent pixels. When `expected` is given every decoded
// pixel must match it.
QStringList checkLoadingGif(const QString& path, const std::optional<GifAnimation>& expected);

// All catalogued files in `folder`.
QStringList checkFolder(const QString& folder);

// The program icons in `folder`: valid files, each still what the recipe draws today, so a
// changed recipe cannot leave the installed icons behind.
QStringList checkIconFolder(const QString& folder);

}  // namespace tess::artwork
