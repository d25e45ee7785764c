#pragma once
// A fixture for reader tests: captures the texts the kernel shows the user, gives a scratch
// folder, and restores the pixel limit a test changes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BmpFileBuilder.h"
#include "kvRuntime/cuGlobalParameters.h"
#include "kvMessages/cUserDialogs.h"

namespace kvtest {

class CapturedMessagesTest : public testing::Test {
protected:
  void SetUp() override
  {
    cUserDialogs::SetHandlers([this](const std::string& text) { Shown.push_back(text); }, nullptr);
  }
  void TearDown() override
  {
    cUserDialogs::SetHandlers(nullptr, nullptr);
    GlobalParams->SetMaxPixels(cuGlobalParameters::DefaultMaxPixels);
  }
  std::vector<std::string> Shown;
  ScratchFolder Dir;
};

}  // namespace kvtest
