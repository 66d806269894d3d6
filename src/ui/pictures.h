// The banner's pictures, drawn by the program itself so that it ships no image files.
#pragma once

#include <QPixmap>

namespace lilan {

enum class BannerPicture { Save, Contact, Home, Help, More, Logo, Collector };

// A picture for a banner button of `width` × `height` pixels (64 × 64, the logo 145 × 64).
QPixmap bannerPicture(BannerPicture which, int width, int height);

} // namespace lilan
