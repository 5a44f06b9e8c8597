// Tandor's window. Start-up builds the problem state, the compiled functions, the methods and
// then the window; the objects go in the reverse order when the message loop ends.

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <string_view>

#include "formula/MapFunctions.h"
#include "problem/Glob.h"
#include "solvers/LocusRun.h"
#include "ui/MainWindow.h"

namespace {

// Answered before the application object exists, so that they need no display.
bool AnswerInformationOption(int argc, char **argv) {
  if (argc != 2)
    return false;
  const std::string_view option = argv[1];
  if (option == "--version") {
    std::printf("tandor %s\n", TANDOR_VERSION);
    return true;
  }
  if (option == "--help" || option == "-h") {
    std::printf("usage: tandor [FILE.tdr]\n"
                "       tandor --help | --version\n"
                "Draws the double-point locus of a map from the plane into space; FILE.tdr is\n"
                "opened at start as File > Open would. tandor-cli does the same without a\n"
                "window.\n");
    return true;
  }
  return false;
}

} // namespace

int main(int argc, char **argv) {
  if (AnswerInformationOption(argc, argv))
    return 0;
  QApplication app(argc, argv);
  // The recent files live in the user's settings under these names.
  QApplication::setOrganizationName(QStringLiteral("Tandor"));
  QApplication::setApplicationName(QStringLiteral("Tandor"));
  QApplication::setDesktopFileName(QStringLiteral("tandor"));

  const QStringList args = QApplication::arguments();
  if (args.size() > 2 || (args.size() == 2 && args[1].startsWith(QLatin1Char('-')))) {
    std::fprintf(stderr, "usage: tandor [FILE.tdr]\n       tandor --help | --version\n");
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
