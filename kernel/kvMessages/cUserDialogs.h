#pragma once
// The one replaceable hook through which the kernel talks to the user: plain messages and
// Yes/No confirmations. The desktop program installs dialogs, tests capture the texts, and
// the default prints to stderr and answers confirmations with a fixed default.
#include <functional>
#include <string>

class cUserDialogs {
public:
  using tShowFn = std::function<void(const std::string&)>;
  using tConfirmFn = std::function<bool(const std::string&)>;

  static void ShowMessage(const std::string& text);
  // true = Yes.
  static bool Confirm(const std::string& text);

  // Empty functions restore the default behaviour.
  static void SetHandlers(tShowFn show, tConfirmFn confirm);
  static void SetDefaultAnswer(bool yes);
};
