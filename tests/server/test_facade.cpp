// The facade on its own: state after construction, plug-in loading order, preview switching,
// rendered surfaces, the settings observer and the order of destruction.
#include <dlfcn.h>

#include <algorithm>
#include <filesystem>

#include "FacadeFixture.h"
#include "kvRuntime/cuGlobalParameters.h"
#include "kvMessages/cObservableSubject.h"
#include "kvOperations/cOperationPool.h"

namespace {

using kvtest::FacadeFixture;
using IdList = std::vector<uint32_t>;

class Facade : public FacadeFixture {};

TEST_F(Facade, RightAfterConstruction)
{
  EXPECT_EQ(System->GetCurrentImageID(), -1);
  EXPECT_EQ(System->GetOriginID(), -1);
  EXPECT_EQ(System->SavedImageCount(), 0);
  EXPECT_FALSE(System->IsBusy());
  EXPECT_FALSE(System->GetFullPreviewMode());
  EXPECT_EQ(System->GetOperationsCount(), 1u);
  std::string group, name, type;
  System->GetOperationGroupAndName(1, group, name, type);
  EXPECT_EQ(name, "Resample");
  bool totalVariation = false, autoForm = true;
  System->GetTotalVariationAndAutoForm(1, totalVariation, autoForm);
  EXPECT_TRUE(totalVariation);
  EXPECT_FALSE(autoForm);
  EXPECT_THROW(System->GetOperationParams(2), std::out_of_range);
  EXPECT_THROW(System->GetRGBOnly(0), std::out_of_range);
  // The hub sits in front of the main window with the facade as its first observer.
  ASSERT_NE(ObservableSubject, nullptr);
  EXPECT_EQ(ObservableSubject->GetObserversCount(), 2);
  EXPECT_EQ(KvadraSystem, System.get());
  EXPECT_EQ(System->GetHost(), &Loop);
  EXPECT_EQ(System->AnalyzerGetExperimentTitle(), "Experiment Results");
  EXPECT_EQ(System->AnalyzerGetBottomTitle(), "empty");
  EXPECT_EQ(System->AnalyzerGetLeftTitle(), "");
  EXPECT_EQ(System->AnalyzerGetSeriesCount(), 0);
}

TEST_F(Facade, PackagesLoadInAscendingFileNameOrder)
{
  namespace fs = std::filesystem;
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(KV_PLUGIN_DIR))
    if (entry.path().extension() == ".so") files.push_back(entry.path().filename().string());
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty());
  // The names each package brings, package by package in name order.
  std::vector<std::string> expected{"Resample"};
  for (const std::string& file : files) {
    cOperationPool single;
    single.LoadOperationsFromPackage(std::string(KV_PLUGIN_DIR) + file);
    for (unsigned uid = 2; uid <= single.GetOperationsCount(); ++uid)
      expected.push_back(single.LookForOperationByUID(uid)->GetName());
  }
  // Files that are not packages are left alone.
  std::ofstream(Folder / "notes.txt") << "no package";
  std::ofstream(Folder / "broken.so") << "no package either";
  System->LoadPlugIns(Folder.string() + "/");
  System->LoadPlugIns(KV_PLUGIN_DIR);
  System->LoadPlugIns((Folder / "missing").string());
  std::vector<std::string> names;
  for (unsigned uid = 1; uid <= System->GetOperationsCount(); ++uid) {
    std::string group, name, type;
    System->GetOperationGroupAndName(uid, group, name, type);
    names.push_back(name);
  }
  EXPECT_EQ(names, expected);
}

TEST_F(Facade, OperationQueriesAnswerFromTheOperation)
{
  LoadPackages();
  bool totalVariation = true, autoForm = true;
  System->GetTotalVariationAndAutoForm(Uid("Invert"), totalVariation, autoForm);
  EXPECT_FALSE(totalVariation);
  EXPECT_FALSE(autoForm);
  System->GetTotalVariationAndAutoForm(Uid("Test Shift"), totalVariation, autoForm);
  EXPECT_TRUE(autoForm);
  EXPECT_TRUE(System->GetRGBOnly(Uid("Desaturate")));
  EXPECT_FALSE(System->GetRGBOnly(Uid("Invert")));
  cOperationParams* params = System->GetOperationParams(Uid("Test Shift"));
  EXPECT_EQ(params, OperationPool->LookForOperationByUID(Uid("Test Shift"))->GetParams());
  EXPECT_EQ(params->GetParam(0)->GetName(), "Amount");
  System->SelectOperation(Uid("Invert"));
  EXPECT_EQ(System->GetSelectedOperation(), Uid("Invert"));
}

