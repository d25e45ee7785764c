// The operation contract: execution sequence, region, progress, stopping, titles and the
// order in which the pixel driver visits samples.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <tuple>
#include <vector>

#include "KvTestSupport.h"
#include "kvOperations/acSingleChannelOperation.h"

namespace {

// Inverts each sample and records every hook call.
class cRecordingOperation : public acSingleChannelOperation {
public:
  cRecordingOperation()
  {
    Name = "Recorder";
    sParameterInfo info;
    info.theParameterType = ptInteger;
    info.ParameterName = "Size";
    info.MinBound = 1;
    info.MaxBound = 9;
    info.DefaultValue = 3;
    Params->AddNewParam(info);
  }
  void PreProcessing() override { ++PreCalls; }
  void PostProcessing() override
  {
    ++PostCalls;
    PercentAtPost = ResultImage->PercentDone.load();
  }
  void OperationFinished() override { ++FinishedCalls; }
  void OperationTerminated() override { ++TerminatedCalls; }
  void TransformPixel(unsigned x, unsigned y) override
  {
    Calls.emplace_back(x, y, SourceSurface->CurrentChannel, ResultSurface->CurrentChannel);
    Percents.push_back(ResultImage->PercentDone.load());
    ResultSurface->SetPixel(int(x), int(y), uint8_t(255 - SourceSurface->GetPixel(int(x), int(y))));
    if (StopAfter && Calls.size() == StopAfter) Flag->store(true);
  }

  int PreCalls = 0, PostCalls = 0, FinishedCalls = 0, TerminatedCalls = 0;
  int PercentAtPost = -1;
  std::vector<std::tuple<unsigned, unsigned, int, int>> Calls;
  std::vector<int> Percents;
  size_t StopAfter = 0;
  tTerminateFlag* Flag = nullptr;
};

struct cRun {
  explicit cRun(int w, int h, int channels)
  {
    Source.SetSize(w, h, channels);
    kvtest::FillRandom(*Source.GetSurface(), w, h, channels, 7);
    Op.SetInterfaces(&Source, &Result);
    Op.Flag = &Terminated;
  }
  // Binds again: the region is taken when the images are bound, and tests set it after construction.
  void Execute()
  {
    Op.SetInterfaces(&Source, &Result);
    Op.Execute(Terminated);
  }
  cImage Source;
  cImage Result;
  cRecordingOperation Op;
  tTerminateFlag Terminated{false};
};

}  // namespace

TEST(OperationModel, DefaultsOfANewOperation)
{
  acOperation op;
  EXPECT_EQ(op.GetName(), "AbstructOperation");
  EXPECT_EQ(op.GetGroupName(), "AbstructGroup");
  EXPECT_EQ(op.GetOperationType(), "otFilter");
  EXPECT_EQ(op.GetFormMode(), 0);
  EXPECT_FALSE(op.TotalVariation);
  EXPECT_FALSE(op.RGBOnly);
  ASSERT_NE(op.GetParams(), nullptr);
  EXPECT_EQ(op.GetParams()->GetOperation(), &op);
  EXPECT_EQ(op.GetParams()->GetParamsCount(), 0);
  EXPECT_EQ(op.SourceSurface, nullptr);
  EXPECT_EQ(op.CreateParamForm(), nullptr);
}

TEST(OperationModel, SetInterfacesBindsImagesAndTheirSurfaces)
{
  cImage a, b;
  a.SetSize(2, 2, 1);
  b.SetSize(1, 1, 3);
  acOperation op;
  op.SetInterfaces(&a, &b);
  EXPECT_EQ(op.SourceImage, &a);
  EXPECT_EQ(op.ResultImage, &b);
  EXPECT_EQ(op.SourceSurface, a.GetSurface());
  EXPECT_EQ(op.ResultSurface, b.GetSurface());
}

