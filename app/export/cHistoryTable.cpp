#include "cHistoryTable.h"

#include <QString>
#include <cmath>

#include "kvFacade/cKvadraSystem.h"
#include "cResultTable.h"
#include "kvRuntime/cuGlobalParameters.h"
#include "kvImages/cImage.h"

namespace {
// The number a measure text shows, when it shows one.
bool MeasureNumber(cImage& image, const std::string& name, const std::string& text, double& value)
{
  value = 0.0;
  if (text == "n/a" || text == "wait" || text.empty()) return false;
  if (name == "MSE")
    value = image.GetMSE();
  else if (name == "PSNR")
    value = image.GetPSNR();
  else if (name == "IQ")
    value = image.GetIndexValue(qiIQ);
  else if (name == "IQHVS")
    value = image.GetIndexValue(qiIQHVS);
  else if (name == "SSIM")
    value = image.GetIndexValue(qiSSIM);
  else if (name == "Time")
    value = double(image.GetTimeMicroseconds()) / (text.ends_with(" s") ? 1e6 : 1e3);
  else
    return false;
  return std::isfinite(value);
}

std::string NumberFormat(const std::string& name, const cuGlobalParameters& params)
{
  if (name == "PSNR") return "0.00\" dB\"";
  if (name == "Time") return params.TimeUnit == 0 ? "0.00\" s\"" : "0.000\" ms\"";
  return "0.00";
}
}  // namespace

std::string sHistoryCell::SheetText() const
{
  if (!IsNumber && std::isinf(Number)) return Number > 0 ? "INF" : "-INF";
  return Text;
}

std::vector<std::string> cHistoryTable::VisibleMeasures(const cuGlobalParameters& params)
{
  std::vector<std::string> names;
  if (params.ShowPSNR) names.push_back("PSNR");
  if (params.ShowMSE) names.push_back("MSE");
  if (params.ShowIQ) names.push_back("IQ");
  if (params.ShowIQHVS) names.push_back("IQHVS");
  if (params.ShowSSIM) names.push_back("SSIM");
  if (params.ShowTime) names.push_back("Time");
  return names;
}

std::string cHistoryTable::ExportTitle(const std::string& originTitle)
{
  const size_t quote = originTitle.find('\'');
  if (quote == std::string::npos) return originTitle;
  // From after the first quote up to, not including, the last character (the closing quote).
  if (originTitle.size() < quote + 2) return "";
  return originTitle.substr(quote + 1, originTitle.size() - quote - 2);
}

std::string cHistoryTable::ToUtf8(const std::string& text)
{
  return QString::fromLocal8Bit(text.data(), qsizetype(text.size())).toUtf8().toStdString();
}

cHistoryTable cHistoryTable::FromSystem(cKvadraSystem& system, const cuGlobalParameters& params)
{
  cHistoryTable table;
  const std::vector<std::string> measures = VisibleMeasures(params);
  table.Header.push_back("Operation");
  table.NumberFormats.push_back("");
  for (const auto& name : measures) {
    table.Header.push_back(name);
    table.NumberFormats.push_back(NumberFormat(name, params));
  }
  const int count = system.SavedImageCount();
  for (int id = 0; id < count; ++id) {
    cImage* image = system.GetImage(id);
    std::vector<sHistoryCell> row;
    row.push_back({ToUtf8(image->GetTitle()), false, 0.0});
    for (const auto& name : measures) {
      sHistoryCell cell;
      cell.Text = ToUtf8(image->GetMeasureStr(name));
      cell.IsNumber = MeasureNumber(*image, name, cell.Text, cell.Number);
      if (name == "Time") cell.Decimals = cell.Text.ends_with(" s") ? 6 : 3;
      row.push_back(cell);
    }
    table.Rows.push_back(std::move(row));
  }
  if (count > 0) table.Title = ExportTitle(table.Rows[0][0].Text);
  return table;
}

std::vector<std::vector<sHistoryCell>> cHistoryTable::DataRows() const
{
  if (Rows.size() < 2) return {};
  return {Rows.begin() + 1, Rows.end()};
}

bool cHistoryTable::HasPending() const
{
  for (const auto& row : Rows)
    for (const auto& cell : row)
      if (!cell.IsNumber && cell.Text == "wait") return true;
  return false;
}

std::string cHistoryTable::TabSeparated() const
{
  auto clean = [](std::string text) {
    for (char& c : text)
      if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return text;
  };
  std::string out;
  for (size_t i = 0; i < Header.size(); ++i) out += (i ? "\t" : "") + Header[i];
  out += "\n";
  for (const auto& row : Rows) {
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) out += "\t";
      if (!row[i].IsNumber)
        out += clean(row[i].SheetText());
      else if (row[i].Decimals >= 0)
        out += cResultTable::NumberText(cResultTable::Fixed(row[i].Number, row[i].Decimals));
      else
        out += cResultTable::FormatNumber(row[i].Number);
    }
    out += "\n";
  }
  return out;
}
