// The hub in front of the main window: forwarding range, observer order, payloads, delivery kinds.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "KvTestSupport.h"
#include "kvRuntime/cGlobalParametersMessenger.h"
#include "kvAnalysis/cAnalyzerMessenger.h"
#include "kvOperations/cOperationPoolMessenger.h"
#include "kvProcessing/cKvadraServerMessenger.h"

namespace {

// Observers and the main window write into one journal, so order across them is visible.
struct cJournal {
  std::vector<std::string> Entries;
};

class cNamedObserver : public iObserver {
public:
  cNamedObserver(cJournal& journal, std::string name) : Journal(journal), Name(std::move(name)) {}
  void Update(sMessage& m) override
  {
    Journal.Entries.push_back(Name + " " + std::to_string(m.Msg));
    Received.push_back(m);
  }
  cJournal& Journal;
  std::string Name;
  std::vector<sMessage> Received;
};

// Host, hub and two observers A and B, wired as the facade wires them.
class HubTest : public testing::Test {
protected:
  HubTest()
      : Loop([this](sMessage& m) {
          Journal.Entries.push_back("window " + std::to_string(m.Msg));
          Window.push_back(m);
        })
  {
    cMessenger::SetHost(&Loop);
    Hub.Install(&Loop);
    ObservableSubject = &Hub;
    Hub.AddObserver(&A);
    Hub.AddObserver(&B);
  }
  ~HubTest() override
  {
    Hub.Uninstall();
    ObservableSubject = nullptr;
    cMessenger::SetHost(nullptr);
  }
  std::vector<std::string> Entries(uint32_t id) const
  {
    const std::string s = std::to_string(id);
    return {"A " + s, "B " + s, "window " + s};
  }

  cJournal Journal;
  std::vector<sMessage> Window;
  cPlainEventLoop Loop;
  cObservableSubject Hub;
  cNamedObserver A{Journal, "A"};
  cNamedObserver B{Journal, "B"};
};

}  // namespace

TEST_F(HubTest, ObserversInRegistrationOrderThenTheMainWindow)
{
  cMessenger::Send(HISTORY_CHANGED);
  EXPECT_EQ(Journal.Entries, Entries(HISTORY_CHANGED));
}

TEST_F(HubTest, OnlyTheKernelRangeReachesObservers)
{
  for (uint32_t id : {1024u, 1025u, 1124u, 1125u, 15u}) {
    Journal.Entries.clear();
    sMessage m;
    m.Msg = id;
    Loop.SendMessage(m);
    if (id >= 1025 && id <= 1124)
      EXPECT_EQ(Journal.Entries, Entries(id)) << id;
    else
      EXPECT_EQ(Journal.Entries, (std::vector<std::string>{"window " + std::to_string(id)})) << id;
  }
}

TEST_F(HubTest, MessengerUnitsCarryTheirIdsAndPayloads)
{
  cKvadraServerMessenger::SendImageClosed();
  cKvadraServerMessenger::SendFiltrationTerminated();
  cKvadraServerMessenger::SendFiltrationFinished(true);
  cKvadraServerMessenger::SendFiltrationFinished(false);
  cKvadraServerMessenger::DirectFiltrationStarted();
  cKvadraServerMessenger::SendHistoryChanged();
  cKvadraServerMessenger::DirectFiltrationProgress(100);
  cKvadraServerMessenger::SendCurrentImageChanged();
  cKvadraServerMessenger::SendOriginReplaced();
  cGlobalParametersMessenger::SendGlobalParametersChanged();
  cOperationPoolMessenger::DirectOperationLoaded(42);
  cAnalyzerMessenger::SendAnalyzerSeriesReady();
  cAnalyzerMessenger::SendAnalyzerPointReady();
  struct sExpected {
    uint32_t Msg;
    int32_t WParam, LParam;
  };
  const std::vector<sExpected> expected = {{1036, 0, 0},  {1037, 0, 0},   {1038, 1, 0}, {1038, 0, 0}, {1039, 0, 0},
                                           {1040, 0, 0},  {1041, 100, 0}, {1043, 0, 0}, {1044, 0, 0}, {1045, 0, 0},
                                           {1049, 0, 42}, {1054, 0, 0},   {1055, 0, 0}};
  for (const auto* seen : {&A.Received, &B.Received, &Window}) {
    ASSERT_EQ(seen->size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ((*seen)[i].Msg, expected[i].Msg) << i;
      EXPECT_EQ((*seen)[i].WParam, expected[i].WParam) << i;
      EXPECT_EQ((*seen)[i].LParam, expected[i].LParam) << i;
    }
  }
}

