#include "kvMessages/cUserDialogs.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex HandlersLock;
cUserDialogs::tShowFn ShowHandler;
cUserDialogs::tConfirmFn ConfirmHandler;
bool DefaultAnswer = true;
}  // namespace

void cUserDialogs::ShowMessage(const std::string& text)
{
  tShowFn show;
  {
    std::lock_guard<std::mutex> guard(HandlersLock);
    show = ShowHandler;
  }
  if (show)
    show(text);
  else
    std::fprintf(stderr, "%s\n", text.c_str());
}

bool cUserDialogs::Confirm(const std::string& text)
{
  tConfirmFn confirm;
  bool answer;
  {
    std::lock_guard<std::mutex> guard(HandlersLock);
    confirm = ConfirmHandler;
    answer = DefaultAnswer;
  }
  if (confirm) return confirm(text);
  std::fprintf(stderr, "%s [%s]\n", text.c_str(), answer ? "Yes" : "No");
  return answer;
}

void cUserDialogs::SetHandlers(tShowFn show, tConfirmFn confirm)
{
  std::lock_guard<std::mutex> guard(HandlersLock);
  ShowHandler = std::move(show);
  ConfirmHandler = std::move(confirm);
}

void cUserDialogs::SetDefaultAnswer(bool yes)
{
  std::lock_guard<std::mutex> guard(HandlersLock);
  DefaultAnswer = yes;
}
