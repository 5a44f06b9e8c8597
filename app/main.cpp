// Tandor's window. Start-up builds the problem state, the compiled functions, the methods and
// then the window; the objects go in the reverse order when the message loop ends.

#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "formula/MapFunctions.h"
#include "problem/Glob.h"
#include "solvers/LocusRun.h"
#include "ui/MainWindow.h"

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tandor"));
  QApplication::setDesktopFileName(QStringLiteral("tandor"));

  const QStringList args = QApplication::arguments();
  if (args.size() > 2 || (args.size() == 2 && args[1].startsWith(QLatin1Char('-')))) {
    std::fprintf(stderr, "usage: tandor [FILE.tdr]\n");
    return 2;
  }

  tandor::Glob glob;
  tandor::MapFunctions map;
  tandor::LocusSolvers locus;
  tandor::TTandor window(glob, map, locus);
  window.show();
  if (args.size() == 2) {
    const QString file = args[1];
    QTimer::singleShot(0, &window, [&window, file] { window.OpenDataFile(file); });
  }
  return QApplication::exec();
}
