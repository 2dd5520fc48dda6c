#pragma once

#include <QPainterPath>

namespace tess::artwork {

enum class Motif { Sword, Potion, Shield, Gem, Key, Heart };

inline constexpr int kMotifCount = 6;

// The item silhouettes of the background and the emblem: one filled shape, about 24 units high,
// centred on the origin, with its inner details cut out so a single colour still reads.
QPainterPath motifPath(Motif motif);

}  // namespace tess::artwork
