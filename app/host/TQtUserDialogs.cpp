#include "TQtUserDialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QSemaphore>
#include <QThread>

#include "kvRuntime/kvDiagnostics.h"
#include "kvMessages/cUserDialogs.h"

namespace {
bool OnGuiThread()
{
  return qApp && QThread::currentThread() == qApp->thread();
}

QWidget* DialogParent()
{
  return QApplication::activeWindow();
}

void ShowInformation(const QString& text)
{
  QMessageBox::information(DialogParent(), QApplication::applicationName(), text);
}
}  // namespace

QString TQtUserDialogs::ToDisplayText(const std::string& text)
{
  QString result = QString::fromLocal8Bit(text.c_str());
  result.replace("\r\n", "\n");
  result.replace('\r', '\n');
  return result;
}

void TQtUserDialogs::Install()
{
  cUserDialogs::SetHandlers(
      [](const std::string& text) {
        const QString shown = ToDisplayText(text);
        if (OnGuiThread()) {
          ShowInformation(shown);
          return;
        }
        // A worker's message (a filter missing its data file) is posted and never waited for:
        // the GUI thread joins workers, so waiting here could deadlock.
        QMetaObject::invokeMethod(
            qApp, [shown]() { ShowInformation(shown); }, Qt::QueuedConnection);
      },
      [](const std::string& text) {
        // Confirmations come from the GUI thread (loading a picture of other geometry).
        if (!OnGuiThread()) return false;
        return QMessageBox::question(DialogParent(), QApplication::applicationName(), ToDisplayText(text),
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
      });

  kvSetAssertionHandler([](const std::string& report) {
    const QString text = QString::fromStdString(report) + "\n\nThe program will end now.";
    if (OnGuiThread()) {
      QMessageBox::critical(DialogParent(), QApplication::applicationName(), text);
      return;
    }
    // From another thread: show it on the GUI thread, but never wait long, since the GUI
    // thread may itself be waiting for this thread.
    auto shown = std::make_shared<QSemaphore>(0);
    QMetaObject::invokeMethod(
        qApp,
        [text, shown]() {
          QMessageBox::critical(nullptr, QApplication::applicationName(), text);
          shown->release();
        },
        Qt::QueuedConnection);
    shown->tryAcquire(1, 60000);
  });
}

void TQtUserDialogs::Uninstall()
{
  cUserDialogs::SetHandlers(nullptr, nullptr);
  kvSetAssertionHandler(nullptr);
}
