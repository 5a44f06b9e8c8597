#pragma once
// A canvas that remembers every call, so tests can assert exact pixels, colours and widths.

#include <string>
#include <variant>
#include <vector>

#include "solvers/Canvas.h"

namespace tandor::testing {

class RecordingCanvas : public Canvas {
public:
  struct Line {
    int x1, y1, x2, y2;
    Rgb colour;
    int width;
    PenMode mode;
  };
  struct Fill {
    PixelRect rect;
    Rgb brush;
    bool clear;
  };
  struct Pixel {
    int x, y;
    Rgb colour;
  };
  struct EllipseCall {
    int left, top, right, bottom;
    Rgb colour;
    PenMode mode;
    bool brushClear;
  };
  struct Text {
    int x, y;
    std::string text;
    FontSpec font;
  };

  std::vector<Line> lines;
  std::vector<Fill> fills;
  std::vector<Pixel> pixels;
  std::vector<EllipseCall> ellipses;
  std::vector<Text> texts;
  std::vector<PixelRect> clips;
  int clearClips = 0;
  // Every call in order, by name, for tests of ordering.
  std::vector<std::string> calls;

  void SetBrush(Rgb c) override {
    brush = c;
    brushClear = false;
    calls.push_back("SetBrush");
  }
  void SetBrushClear() override {
    brushClear = true;
    calls.push_back("SetBrushClear");
  }
  void FillRect(const PixelRect &r) override {
    fills.push_back({r, brush, brushClear});
    calls.push_back("FillRect");
  }
  void SetPen(Rgb c, int w, PenMode m) override {
    pen = c;
    penWidth = w;
    penMode = m;
    calls.push_back("SetPen");
  }
  void MoveTo(int x, int y) override {
    cx = x;
    cy = y;
    calls.push_back("MoveTo");
  }
  void LineTo(int x, int y) override {
    lines.push_back({cx, cy, x, y, pen, penWidth, penMode});
    cx = x;
    cy = y;
    calls.push_back("LineTo");
  }
  void Ellipse(int l, int t, int r, int b) override {
    ellipses.push_back({l, t, r, b, pen, penMode, brushClear});
    calls.push_back("Ellipse");
  }
  void SetPixel(int x, int y, Rgb c) override {
    pixels.push_back({x, y, c});
    calls.push_back("SetPixel");
  }
  void SetFont(const FontSpec &f) override {
    font = f;
    calls.push_back("SetFont");
  }
  void TextOut(int x, int y, std::string_view t) override {
    texts.push_back({x, y, std::string(t), font});
    calls.push_back("TextOut");
  }
  // A fixed-pitch stand-in: every character is charWidth pixels wide.
  int TextWidth(std::string_view t) override { return static_cast<int>(t.size()) * charWidth; }
  void SetClipRect(const PixelRect &r) override {
    clips.push_back(r);
    calls.push_back("SetClipRect");
  }
  void ClearClip() override {
    ++clearClips;
    calls.push_back("ClearClip");
  }

  int charWidth = 7;
  Rgb brush = White;
  bool brushClear = false;
  Rgb pen = Black;
  int penWidth = 1;
  PenMode penMode = PenMode::Copy;
  FontSpec font;
  int cx = 0, cy = 0;
};

} // namespace tandor::testing
