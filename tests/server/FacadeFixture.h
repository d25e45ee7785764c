#pragma once
// A facade on a plain event loop with a recording observer, captured user dialogs and the
// packages of the build plus the test package, as a front end sets them up.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "KvTestSupport.h"
#include "kvFacade/cKvadraSystem.h"
#include "kvMessages/cPlainEventLoop.h"
#include "kvMessages/cUserDialogs.h"

namespace kvtest {

class FacadeFixture : public ::testing::Test {
protected:
  void SetUp() override
  {
    cUserDialogs::SetHandlers([this](const std::string& text) { Shown.push_back(text); },
                              [this](const std::string& text) {
                                Asked.push_back(text);
                                return Answer;
                              });
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    Folder = std::filesystem::temp_directory_path() /
             ("kv_server_" + std::string(info->name()) + "_" + std::to_string(getpid()));
    std::filesystem::create_directories(Folder);
    System = std::make_unique<cKvadraSystem>(&Loop);
    System->AddObserver(&Observer);
  }

  void TearDown() override
  {
    System.reset();
    cUserDialogs::SetHandlers(nullptr, nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(Folder, ignored);
  }

  void LoadPackages()
  {
    System->LoadPlugIns(KV_PLUGIN_DIR);
    System->LoadPlugIns(KV_TEST_PACKAGE_DIR);
    Forget();
  }

  unsigned Uid(const std::string& name)
  {
    const unsigned uid = System->FindOperationUID(name);
    EXPECT_NE(uid, 0u) << "operation '" << name << "' is not loaded";
    return uid;
  }

  // Writes a picture with pixel(x, y, c) = f(x, y, c) and returns its path.
  std::string WritePicture(const std::string& name, int w, int h, int channels,
                           const std::function<uint8_t(int, int, int)>& f)
  {
    cBMPSurface s;
    Fill(s, w, h, channels, f);
    const std::string path = (Folder / name).string();
    EXPECT_TRUE(s.SaveImage(path));
    return path;
  }
  std::string WriteGradient(const std::string& name, int w, int h, int channels)
  {
    return WritePicture(name, w, h, channels,
                        [](int x, int y, int c) { return uint8_t((x * 7 + y * 3 + c * 50) & 0xFF); });
  }

  // Loads a picture and lets the posted messages arrive.
  void LoadAndSettle(const std::string& path)
  {
    System->LoadImage(path);
    Loop.RunUntilIdle();
  }

  // Starts a run of the selected operation on the whole picture and waits for its end.
  bool RunSelected(bool save, std::chrono::milliseconds timeout = std::chrono::milliseconds(20000))
  {
    System->SetWholeImage(true);
    System->SelectedFilterExecute(save);
    return Loop.RunUntil([this] { return !System->IsBusy(); }, timeout);
  }

  std::vector<uint32_t> Ids() const { return Observer.Ids(); }
  void Forget()
  {
    Observer.Messages.clear();
    MainWindow.clear();
  }

  std::vector<sMessage> MainWindow;
  // Called from the main window's own handler, behind the hub.
  std::function<void(sMessage&)> MainWindowProbe;
  cPlainEventLoop Loop{[this](sMessage& m) {
    MainWindow.push_back(m);
    if (MainWindowProbe) MainWindowProbe(m);
  }};
  RecordingObserver Observer;
  std::unique_ptr<cKvadraSystem> System;
  std::vector<std::string> Shown;
  std::vector<std::string> Asked;
  bool Answer = true;
  std::filesystem::path Folder;
};

}  // namespace kvtest