TEST(OperationModel, WholeImageRunCopiesTitlesAndFinishes)
{
  cRun run(5, 3, 1);
  run.Result.SetTitle("old");
  run.Execute();
  EXPECT_EQ(run.Op.PreCalls, 1);
  EXPECT_EQ(run.Op.PostCalls, 1);
  EXPECT_EQ(run.Op.FinishedCalls, 1);
  EXPECT_EQ(run.Op.TerminatedCalls, 0);
  EXPECT_EQ(run.Op.Calls.size(), 15u);
  EXPECT_EQ(run.Result.PercentDone.load(), 100);
  EXPECT_EQ(run.Result.GetTitle(), "Recorder " + run.Op.GetShortInfoString());
  EXPECT_NE(run.Op.GetShortInfoString(), "");
  cBMPSurface& s = *run.Source.GetSurface();
  cBMPSurface& r = *run.Result.GetSurface();
  ASSERT_EQ(r.GetWidth(), 5);
  ASSERT_EQ(r.GetHeight(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(kvtest::Pixel(r, x, y), 255 - kvtest::Pixel(s, x, y));
}

TEST(OperationModel, ResultStartsAsCopyOfSourceWhateverItHeldBefore)
{
  cRun run(4, 4, 3);
  run.Result.SetSize(9, 2, 1);
  run.Result.SetWholeImage(false);
  run.Result.SetProcessingRect(sRect{0, 0, 0, 0});
  run.Execute();
  EXPECT_TRUE(kvtest::SamePixels(*run.Source.GetSurface(), *run.Result.GetSurface()));
}

TEST(OperationModel, EmptyRegionRunsOnlyPreAndPostAndStillFinishes)
{
  cRun run(6, 4, 3);
  run.Result.SetWholeImage(false);
  run.Result.SetProcessingRect(sRect{1, 2, 5, 2});  // Top = Bottom
  run.Execute();
  EXPECT_EQ(run.Op.PreCalls, 1);
  EXPECT_EQ(run.Op.PostCalls, 1);
  EXPECT_TRUE(run.Op.Calls.empty());
  EXPECT_TRUE(kvtest::SamePixels(*run.Source.GetSurface(), *run.Result.GetSurface()));
  EXPECT_EQ(run.Result.GetTitle(), "Recorder " + run.Op.GetShortInfoString());
  EXPECT_EQ(run.Result.PercentDone.load(), 100);
  EXPECT_EQ(run.Op.FinishedCalls, 1);
}

TEST(OperationModel, ProgressPerRowStaysBelowHundredUntilExecuteEnds)
{
  {
    cRun oneRow(4, 5, 1);
    oneRow.Result.SetWholeImage(false);
    oneRow.Result.SetProcessingRect(sRect{0, 2, 4, 3});
    oneRow.Execute();
    EXPECT_EQ(oneRow.Op.PercentAtPost, 0);
    EXPECT_EQ(oneRow.Result.PercentDone.load(), 100);
  }
  cRun run(2, 7, 1);
  run.Execute();
  // Rows report (y - first) * 99 / rows after they are done: row r starts seeing the value of r - 1.
  std::vector<int> firstOfRow;
  for (size_t i = 0; i < run.Op.Calls.size(); i += 2) firstOfRow.push_back(run.Op.Percents[i]);
  EXPECT_EQ(firstOfRow, (std::vector<int>{0, 0, 14, 28, 42, 56, 70}));
  EXPECT_EQ(run.Op.PercentAtPost, 6 * 99 / 7);
}

TEST(OperationModel, PartialRectangleLeavesOutsidePixelsAsSource)
{
  cRun run(7, 5, 3);
  run.Result.SetWholeImage(false);
  run.Result.SetProcessingRect(sRect{2, 1, 5, 4});
  run.Execute();
  cBMPSurface& s = *run.Source.GetSurface();
  cBMPSurface& r = *run.Result.GetSurface();
  for (int c = 0; c < 3; ++c)
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) {
        const bool inside = x >= 2 && x < 5 && y >= 1 && y < 4;
        EXPECT_EQ(kvtest::Pixel(r, x, y, c), inside ? 255 - kvtest::Pixel(s, x, y, c) : kvtest::Pixel(s, x, y, c))
            << x << "," << y << "," << c;
      }
  EXPECT_EQ(run.Op.FirstColumn, 2u);
  EXPECT_EQ(run.Op.EndColumn, 5u);
  EXPECT_EQ(run.Op.FirstRow, 1u);
  EXPECT_EQ(run.Op.EndRow, 4u);
}

TEST(OperationModel, RectangleReachingPastThePictureIsClipped)
{
  cRun run(5, 4, 1);
  run.Result.SetWholeImage(false);
  run.Result.SetProcessingRect(sRect{-3, -2, 9, 3});
  run.Execute();
  EXPECT_EQ(run.Op.FirstColumn, 0u);
  EXPECT_EQ(run.Op.EndColumn, 5u);
  EXPECT_EQ(run.Op.FirstRow, 0u);
  EXPECT_EQ(run.Op.EndRow, 3u);
  EXPECT_EQ(run.Op.Calls.size(), 15u);
  cBMPSurface& s = *run.Source.GetSurface();
  cBMPSurface& r = *run.Result.GetSurface();
  // The row left out keeps its source pixels; nothing was folded back onto it.
  for (int x = 0; x < 5; ++x) EXPECT_EQ(kvtest::Pixel(r, x, 3), kvtest::Pixel(s, x, 3));

  cRun outside(5, 4, 1);
  outside.Result.SetWholeImage(false);
  outside.Result.SetProcessingRect(sRect{7, 6, 12, 9});
  outside.Execute();
  EXPECT_TRUE(outside.Op.Calls.empty());
  EXPECT_TRUE(kvtest::SamePixels(*outside.Source.GetSurface(), *outside.Result.GetSurface()));
}

TEST(OperationModel, RegionIsTakenWhenTheImagesAreBoundNotWhenTheRunReadsIt)
{
  cRun run(6, 5, 1);
  run.Result.SetWholeImage(false);
  run.Result.SetProcessingRect(sRect{1, 1, 3, 2});
  run.Op.SetInterfaces(&run.Source, &run.Result);
  // A front end setting the region of its next run changes nothing for this one.
  run.Result.SetWholeImage(true);
  run.Result.SetProcessingRect(sRect{0, 0, 6, 5});
  run.Op.Execute(run.Terminated);
  EXPECT_EQ(run.Op.Calls.size(), 2u);
  EXPECT_EQ(run.Op.FirstColumn, 1u);
  EXPECT_EQ(run.Op.EndRow, 2u);
}

TEST(OperationModel, ColourPixelsVisitChannelsInOrderOnBothSurfaces)
{
  cRun run(2, 2, 3);
  run.Execute();
  ASSERT_EQ(run.Op.Calls.size(), 12u);
  size_t i = 0;
  for (unsigned y = 0; y < 2; ++y)
    for (unsigned x = 0; x < 2; ++x)
      for (int c = 0; c < 3; ++c) EXPECT_EQ(run.Op.Calls[i++], std::make_tuple(x, y, c, c));
}

TEST(OperationModel, StopInFirstRowFinishesThePixelAndTitlesTerminated)
{
  cRun run(6, 4, 3);
  run.Op.StopAfter = 4;  // first channel of the second pixel
  run.Execute();
  // The pixel being worked on is completed in all its channels before the flag is looked at.
  EXPECT_EQ(run.Op.Calls.size(), 6u);
  EXPECT_EQ(run.Op.TerminatedCalls, 1);
  EXPECT_EQ(run.Op.FinishedCalls, 0);
  EXPECT_EQ(run.Op.PostCalls, 1);
  EXPECT_EQ(run.Result.GetTitle(), "Recorder(Terminated!)");
  EXPECT_LT(run.Result.PercentDone.load(), 100);
  cBMPSurface& s = *run.Source.GetSurface();
  cBMPSurface& r = *run.Result.GetSurface();
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(kvtest::Pixel(r, 1, 0, c), 255 - kvtest::Pixel(s, 1, 0, c));
    EXPECT_EQ(kvtest::Pixel(r, 2, 0, c), kvtest::Pixel(s, 2, 0, c));
    EXPECT_EQ(kvtest::Pixel(r, 0, 1, c), kvtest::Pixel(s, 0, 1, c));
  }
}

