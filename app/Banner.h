// The window's banner: a 357 x 52 picture with a 256-colour palette, drawn by
// code so that the program carries no image files.
#pragma once

#include <QImage>

namespace tessaline {

inline constexpr int kBannerWidth = 357;
inline constexpr int kBannerHeight = 52;

// An 8-bit indexed image of kBannerWidth x kBannerHeight.
QImage MakeBannerImage();

}  // namespace tessaline
