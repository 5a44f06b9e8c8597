#pragma once
// The locus picture as an image, a PNG file or an SVG file (DrawPictureImage, WritePngPicture,
// WriteSvgPicture): one drawing routine, handed in by the caller, for the window's Export
// Picture and Copy Picture and tandor-cli's --png and --svg. QtGui and QtSvg only; files go
// through a file replacement, so a failed write leaves the old target as it was.

#include <QImage>
#include <string>

#include "base/PixelRect.h"
#include "base/RoutineRef.h"
#include "solvers/Canvas.h"

namespace tandor {

// The largest picture asked for: 16384 x 16384 pixels take a gigabyte.
inline constexpr int MaxPictureSize = 16384;

// Draws the picture so that it fills rect (white behind the locus).
using PictureDrawing = RoutineRef<void(Canvas &, const PixelRect &)>;

// size x size pixels, as the window shows them at 400; a null image when memory runs out.
QImage DrawPictureImage(int size, PictureDrawing draw);

// Throw FileError naming path, with the system's reason where there is one.
void WritePngPicture(const std::string &path, int size, PictureDrawing draw);
// A picture made otherwise (the 3D view's) as a PNG file, the same way.
void WritePngImage(const std::string &path, const QImage &image);
// Vector graphics: the locus as whole lines in a size x size view box.
void WriteSvgPicture(const std::string &path, int size, PictureDrawing draw);

} // namespace tandor