namespace {
// Gives up before touching a pixel, as an operation whose data file is missing does.
class cGivingUpOperation : public acOperation {
public:
  cGivingUpOperation() { Name = "Quitter"; }
  void OperationItself(const tTerminateFlag&) override
  {
    if (GiveUp) StopRun();
  }
  void OperationFinished() override { ++FinishedCalls; }
  void OperationTerminated() override { ++TerminatedCalls; }
  bool GiveUp = true;
  int FinishedCalls = 0, TerminatedCalls = 0;
};
}  // namespace

TEST(OperationModel, OperationThatStopsItselfEndsAsAStoppedRunOnlyForThatRun)
{
  cImage source, result;
  kvtest::FillRandom(*source.GetSurface(), 5, 4, 1, 3);
  cGivingUpOperation op;
  op.SetInterfaces(&source, &result);
  tTerminateFlag terminated{false};
  op.Execute(terminated);
  EXPECT_TRUE(op.StoppedItself());
  EXPECT_EQ(result.GetTitle(), "Quitter(Terminated!)");
  EXPECT_EQ(op.TerminatedCalls, 1);
  EXPECT_EQ(op.FinishedCalls, 0);
  EXPECT_LT(result.PercentDone.load(), 100);
  EXPECT_FALSE(terminated.load()) << "the caller's flag is the caller's";

  op.GiveUp = false;
  op.Execute(terminated);
  EXPECT_FALSE(op.StoppedItself());
  EXPECT_EQ(result.GetTitle(), "Quitter ()");
  EXPECT_EQ(op.FinishedCalls, 1);
}

