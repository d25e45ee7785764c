#include "cHistoryResults.h"

#include "kvFacade/cKvadraSystem.h"
#include "kvImages/cImage.h"

namespace {
const char* MeasureName(eQualityIndex kind)
{
  return kind == qiIQ ? "IQ" : kind == qiIQHVS ? "IQHVS" : "SSIM";
}
}  // namespace

cResultTable cHistoryResults::Build(cKvadraSystem& system)
{
  cResultTable table({"id", "title", "MSE", "PSNR", "IQ", "IQHVS", "SSIM", "time_ms"});
  for (int id = 0; id < system.SavedImageCount(); ++id) {
    cImage* image = system.GetImage(id);
    table.AddRow({cResultTable::Number(id), cResultTable::Text(image->GetTitle()),
                  cResultTable::Number(image->GetMSE()), cResultTable::Number(image->GetPSNR()),
                  cResultTable::Number(image->GetIndexValue(qiIQ)), cResultTable::Number(image->GetIndexValue(qiIQHVS)),
                  cResultTable::Number(image->GetIndexValue(qiSSIM)),
                  cResultTable::Milliseconds(image->GetTimeMicroseconds())});
  }
  return table;
}

void cHistoryResults::RequestIndices(cKvadraSystem& system, const std::vector<eQualityIndex>& kinds)
{
  // Asking for the display text starts a computation that is neither valid nor running.
  for (int id = 0; id < system.SavedImageCount(); ++id)
    for (eQualityIndex kind : kinds) system.GetImage(id)->GetMeasureStr(MeasureName(kind));
}

bool cHistoryResults::AnyIndexRunning(cKvadraSystem& system)
{
  for (int id = 0; id < system.SavedImageCount(); ++id)
    for (eQualityIndex kind : {qiIQ, qiIQHVS, qiSSIM})
      if (system.GetImage(id)->IsIndexRunning(kind)) return true;
  return false;
}

void cHistoryResults::CompleteIndices(cKvadraSystem& system, const std::vector<eQualityIndex>& kinds)
{
  for (int id = 0; id < system.SavedImageCount(); ++id) {
    cImage* image = system.GetImage(id);
    for (eQualityIndex kind : kinds)
      if (!image->IsIndexValid(kind) && !image->IsIndexRunning(kind)) image->CalculateIndexNow(kind);
  }
}
