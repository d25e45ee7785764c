// The processing server driven through the facade: loading into the history, runs on the
// worker with their message sequences, stopping, failures, undo and purge.
#include <chrono>
#include <fstream>
#include <thread>

#include "FacadeFixture.h"
#include "kvRuntime/cuGlobalParameters.h"

namespace {

using kvtest::FacadeFixture;
using IdList = std::vector<uint32_t>;

class Server : public FacadeFixture {
protected:
  void SetUp() override
  {
    FacadeFixture::SetUp();
    LoadPackages();
  }
};

// --- Loading ---

TEST_F(Server, FirstLoadPostsImageLoadedAndBecomesOriginAndCurrent)
{
  System->LoadImage(WriteGradient("a.bmp", 20, 10, 3));
  // Posted: nothing reaches the observers before the loop runs.
  EXPECT_EQ(Ids(), (IdList{HISTORY_CHANGED}));
  EXPECT_FALSE(System->IsBusy());
  Loop.RunUntilIdle();
  EXPECT_EQ(Ids(), (IdList{HISTORY_CHANGED, IMAGE_LOADED}));
  EXPECT_EQ(System->SavedImageCount(), 1);
  EXPECT_EQ(System->GetOriginID(), 0);
  EXPECT_EQ(System->GetCurrentImageID(), 0);
  EXPECT_EQ(System->GetImage(0)->GetTitle(), "Load 'a.bmp'");
  int w = 0, h = 0, c = 0;
  System->GetImageSizes(w, h, c);
  EXPECT_EQ(w, 20);
  EXPECT_EQ(h, 10);
  EXPECT_EQ(c, 3);
  // The scratch image is a fresh copy of the entry, not the entry itself.
  EXPECT_NE(System->GetResultImage(), System->GetImage(0));
  EXPECT_TRUE(kvtest::SamePixels(*System->GetResultImage()->GetSurface(), *System->GetImage(0)->GetSurface()));
}

TEST_F(Server, AnIndexArrivingInTheBackgroundPostsHistoryChanged)
{
  LoadAndSettle(WriteGradient("a.bmp", 16, 16, 1));
  Forget();
  cImage* image = System->GetImage(0);
  EXPECT_EQ(image->GetMeasureStr("SSIM"), "wait");
  ASSERT_TRUE(Loop.RunUntil([&] { return image->IsIndexValid(qiSSIM); }, std::chrono::seconds(60)));
  Loop.RunUntilIdle();
  EXPECT_EQ(Ids(), (IdList{HISTORY_CHANGED}));
}

TEST_F(Server, SecondLoadOfSameGeometryIsAppendedAndMeasuredAgainstOrigin)
{
  LoadAndSettle(WriteGradient("a.bmp", 16, 16, 1));
  Forget();
  EXPECT_TRUE(System->LoadImage(WritePicture("b.bmp", 16, 16, 1, [](int, int, int) { return uint8_t(9); })));
  EXPECT_EQ(Ids(), (IdList{HISTORY_CHANGED, CURRENT_IMAGE_CHANGED}));
  EXPECT_EQ(System->SavedImageCount(), 2);
  EXPECT_EQ(System->GetCurrentImageID(), 1);
  EXPECT_EQ(System->GetOriginID(), 0);
  EXPECT_EQ(System->GetImage(1)->GetOrigin(), System->GetImage(0));
  EXPECT_EQ(System->GetImage(0)->GetOrigin(), nullptr);
  EXPECT_TRUE(Asked.empty());
}

TEST_F(Server, OtherGeometryAnsweredNoKeepsHistoryAndDiscardsPicture)
{
  LoadAndSettle(WriteGradient("a.bmp", 16, 16, 1));
  System->SetCurrentImageID(0);
  Forget();
  Answer = false;
  EXPECT_FALSE(System->LoadImage(WriteGradient("wide.bmp", 30, 16, 1)));
  ASSERT_EQ(Asked.size(), 1u);
  EXPECT_EQ(Asked[0],
            "The loaded image has diffenent geometric properties.\rThe history will be purged.\r\r"
            "Do you want to load image anyway?");
  EXPECT_TRUE(Ids().empty());
  EXPECT_EQ(System->SavedImageCount(), 1);
  EXPECT_EQ(System->GetCurrentImageID(), 0);
  EXPECT_EQ(System->GetImage(0)->GetWidth(), 16);
  EXPECT_EQ(System->GetResultImage()->GetWidth(), 0);  // a new empty scratch image
  EXPECT_FALSE(System->IsBusy());
}

TEST_F(Server, OtherGeometryAnsweredYesRestartsHistory)
{
  LoadAndSettle(WriteGradient("a.bmp", 16, 16, 1));
  LoadAndSettle(WriteGradient("b.bmp", 16, 16, 1));
  Forget();
  Answer = true;
  // Same size but another channel count is another geometry too.
  EXPECT_TRUE(System->LoadImage(WriteGradient("colour.bmp", 16, 16, 3)));
  EXPECT_EQ(Asked.size(), 1u);
  EXPECT_EQ(Ids(), (IdList{IMAGE_CLOSED, HISTORY_CHANGED, ORIGIN_REPLACED}));
  EXPECT_EQ(System->SavedImageCount(), 1);
  EXPECT_EQ(System->GetOriginID(), 0);
  EXPECT_EQ(System->GetCurrentImageID(), 0);
  EXPECT_EQ(System->GetImage(0)->GetChannelsCount(), 3);
}

TEST_F(Server, FailedLoadsLeaveEverythingAsItWasAndTellTheUser)
{
  // Into an empty history: nothing is added, nothing is announced.
  const std::string missing = (Folder / "missing.bmp").string();
  EXPECT_FALSE(System->LoadImage(missing));
  Loop.RunUntilIdle();
  EXPECT_EQ(System->SavedImageCount(), 0);
  EXPECT_EQ(System->GetCurrentImageID(), -1);
  EXPECT_EQ(System->GetOriginID(), -1);
  EXPECT_TRUE(Ids().empty());
  ASSERT_EQ(Shown.size(), 1u);
  EXPECT_EQ(Shown[0], "Can not load image '" + missing + "'.\nThe file cannot be opened.");

  LoadAndSettle(WriteGradient("a.bmp", 16, 16, 1));
  cBMPSurface before;
  before.MakeCopyFrom(*System->GetResultImage()->GetSurface());
  Forget();
  Shown.clear();
  const std::string text = (Folder / "notes.txt").string();
  std::ofstream(text) << "not a picture";
  const std::string broken = (Folder / "broken.bmp").string();
  std::ofstream(broken) << "BM garbage that is no bitmap";
  const std::string brokenJpeg = (Folder / "broken.jpg").string();
  std::ofstream(brokenJpeg) << "\xFF\xD8\xFF garbage";
  for (const std::string& file : {text, broken, brokenJpeg}) System->LoadImage(file);
  Loop.RunUntilIdle();
  // The second line says what is wrong, in the words of the reader the content called for.
  EXPECT_EQ(Shown, (std::vector<std::string>{
                       "Can not load image '" + text +
                           "'.\nThe file is none of the formats tried (BMP, JPEG, PNG and TIFF): it does not start "
                           "with their signatures.",
                       "Can not load image '" + broken +
                           "'.\nThe BMP file is cut short inside its 1936269428-byte info "
                           "header.",
                       "Can not load image '" + brokenJpeg +
                           "'.\nThe JPEG file is damaged: Unsupported marker type "
                           "0x20."}));
  EXPECT_TRUE(Ids().empty());
  EXPECT_TRUE(Asked.empty());
  EXPECT_EQ(System->SavedImageCount(), 1);
  EXPECT_EQ(System->GetCurrentImageID(), 0);
  EXPECT_FALSE(System->IsBusy());
  EXPECT_TRUE(kvtest::SamePixels(before, *System->GetResultImage()->GetSurface()));
}

TEST_F(Server, PictureOverThePixelLimitIsRefusedWithTheReasonOnASecondLine)
{
  LoadAndSettle(WriteGradient("a.bmp", 16, 16, 1));
  Forget();
  Shown.clear();
  const std::string large = WriteGradient("large.bmp", 40, 30, 3);
  GlobalParams->SetMaxPixels(40 * 30 - 1);
  System->LoadImage(large);
  Loop.RunUntilIdle();
  GlobalParams->SetMaxPixels(cuGlobalParameters::DefaultMaxPixels);
  EXPECT_EQ(Shown, (std::vector<std::string>{"Can not load image '" + large +
                                             "'.\nThe picture is 40 x 30 pixels, more "
                                             "than the limit of 1199 pixels; the limit is set with kvadra --max-pixels "
                                             "or in the preferences."}));
  EXPECT_TRUE(Ids().empty());
  EXPECT_TRUE(Asked.empty());
  EXPECT_EQ(System->SavedImageCount(), 1);
  EXPECT_EQ(System->GetImage(0)->GetWidth(), 16);
}

TEST_F(Server, SaveCurrentImageWritesTheCurrentEntry)
{
  const std::string nothing = (Folder / "nothing.bmp").string();
  EXPECT_FALSE(System->SaveCurrentImage(nothing));
  EXPECT_EQ(Shown, (std::vector<std::string>{"KVImage::SaveImage() Nothing to Save!"}));
  LoadAndSettle(WriteGradient("a.bmp", 9, 5, 3));
  const std::string copy = (Folder / "copy.bmp").string();
  EXPECT_TRUE(System->SaveCurrentImage(copy));
  cBMPSurface back;
  ASSERT_TRUE(back.LoadImage(copy));
  EXPECT_TRUE(kvtest::SamePixels(back, *System->GetImage(0)->GetSurface()));
  EXPECT_FALSE(System->SaveCurrentImage((Folder / "no-such-folder" / "x.bmp").string()));
  EXPECT_EQ(Shown.back(), "Can not save image '" + (Folder / "no-such-folder" / "x.bmp").string() + "'.");
}

// --- Runs ---

TEST_F(Server, PreviewEndsWithCurrentImageChangedThenFinishedUnsaved)
{
  LoadAndSettle(WriteGradient("a.bmp", 12, 8, 1));
  Forget();
  System->SelectOperation(Uid("Invert"));
  cImage* result = System->GetResultImage();
  System->SetProcessingRegion(false, sRect{0, 0, 6, 8});
  System->SelectedFilterExecute(false);
  EXPECT_TRUE(System->IsBusy());
  ASSERT_TRUE(Loop.RunUntil([this] { return !System->IsBusy(); }, std::chrono::seconds(20)));
  EXPECT_EQ(Ids(), (IdList{FILTRATION_STARTED, CURRENT_IMAGE_CHANGED, FILTRATION_FINISHED}));
  EXPECT_EQ(Observer.Messages.back().WParam, 0);
  EXPECT_EQ(System->SavedImageCount(), 1);
  EXPECT_EQ(System->GetResultImage(), result);
  cBMPSurface& source = *System->GetImage(0)->GetSurface();
  EXPECT_EQ(kvtest::Pixel(*result->GetSurface(), 2, 3), 255 - kvtest::Pixel(source, 2, 3));
  EXPECT_EQ(kvtest::Pixel(*result->GetSurface(), 9, 3), kvtest::Pixel(source, 9, 3));
  // A partial preview is not measured.
  EXPECT_EQ(result->GetOrigin(), nullptr);
}

TEST_F(Server, RunWithoutAPictureDoesNothing)
{
  // A dialog left open after "Close image" may still ask for previews.
  System->SelectOperation(Uid("Invert"));
  System->SelectedFilterExecute(false);
  System->SelectedFilterExecute(true);
  EXPECT_FALSE(System->IsBusy());
  Loop.RunUntilIdle();
  EXPECT_TRUE(Ids().empty());
  EXPECT_EQ(System->SavedImageCount(), 0);
  EXPECT_EQ(System->GetCurrentImageID(), -1);
}

TEST_F(Server, SavedRunIsAppendedAndMeasuredAgainstOrigin)
{
  LoadAndSettle(WriteGradient("a.bmp", 12, 8, 3));
  Forget();
  System->SelectOperation(Uid("Invert"));
  ASSERT_TRUE(RunSelected(true));
  EXPECT_EQ(Ids(), (IdList{FILTRATION_STARTED, HISTORY_CHANGED, CURRENT_IMAGE_CHANGED, FILTRATION_FINISHED}));
  EXPECT_EQ(Observer.Messages.back().WParam, 1);
  ASSERT_EQ(System->SavedImageCount(), 2);
  EXPECT_EQ(System->GetCurrentImageID(), 1);
  EXPECT_EQ(System->GetOriginID(), 0);
  cImage* saved = System->GetImage(1);
  EXPECT_EQ(saved->GetOrigin(), System->GetImage(0));
  EXPECT_EQ(saved->GetTitle(), "Invert ()");
  EXPECT_EQ(kvtest::Pixel(*saved->GetSurface(), 3, 4, 2),
            255 - kvtest::Pixel(*System->GetImage(0)->GetSurface(), 3, 4, 2));
  // The next run writes into a fresh copy of the saved entry.
  EXPECT_NE(System->GetResultImage(), saved);
  EXPECT_TRUE(kvtest::SamePixels(*System->GetResultImage()->GetSurface(), *saved->GetSurface()));
  // Runs read the current entry: inverting again from entry 1 gives back entry 0.
  ASSERT_TRUE(RunSelected(true));
  EXPECT_TRUE(kvtest::SamePixels(*System->GetImage(2)->GetSurface(), *System->GetImage(0)->GetSurface()));
}

TEST_F(Server, SavedTotalVariationRunRestartsHistoryWithItsResult)
{
  LoadAndSettle(WriteGradient("a.bmp", 12, 8, 3));
  LoadAndSettle(WriteGradient("b.bmp", 12, 8, 3));
  Forget();
  System->SelectOperation(Uid("Desaturate"));
  ASSERT_TRUE(RunSelected(true));
  EXPECT_EQ(Ids(), (IdList{FILTRATION_STARTED, IMAGE_CLOSED, HISTORY_CHANGED, ORIGIN_REPLACED, FILTRATION_FINISHED}));
  EXPECT_EQ(Observer.Messages.back().WParam, 1);
  ASSERT_EQ(System->SavedImageCount(), 1);
  EXPECT_EQ(System->GetOriginID(), 0);
  EXPECT_EQ(System->GetCurrentImageID(), 0);
  EXPECT_EQ(System->GetImage(0)->GetChannelsCount(), 1);
  EXPECT_EQ(System->GetImage(0)->GetOrigin(), nullptr);
}

TEST_F(Server, ProgressIsReportedWhileRunning)
{
  LoadAndSettle(WriteGradient("a.bmp", 8, 30, 1));  // 30 rows of 20 ms
  Forget();
  System->SelectOperation(Uid("Test Slow"));
  ASSERT_TRUE(RunSelected(false));
  int progress = 0;
  int last = -1;
  for (const sMessage& m : Observer.Messages)
    if (m.Msg == FILTRATION_PROGRESS) {
      ++progress;
      EXPECT_GE(m.WParam, last);
      EXPECT_LE(m.WParam, 100);
      last = m.WParam;
    }
  EXPECT_GE(progress, 2);
  // No progress after the end: the timer is stopped.
  Forget();
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  Loop.ProcessPending();
  EXPECT_TRUE(Ids().empty());
}

TEST_F(Server, StoppingARunSendsTerminatedOnceAndSavesNothing)
{
  LoadAndSettle(WriteGradient("a.bmp", 8, 500, 1));  // 10 s if left alone
  Forget();
  System->SelectOperation(Uid("Test Slow"));
  System->SelectedFilterExecute(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  System->TerminateOperation();
  // The end has been handled when the call returns.
  EXPECT_FALSE(System->IsBusy());
  EXPECT_EQ(Ids(), (IdList{FILTRATION_STARTED, FILTRATION_TERMINATED}));
  EXPECT_EQ(System->SavedImageCount(), 1);
  EXPECT_EQ(System->GetCurrentImageID(), 0);
  EXPECT_EQ(System->GetResultImage()->GetTitle(), "Test Slow(Terminated!)");
  // The end notice the worker posted does not handle the end a second time.
  Loop.RunUntilIdle();
  System->TerminateOperation();
  EXPECT_EQ(Ids(), (IdList{FILTRATION_STARTED, FILTRATION_TERMINATED}));
}

TEST_F(Server, SettingTheRegionStopsARunningPreviewFirst)
{
  LoadAndSettle(WriteGradient("a.bmp", 8, 500, 1));  // 10 s if left alone
  Forget();
  System->SelectOperation(Uid("Test Slow"));
  System->SetProcessingRegion(false, sRect{0, 0, 8, 500});
  System->SelectedFilterExecute(false);
  ASSERT_TRUE(System->IsBusy());
  // The preview is panned while the run goes: the run ends before the region changes.
  System->SetProcessingRegion(false, sRect{0, 10, 4, 20});
  EXPECT_FALSE(System->IsBusy());
  EXPECT_EQ(Ids(), (IdList{FILTRATION_STARTED, FILTRATION_TERMINATED}));
  cImage* result = System->GetResultImage();
  EXPECT_FALSE(result->IsWholeImage());
  EXPECT_EQ(result->GetProcessingRect().Top, 10);
  System->SetWholeImage(true);
  EXPECT_TRUE(result->IsWholeImage());
  EXPECT_EQ(result->GetProcessingRect().Bottom, 20);  // the rectangle stays for the next preview
  // The next run covers the region set last, and only a whole run is measured.
  System->SelectOperation(Uid("Invert"));
  System->SetProcessingRegion(false, sRect{0, 10, 4, 20});
  System->SelectedFilterExecute(false);
  ASSERT_TRUE(Loop.RunUntil([this] { return !System->IsBusy(); }, std::chrono::seconds(20)));
  cBMPSurface& source = *System->GetImage(0)->GetSurface();
  EXPECT_EQ(kvtest::Pixel(*result->GetSurface(), 1, 12), 255 - kvtest::Pixel(source, 1, 12));
  EXPECT_EQ(kvtest::Pixel(*result->GetSurface(), 5, 12), kvtest::Pixel(source, 5, 12));
  EXPECT_EQ(result->GetOrigin(), nullptr);
}

TEST_F(Server, TerminatingAFinishedRunHandlesItsEndOnceAsCompleted)
{
  LoadAndSettle(WriteGradient("a.bmp", 8, 8, 1));
  Forget();
  System->SelectOperation(Uid("Invert"));
  System->SelectedFilterExecute(true);
  // Let the worker end without running the loop, so its end notice is still queued.
  cImage* result = System->GetResultImage();
  for (int i = 0; i < 2000 && result->PercentDone.load() < 100; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  System->TerminateOperation();
  EXPECT_EQ(Ids(), (IdList{FILTRATION_STARTED, HISTORY_CHANGED, CURRENT_IMAGE_CHANGED, FILTRATION_FINISHED}));
  Loop.RunUntilIdle();
  EXPECT_EQ(Ids().size(), 4u);
  EXPECT_EQ(System->SavedImageCount(), 2);
}

TEST_F(Server, StartingARunWhileAnotherGoesEndsTheFirstOne)
{
  LoadAndSettle(WriteGradient("a.bmp", 8, 500, 1));
  Forget();
  System->SelectOperation(Uid("Test Slow"));
  System->SelectedFilterExecute(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  System->SelectOperation(Uid("Invert"));
  ASSERT_TRUE(RunSelected(true));
  EXPECT_EQ(Ids(), (IdList{FILTRATION_STARTED, FILTRATION_TERMINATED, FILTRATION_STARTED, HISTORY_CHANGED,
                           CURRENT_IMAGE_CHANGED, FILTRATION_FINISHED}));
  EXPECT_EQ(System->SavedImageCount(), 2);
  EXPECT_EQ(System->GetImage(1)->GetTitle(), "Invert ()");
}

TEST_F(Server, AnOperationThatThrowsEndsItsRunAndTellsTheUser)
{
  LoadAndSettle(WriteGradient("a.bmp", 8, 8, 1));
  Forget();
  System->SelectOperation(Uid("Test Fail"));
  ASSERT_TRUE(RunSelected(false));
  EXPECT_EQ(Shown, (std::vector<std::string>{"Test operation failed on purpose"}));
  EXPECT_EQ(Ids(), (IdList{FILTRATION_STARTED, CURRENT_IMAGE_CHANGED, FILTRATION_FINISHED}));
  EXPECT_FALSE(System->IsBusy());
  // The server stays usable.
  System->SelectOperation(Uid("Invert"));
  ASSERT_TRUE(RunSelected(true));
  EXPECT_EQ(System->SavedImageCount(), 2);
}

TEST_F(Server, ChangingTheHistoryStopsARunningWorkerFirst)
{
  LoadAndSettle(WriteGradient("a.bmp", 8, 500, 1));
  Forget();
  System->SelectOperation(Uid("Test Slow"));
  System->SelectedFilterExecute(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  System->Undo();
  EXPECT_FALSE(System->IsBusy());
  EXPECT_EQ(Ids(), (IdList{FILTRATION_STARTED, FILTRATION_TERMINATED, HISTORY_CHANGED, CURRENT_IMAGE_CHANGED}));
  EXPECT_EQ(System->SavedImageCount(), 0);
}

// --- Undo, purge, current entry ---

TEST_F(Server, UndoOnEmptyHistoryOnlyShowsTheMessage)
{
  System->Undo();
  EXPECT_EQ(Shown, (std::vector<std::string>{"Error in KvadraServer::DeleteLastSavedImage() Nothing to delete!"}));
  EXPECT_TRUE(Ids().empty());
  EXPECT_EQ(System->GetCurrentImageID(), -1);
}

TEST_F(Server, UndoRemovesTheLastEntryDownToAnEmptyHistory)
{
  LoadAndSettle(WriteGradient("a.bmp", 8, 8, 1));
  LoadAndSettle(WriteGradient("b.bmp", 8, 8, 1));
  Forget();
  System->Undo();
  EXPECT_EQ(Ids(), (IdList{HISTORY_CHANGED, CURRENT_IMAGE_CHANGED}));
  EXPECT_EQ(System->SavedImageCount(), 1);
  EXPECT_EQ(System->GetCurrentImageID(), 0);
  EXPECT_EQ(System->GetOriginID(), 0);
  System->Undo();
  EXPECT_EQ(System->SavedImageCount(), 0);
  EXPECT_EQ(System->GetCurrentImageID(), -1);
  EXPECT_EQ(System->GetOriginID(), -1);
  EXPECT_TRUE(Shown.empty());
  // A history emptied by undo takes a new first picture as a first load.
  Forget();
  LoadAndSettle(WriteGradient("c.bmp", 5, 5, 3));
  EXPECT_EQ(Ids(), (IdList{HISTORY_CHANGED, IMAGE_LOADED}));
  EXPECT_TRUE(Asked.empty());
}

TEST_F(Server, UndoKeepsACurrentEntryThatIsNotTheLast)
{
  for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) LoadAndSettle(WriteGradient(name, 8, 8, 1));
  System->SetCurrentImageID(1);
  System->Undo();
  EXPECT_EQ(System->SavedImageCount(), 2);
  EXPECT_EQ(System->GetCurrentImageID(), 1);
}

TEST_F(Server, PurgeEmptiesTheHistoryWhicheverEntryWasCurrent)
{
  for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) LoadAndSettle(WriteGradient(name, 8, 8, 1));
  System->SetCurrentImageID(0);
  Forget();
  System->DeleteAllSavedImage();
  EXPECT_EQ(Ids(), (IdList{IMAGE_CLOSED}));
  EXPECT_EQ(System->SavedImageCount(), 0);
  EXPECT_EQ(System->GetCurrentImageID(), -1);
  EXPECT_EQ(System->GetOriginID(), -1);
  EXPECT_TRUE(Shown.empty());
  Forget();
  LoadAndSettle(WriteGradient("d.bmp", 4, 4, 1));
  EXPECT_EQ(Ids(), (IdList{HISTORY_CHANGED, IMAGE_LOADED}));
}

TEST_F(Server, SetCurrentImageIdAcceptsOnlyHistoryIndices)
{
  LoadAndSettle(WriteGradient("a.bmp", 8, 8, 1));
  LoadAndSettle(WriteGradient("b.bmp", 8, 8, 1));
  Forget();
  System->SetCurrentImageID(0);
  EXPECT_EQ(Ids(), (IdList{CURRENT_IMAGE_CHANGED}));
  EXPECT_EQ(System->GetCurrentImageID(), 0);
  EXPECT_THROW(System->SetCurrentImageID(2), std::out_of_range);
  EXPECT_THROW(System->SetCurrentImageID(-2), std::out_of_range);
  EXPECT_EQ(System->GetCurrentImageID(), 0);
  EXPECT_EQ(System->GetImage(-1), nullptr);
  EXPECT_THROW(System->GetImage(2), std::out_of_range);
}

}  // namespace
