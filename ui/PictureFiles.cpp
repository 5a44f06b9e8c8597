// DrawPictureImage, WritePngPicture, WritePngImage, WriteSvgPicture; VectorCanvas and
// ReplacementDevice, which take Qt's image and SVG writers to a file replacement.

#include "ui/PictureFiles.h"

#include <QIODevice>
#include <QPainter>
#include <QSvgGenerator>
#include <optional>
#include <string_view>

#include "problem/FileReplacement.h"
#include "ui/QtCanvas.h"

namespace tandor {

namespace {

// For vector output: whole lines instead of the raster line's pixels.
class VectorCanvas final : public Canvas {
public:
  explicit VectorCanvas(QPainter &painter) : Painter(painter), Inner(painter) {}
  void SetBrush(Rgb c) override { Inner.SetBrush(c); }
  void SetBrushClear() override { Inner.SetBrushClear(); }
  void FillRect(const PixelRect &r) override { Inner.FillRect(r); }
  void SetPen(Rgb c, int w, PenMode m) override {
    Inner.SetPen(c, w, m);
    Pen = QPen(ToQColor(c), w < 1 ? 1 : w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  }
  void MoveTo(int x, int y) override {
    Inner.MoveTo(x, y);
    Current = QPoint(x, y);
  }
  void LineTo(int x, int y) override {
    Inner.MoveTo(x, y);
    Painter.setPen(Pen);
    Painter.drawLine(Current, QPoint(x, y));
    Current = QPoint(x, y);
  }
  void Ellipse(int l, int t, int r, int b) override { Inner.Ellipse(l, t, r, b); }
  void SetPixel(int x, int y, Rgb c) override { Inner.SetPixel(x, y, c); }
  void SetFont(const FontSpec &f) override { Inner.SetFont(f); }
  void TextOut(int x, int y, std::string_view t) override { Inner.TextOut(x, y, t); }
  int TextWidth(std::string_view t) override { return Inner.TextWidth(t); }
  void SetClipRect(const PixelRect &r) override { Inner.SetClipRect(r); }
  void ClearClip() override { Inner.ClearClip(); }

private:
  QPainter &Painter;
  QtCanvas Inner;
  QPen Pen;
  QPoint Current;
};

// Qt's writers want a device: this one passes what they write on to a file replacement and
// keeps the first failure, which Qt's writers do not always report.
class ReplacementDevice final : public QIODevice {
public:
  explicit ReplacementDevice(FileReplacement &file) : File(file) { open(QIODevice::WriteOnly); }
  bool isSequential() const override { return true; }
  std::optional<FileError> Failure;

protected:
  qint64 readData(char *, qint64) override { return -1; }
  qint64 writeData(const char *data, qint64 size) override {
    if (Failure)
      return -1;
    try {
      File.Write(std::string_view(data, static_cast<std::size_t>(size)));
    } catch (const FileError &e) {
      Failure = e;
      return -1;
    }
    return size;
  }

private:
  FileReplacement &File;
};

// The target changes only when everything was written. write(device) answers whether Qt's
// writer succeeded; a failure of the file itself is reported with the system's reason.
template <class Writer>
void WriteThroughQt(const std::string &path, Writer write, const char *failure) {
  FileReplacement file(path);
  ReplacementDevice device(file);
  const bool written = write(device);
  if (device.Failure)
    throw *device.Failure;
  if (!written)
    throw FileError(path, failure);
  file.Commit();
}

bool DrawSvg(QIODevice &device, int size, PictureDrawing draw) {
  QSvgGenerator generator;
  generator.setOutputDevice(&device);
  generator.setSize(QSize(size, size));
  generator.setViewBox(QRect(0, 0, size, size));
  generator.setTitle("Double-point locus");
  QPainter painter;
  if (!painter.begin(&generator))
    return false;
  {
    VectorCanvas canvas(painter);
    canvas.SetBrush(White);
    draw(canvas, {0, 0, size, size});
  }
  return painter.end();
}

} // namespace

QImage DrawPictureImage(int size, PictureDrawing draw) {
  QImage image(size, size, QImage::Format_RGB32);
  if (image.isNull())
    return image;
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    QtCanvas canvas(painter);
    canvas.SetBrush(White);
    draw(canvas, {0, 0, size, size});
  }
  return image;
}

void WritePngPicture(const std::string &path, int size, PictureDrawing draw) {
  const QImage image = DrawPictureImage(size, draw);
  if (image.isNull())
    throw FileError(path, "there is not enough memory for a picture of this size");
  WritePngImage(path, image);
}

void WritePngImage(const std::string &path, const QImage &image) {
  WriteThroughQt(
      path, [&](QIODevice &device) { return image.save(&device, "PNG"); },
      "the picture could not be written");
}

void WriteSvgPicture(const std::string &path, int size, PictureDrawing draw) {
  WriteThroughQt(
      path, [&](QIODevice &device) { return DrawSvg(device, size, draw); },
      "the drawing could not be written");
}

} // namespace tandor
