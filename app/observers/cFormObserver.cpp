#include "cFormObserver.h"

#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("kvObservers\\cFormObserver");

void cFormObserver::On(std::initializer_list<uint32_t> ids, const tReaction& reaction)
{
  for (uint32_t id : ids) Reactions[id] = reaction;
}

void cFormObserver::Update(sMessage& message)
{
  KV_ASSERT(message.Msg != VOID_MESSAGE, "Message.Msg != VOID_MESSAGE");
  if (!FormOpen()) return;
  const auto reaction = Reactions.find(message.Msg);
  if (reaction != Reactions.end()) reaction->second(message);
}
