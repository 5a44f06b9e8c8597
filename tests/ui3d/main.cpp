// The 3D view's window tests: one QApplication on an X display (tests/on-x-display gives each run
// a virtual one), and whether OpenGL 3.3 core can be had there at all.

#include <QApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <gtest/gtest.h>

#include "OpenGlAvailability.h"

namespace tandor::testing {

namespace {

QString FindNoOpenGlReason() {
  if (QGuiApplication::platformName() == QLatin1String("offscreen"))
    return QStringLiteral("no X display and no xvfb-run: Qt's offscreen platform has no OpenGL");
  QSurfaceFormat format;
  format.setVersion(3, 3);
  format.setProfile(QSurfaceFormat::CoreProfile);
  QOpenGLContext context;
  context.setFormat(format);
  if (!context.create())
    return QStringLiteral("no OpenGL context on the %1 platform")
        .arg(QGuiApplication::platformName());
  QOffscreenSurface surface;
  surface.setFormat(context.format());
  surface.create();
  if (!context.makeCurrent(&surface))
    return QStringLiteral("the OpenGL context cannot be made current");
  const auto [major, minor] = context.format().version();
  context.doneCurrent();
  if (major * 10 + minor < 33)
    return QStringLiteral("OpenGL %1.%2 only; the 3D view needs 3.3").arg(major).arg(minor);
  return {};
}

QString Reason;

} // namespace

const QString &NoOpenGlReason() {
  return Reason;
}

void FindOpenGl() {
  Reason = FindNoOpenGlReason();
}

} // namespace tandor::testing

int main(int argc, char **argv) {
  // Without any X display the program still runs, and the tests say why they skip.
  if (qgetenv("DISPLAY").isEmpty() || qgetenv("QT_QPA_PLATFORM").isEmpty())
    qputenv("QT_QPA_PLATFORM",
            qgetenv("DISPLAY").isEmpty() ? QByteArray("offscreen") : QByteArray("xcb"));
  QApplication app(argc, argv);
  tandor::testing::FindOpenGl();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
