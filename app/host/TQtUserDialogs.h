#pragma once
// Routes the kernel's user messages, confirmations and assertion reports to message boxes.
#include <QString>
#include <string>

class TQtUserDialogs {
public:
  // Installs the handlers; call on the GUI thread once the application object exists.
  static void Install();
  static void Uninstall();
  // The kernel writes "\r" for a line break.
  static QString ToDisplayText(const std::string& text);
};