TEST(OperationModel, FlagSetByAnotherThreadStopsARunningOperation)
{
  // Spins until the stop request arrives; the flag must be re-read, not cached.
  class cSpinning : public acSingleChannelOperation {
  public:
    void TransformPixel(unsigned, unsigned) override
    {
      Started.store(true);
      while (!Flag->load()) std::this_thread::yield();
    }
    std::atomic<bool> Started{false};
    tTerminateFlag* Flag = nullptr;
  } op;
  cImage source, result;
  source.SetSize(50, 50, 1);
  op.SetInterfaces(&source, &result);
  tTerminateFlag terminated{false};
  op.Flag = &terminated;
  std::thread worker([&] { op.Execute(terminated); });
  while (!op.Started.load()) std::this_thread::yield();
  terminated.store(true);
  worker.join();
  EXPECT_EQ(result.GetTitle(), "AbstructOperation(Terminated!)");
}

TEST(OperationModel, ElapsedTimeIsStoredInTheResult)
{
  class cSlow : public acOperation {
  public:
    void OperationItself(const tTerminateFlag&) override { std::this_thread::sleep_for(std::chrono::milliseconds(30)); }
  } op;
  cImage source, result;
  source.SetSize(3, 3, 1);
  result.SetTime(0);
  op.SetInterfaces(&source, &result);
  tTerminateFlag terminated{false};
  op.Execute(terminated);
  EXPECT_GE(result.GetTime(), 29u);
  // Kept in microseconds; the whole milliseconds the "Time" text shows are their truncation.
  EXPECT_GE(result.GetTimeMicroseconds(), 29000u);
  EXPECT_EQ(result.GetTime(), result.GetTimeMicroseconds() / 1000);
  EXPECT_EQ(result.PercentDone.load(), 100);
  EXPECT_EQ(result.GetTitle(), "AbstructOperation " + op.GetShortInfoString());
}

TEST(OperationModel, DriverTreatsSizeMismatchAsStoppedRun)
{
  cImage source, result;
  source.SetSize(4, 4, 3);
  for (auto [w, h, c] : {std::tuple{4, 5, 3}, std::tuple{5, 4, 3}, std::tuple{4, 4, 1}}) {
    result.SetSize(w, h, c);
    cRecordingOperation op;
    op.SetInterfaces(&source, &result);
    op.EndRow = op.EndColumn = 4;
    tTerminateFlag terminated{false};
    op.OperationItself(terminated);
    EXPECT_EQ(op.TerminatedCalls, 1);
    EXPECT_EQ(op.PreCalls, 0);
    EXPECT_EQ(op.PostCalls, 0);
    EXPECT_TRUE(op.Calls.empty());
  }
}

TEST(OperationModel, EmptyPictureRunsWithoutVisitingPixels)
{
  cImage source, result;
  source.SetSize(0, 0, 1);
  cRecordingOperation op;
  op.SetInterfaces(&source, &result);
  tTerminateFlag terminated{false};
  op.Execute(terminated);
  EXPECT_TRUE(op.Calls.empty());
  EXPECT_EQ(result.PercentDone.load(), 100);
  EXPECT_EQ(op.FinishedCalls, 1);
}

TEST(OperationModelDeathTest, ExecuteWithoutBoundImagesStops)
{
  acOperation op;
  tTerminateFlag terminated{false};
  EXPECT_DEATH(op.Execute(terminated), "SourceSurface != NULL");
}