TEST_F(HubTest, PostedMessagesWaitForTheLoopSentOnesDoNot)
{
  cKvadraServerMessenger::PostImageLoaded();
  cKvadraServerMessenger::PostHistoryChanged();
  EXPECT_TRUE(Journal.Entries.empty());
  cKvadraServerMessenger::SendCurrentImageChanged();
  EXPECT_EQ(Journal.Entries, Entries(CURRENT_IMAGE_CHANGED));
  Journal.Entries.clear();
  EXPECT_EQ(Loop.ProcessPending(), 2);
  std::vector<std::string> expected = Entries(IMAGE_LOADED);
  for (auto& e : Entries(HISTORY_CHANGED)) expected.push_back(e);
  EXPECT_EQ(Journal.Entries, expected);
  EXPECT_EQ(A.Received[1].WParam, 0);
  EXPECT_EQ(A.Received[1].LParam, 0);
}

TEST_F(HubTest, MessagesPostedFromAnotherThreadAreDeliveredOnTheLoopThread)
{
  std::thread::id deliveredOn;
  class cThreadObserver : public iObserver {
  public:
    explicit cThreadObserver(std::thread::id& where) : Where(where) {}
    void Update(sMessage& m) override
    {
      if (m.Msg == HISTORY_CHANGED) Where = std::this_thread::get_id();
    }
    std::thread::id& Where;
  } observer(deliveredOn);
  Hub.AddObserver(&observer);
  std::thread poster([] { cKvadraServerMessenger::PostHistoryChanged(); });
  poster.join();
  EXPECT_TRUE(Loop.RunUntil([&] { return deliveredOn != std::thread::id(); }, std::chrono::seconds(5)));
  EXPECT_EQ(deliveredOn, std::this_thread::get_id());
}

TEST_F(HubTest, AnalyzerPointIsDispatchedNoSoonerThanTenMilliseconds)
{
  const auto start = std::chrono::steady_clock::now();
  cAnalyzerMessenger::SendAnalyzerPointReady();
  ASSERT_EQ(A.Received.size(), 1u);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(10));
}

TEST_F(HubTest, AnObserverRegisteredDuringDispatchFirstHearsTheNextMessage)
{
  class cLate : public iObserver {
  public:
    void Update(sMessage&) override { ++Count; }
    int Count = 0;
  } late;
  class cRegistering : public iObserver {
  public:
    cRegistering(cObservableSubject& hub, iObserver& late) : Hub(hub), Late(late) {}
    void Update(sMessage&) override
    {
      if (!Done) Hub.AddObserver(&Late);
      Done = true;
    }
    cObservableSubject& Hub;
    iObserver& Late;
    bool Done = false;
  } registering(Hub, late);
  Hub.AddObserver(&registering);
  cMessenger::Send(HISTORY_CHANGED);
  EXPECT_EQ(late.Count, 0);
  cMessenger::Send(HISTORY_CHANGED);
  EXPECT_EQ(late.Count, 1);
}

TEST_F(HubTest, UninstallRestoresTheMainWindowHandler)
{
  Hub.Uninstall();
  cMessenger::Send(HISTORY_CHANGED);
  EXPECT_EQ(Journal.Entries, (std::vector<std::string>{"window " + std::to_string(HISTORY_CHANGED)}));
  Hub.Install(&Loop);
  Journal.Entries.clear();
  cMessenger::Send(HISTORY_CHANGED);
  EXPECT_EQ(Journal.Entries, Entries(HISTORY_CHANGED));
}

TEST(HubDeathTest, DirectDeliveryNeedsTheHubAndProgressAtMostHundred)
{
  ASSERT_EQ(ObservableSubject, nullptr);
  EXPECT_DEATH(cKvadraServerMessenger::DirectFiltrationStarted(), "ObservableSubject != NULL");
  kvtest::MessageEnvironment env;
  EXPECT_DEATH(cKvadraServerMessenger::DirectFiltrationProgress(101), "Progress <= 100|Progress<=100");
  cObservableSubject uninstalled;
  sMessage m;
  m.Msg = HISTORY_CHANGED;
  EXPECT_DEATH(uninstalled.HandleMessage(m), "OldWndProc != NULL");
}