TEST_F(Facade, FullPreviewSwitchesTheRenderedSurface)
{
  LoadPackages();
  LoadAndSettle(WriteGradient("a.bmp", 10, 6, 1));
  System->SelectOperation(Uid("Invert"));
  ASSERT_TRUE(RunSelected(false));
  Forget();
  const sRect anyRect{0, 0, 1, 1};
  EXPECT_EQ(System->GetRenderedSurface(anyRect), System->GetImage(0)->GetSurface());
  System->FullPreview(true);
  EXPECT_TRUE(Ids().empty());
  EXPECT_EQ(System->GetRenderedSurface(anyRect), System->GetResultImage()->GetSurface());
  System->FullPreview(false);
  EXPECT_EQ(Ids(), (IdList{CURRENT_IMAGE_CHANGED}));
  EXPECT_EQ(System->GetRenderedSurface(anyRect), System->GetImage(0)->GetSurface());
}

TEST_F(Facade, SettingsChangeWithCriteriaFlagIsConsumed)
{
  LoadAndSettle(WriteGradient("a.bmp", 16, 16, 1));
  LoadAndSettle(WriteGradient("b.bmp", 16, 16, 1));
  cImage* entry = System->GetImage(1);
  entry->CalculateIndexNow(qiSSIM);
  const bool measured = entry->IsIndexValid(qiSSIM);
  GlobalParams->CriteriaSettingsChanged = false;
  GlobalParams->FullUpdate();
  EXPECT_EQ(entry->IsIndexValid(qiSSIM), measured);  // no flag: nothing is dropped
  GlobalParams->CriteriaSettingsChanged = true;
  GlobalParams->FullUpdate();
  EXPECT_FALSE(GlobalParams->CriteriaSettingsChanged);
  EXPECT_FALSE(entry->IsIndexValid(qiSSIM));
  EXPECT_EQ(Ids().back(), GLOBAL_PARAMETERS_CHANGED);
}

TEST_F(Facade, DestructionUnloadsPackagesBeforePurgingTheHistory)
{
  LoadPackages();
  LoadAndSettle(WriteGradient("a.bmp", 8, 8, 1));
  const std::string package = std::string(KV_TEST_PACKAGE_DIR) + "010pkServerTest.so";
  bool closedSeen = false;
  bool packageGoneAtClose = false;
  MainWindowProbe = [&](sMessage& m) {
    if (m.Msg != IMAGE_CLOSED) return;
    closedSeen = true;
    void* handle = dlopen(package.c_str(), RTLD_NOW | RTLD_NOLOAD);
    packageGoneAtClose = handle == nullptr;
    if (handle) dlclose(handle);
  };
  System.reset();
  MainWindowProbe = nullptr;
  EXPECT_TRUE(closedSeen);
  EXPECT_TRUE(packageGoneAtClose);
  // The hub was gone by then: the observers did not see the purge.
  for (const sMessage& m : Observer.Messages) EXPECT_NE(m.Msg, IMAGE_CLOSED);
  EXPECT_EQ(ObservableSubject, nullptr);
  EXPECT_EQ(KvadraSystem, nullptr);
}

using FacadeDeathTest = FacadeFixture;

TEST_F(FacadeDeathTest, PreconditionsOnAnEmptyHistory)
{
  int w, h, c;
  EXPECT_DEATH(System->GetImageSizes(w, h, c), "ImageList->Count > 0");
  EXPECT_DEATH(System->GetRenderedSurface(sRect{}), "Image != NULL");
  EXPECT_DEATH(System->GetSpectrumSurface(stMagnitude, 1.0, true), "Image != NULL");
}

}  // namespace
