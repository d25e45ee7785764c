#pragma once
// What the desktop program's tests share: the program started without showing its windows,
// user dialogs that answer by themselves, and how long a run of the kernel may take.
#include <QApplication>
#include <QString>
#include <QTest>
#include <clocale>
#include <memory>
#include <string>
#include <vector>

#include "TKvadraApplication.h"
#include "kvMessages/cUserDialogs.h"

namespace kvapptest {
// The longest a test waits for the kernel to finish one operation.
constexpr int BusyTimeoutMs = 20000;
inline const QString PlugInFolder = KV_BIN_DIR "/plug-ins/";

// The program with its packages and windows, none shown and no splash pause.
inline std::unique_ptr<TKvadraApplication> StartHidden(const QString& plugIns = PlugInFolder,
                                                       const QString& settingsFile = QString())
{
  auto app = std::make_unique<TKvadraApplication>();
  app->Start(sStartOptions{plugIns, 0, false, settingsFile});
  return app;
}

// Messages are kept in messages (dropped when it is nullptr); every question is answered yes.
inline void AnswerDialogs(std::vector<std::string>* messages = nullptr)
{
  cUserDialogs::SetHandlers(
      [messages](const std::string& text) {
        if (messages) messages->push_back(text);
      },
      [](const std::string&) { return true; });
}

inline void RestoreDialogs()
{
  cUserDialogs::SetHandlers(nullptr, nullptr);
}

// A test program's main for tests that read numbers from text: '.' is the decimal point
// whatever the machine's locale.
template <class Test>
int RunWithCNumbers(int argc, char** argv)
{
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  Test test;
  return QTest::qExec(&test, argc, argv);
}
}  // namespace kvapptest
