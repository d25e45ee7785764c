#pragma once
// An observer that forwards the kernel messages one window cares about: a reaction per
// message, run only while the window exists (windows come and go; the observers stay).
#include <functional>
#include <initializer_list>
#include <unordered_map>

#include "kvMessages/iObserver.h"

class cFormObserver : public iObserver {
public:
  void Update(sMessage& message) override;

protected:
  using tReaction = std::function<void(const sMessage&)>;
  explicit cFormObserver(std::function<bool()> formOpen) : FormOpen(std::move(formOpen)) {}
  // The same reaction for each of ids.
  void On(std::initializer_list<uint32_t> ids, const tReaction& reaction);

private:
  std::function<bool()> FormOpen;
  std::unordered_map<uint32_t, tReaction> Reactions;
};
