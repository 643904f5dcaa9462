// velmo: the front end's program.
#include <QApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/dvd/dvd_trace.h"
#include "frontend/app/main_app.h"
#include "frontend/model/engine_process.h"
#include "platform/version.h"

namespace {

void Usage(FILE* out) {
  std::fputs(
      "Usage: velmo [--exit-after-init] [--load-dvd PATH] [--profile NAME] [--out DIR]\n"
      "             [--convert-checked] [--exit-when-done] [--screenshot FILE.png] [PATH]\n"
      "The DVD converter's windowed front end.\n"
      "  PATH               a DVD folder, ISO image or drive to load (as --load-dvd)\n"
      "  --exit-after-init  start up (user folders, settings, codec tables), print what was\n"
      "                     found as NAME=value lines and exit without opening the main window\n"
      "  --load-dvd PATH    load the titles of a DVD folder, ISO image or drive once the main\n"
      "                     window shows\n"
      "  --screenshot FILE  draw the main window into a PNG file once it shows (after\n"
      "                     --load-dvd), print its title tree and track lists, and exit;\n"
      "                     message boxes are printed to standard error instead of shown.\n"
      "                     The exit status is 1 when the load or the picture failed\n"
      "  --profile NAME     the output profile: NODE/NUMBER (V_10_MP4/1, V_20_AVI/1, ...)\n"
      "                     or its display name; velmo-cli profiles lists them\n"
      "  --out DIR          the output folder\n"
      "  --convert-checked  once loaded, convert the checked titles as Convert Now does;\n"
      "                     with --screenshot the picture is of the completion dialog\n"
      "  --exit-when-done   answer the run's dialogs and message boxes by themselves (the\n"
      "                     boxes are printed to standard error), print the title tree and\n"
      "                     the completion dialog's rows, and exit: status 0 when every\n"
      "                     converted title ended \"Done\", 1 otherwise, 2 for a bad profile\n"
      "  --help             show this text\n"
      "  --version          show the version\n"
      "Qt's own options (-platform NAME, ...) are accepted as well. With TRIVOX_ENGINE_OUTPUT=1\n"
      "the engines' output and the DVD libraries' messages reach this terminal.\n",
      out);
}

bool HasDisplay(int argc, char** argv) {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* v = std::getenv(name);
    if (v != nullptr && *v != '\0') return true;
  }
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnswerVersion(argc, argv, "velmo")) return 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      Usage(stdout);
      return 0;
    }
  }
  if (!HasDisplay(argc, argv)) {
    std::fputs("velmo: no display to open (set DISPLAY or WAYLAND_DISPLAY, or QT_QPA_PLATFORM=offscreen)\n", stderr);
    return 1;
  }
  QApplication app(argc, argv);
  AppStartOptions options;
  QStringList args = QCoreApplication::arguments();
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (arg == QStringLiteral("--exit-after-init")) {
      options.exitAfterInit = true;
    } else if (arg == QStringLiteral("--convert-checked")) {
      options.convertChecked = true;
    } else if (arg == QStringLiteral("--exit-when-done")) {
      options.exitWhenDone = true;
    } else if (arg == QStringLiteral("--load-dvd") || arg == QStringLiteral("--screenshot") ||
               arg == QStringLiteral("--profile") || arg == QStringLiteral("--out")) {
      if (i + 1 >= args.size() || args[i + 1].isEmpty()) {
        std::fprintf(stderr, "velmo: %s needs a value\n", arg.toLocal8Bit().constData());
        Usage(stderr);
        return 2;
      }
      if (arg == QStringLiteral("--profile")) {
        options.profile = args[++i].toStdString();
        continue;
      }
      // Absolute: the paths go into the tasks' jobs, which the engine opens.
      std::string value = QFileInfo(args[++i]).absoluteFilePath().toStdString();
      (arg == QStringLiteral("--load-dvd") ? options.loadDvd
       : arg == QStringLiteral("--out")    ? options.outputFolder
                                           : options.screenshot) = value;
    } else if (!arg.startsWith(QLatin1Char('-')) && options.loadDvd.empty()) {
      // The desktop entry's %f: a disc folder or image opened with velmo.
      options.loadDvd = QFileInfo(arg).absoluteFilePath().toStdString();
    } else {
      std::fprintf(stderr, "velmo: unknown argument '%s'\n", arg.toLocal8Bit().constData());
      Usage(stderr);
      return 2;
    }
  }
  // The DVD libraries' traces stay off the terminal unless the engines' output is asked for.
  if (!EngineOutputShown()) DvdSetTraceSink([](const char*) {});
  CMainApp theApp;
  theApp.InitInstance(options);
  if (options.exitAfterInit) std::fputs(theApp.StartupReport().c_str(), stdout);
  return theApp.ExitInstance();
}
