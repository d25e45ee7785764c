// Kvadra2: the desktop workbench for image noise and noise removal.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QSettings>
#include <QTimer>
#include <clocale>
#include <cstdio>

#include "TAnalyzerForm.h"
#include "TKvadraApplication.h"
#include "TKvadraMainForm.h"
#include "TQtUserDialogs.h"
#include "kvRuntime/kvDiagnostics.h"
#include "kvOperations/cRandomGenerator.h"

int main(int argc, char** argv)
{
  QApplication application(argc, argv);
  // Qt takes the locale from the environment; the kernel's numbers (titles, measures, exports)
  // are written with '.' as in the command-line program.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationVersion(KV_VERSION);

  QCommandLineParser parser;
  parser.setApplicationDescription("Kvadra 2 - a workbench for image noise and noise removal.");
  parser.addHelpOption();
  parser.addVersionOption();
  QCommandLineOption seed("seed", "Makes the noises reproducible: the same seed gives the same pictures.", "N");
  parser.addOption(seed);
  parser.addPositionalArgument("file", "A picture (BMP or JPEG) to open after start-up.", "[FILE]");
  parser.process(application);

  if (parser.isSet(seed)) {
    bool ok = false;
    const qulonglong value = parser.value(seed).toULongLong(&ok);
    if (!ok) {
      std::fprintf(stderr, "Kvadra2: --seed takes a non-negative whole number, not '%s'\n",
                   qPrintable(parser.value(seed)));
      return 2;
    }
    cRandomGenerator::SetSeed(value);
    TAnalyzerForm::SetBaseSeed(value);
  }
  kvSetDebugOutputEnabled(qEnvironmentVariableIsSet("KVADRA_DEBUG"));
  TQtUserDialogs::Install();

  TKvadraApplication kvadra;
  sStartOptions options;
  // ~/.config/Kvadra/Kvadra2.conf: the confirmed preferences.
  options.SettingsFile = QSettings(QSettings::IniFormat, QSettings::UserScope, "Kvadra", "Kvadra2").fileName();
  kvadra.Start(options);
  const QStringList files = parser.positionalArguments();
  if (!files.isEmpty()) {
    const QString file = QFileInfo(files.first()).absoluteFilePath();
    QTimer::singleShot(0, kvadra.MainForm(), [&kvadra, file] { kvadra.MainForm()->OpenFile(file); });
  }
  const int code = application.exec();
  kvadra.Shutdown();
  TQtUserDialogs::Uninstall();
  return code;
}
