#include "cDatasetResults.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

namespace {
const char* const DocumentKind = "kvadra analyze over pictures";
// 2: a picture's values are keyed by criterion; 1 (one criterion, a plain list) is still read.
const unsigned DocumentFormat = 2;
}  // namespace

cDatasetResults::cDatasetResults(cJsonValue experiment) : ExperimentValue(std::move(experiment))
{
  Swept = ExperimentValue.At("swept").AsString();
  for (const cJsonValue& v : ExperimentValue.At("sweep").At("values").Items()) Sweep.push_back(v.AsReal());
  for (const cJsonValue& r : ExperimentValue.At("restorations").Items()) Series.push_back(r.At("series").AsString());
  if (const cJsonValue* criteria = ExperimentValue.Find("criteria"))
    for (const cJsonValue& c : criteria->Items()) CriterionNames.push_back(c.AsString());
  else
    CriterionNames.push_back(ExperimentValue.At("criterion").AsString());
}

void cDatasetResults::SetCommand(const std::string& command, const std::string& version)
{
  CommandText = command;
  VersionText = version;
}

void cDatasetResults::AddPicture(sDatasetPicture picture)
{
  if (picture.Values.size() != CriterionNames.size())
    throw std::runtime_error("picture '" + picture.File + "' has values of " + std::to_string(picture.Values.size()) +
                             " criteria, the experiment has " + std::to_string(CriterionNames.size()));
  for (const auto& criterion : picture.Values) {
    if (criterion.size() != Series.size())
      throw std::runtime_error("picture '" + picture.File + "' has values of " + std::to_string(criterion.size()) +
                               " restorations, the experiment has " + std::to_string(Series.size()));
    for (const auto& values : criterion)
      if (values.size() != Sweep.size())
        throw std::runtime_error("picture '" + picture.File + "' has " + std::to_string(values.size()) +
                                 " values of a restoration, the sweep has " + std::to_string(Sweep.size()));
  }
  const auto at = std::lower_bound(PictureList.begin(), PictureList.end(), picture.File,
                                   [](const sDatasetPicture& p, const std::string& file) { return p.File < file; });
  if (at != PictureList.end() && at->File == picture.File)
    throw std::runtime_error("picture '" + picture.File + "' is there twice");
  PictureList.insert(at, std::move(picture));
}

void cDatasetResults::AddUnfinished(sDatasetUnfinished unfinished)
{
  const auto at = std::lower_bound(UnfinishedList.begin(), UnfinishedList.end(), unfinished.File,
                                   [](const sDatasetUnfinished& u, const std::string& file) { return u.File < file; });
  UnfinishedList.insert(at, std::move(unfinished));
}

sDatasetSummary cDatasetResults::Summarize(const std::vector<double>& values)
{
  sDatasetSummary s;
  double sum = 0.0;
  for (double v : values) {
    if (!std::isfinite(v)) {
      ++s.Infinite;
      continue;
    }
    sum += v;
    ++s.Count;
  }
  if (s.Count == 0) return s;
  s.Mean = sum / s.Count;
  double squares = 0.0;
  for (double v : values)
    if (std::isfinite(v)) squares += (v - s.Mean) * (v - s.Mean);
  if (s.Count >= 2) s.Deviation = std::sqrt(squares / (s.Count - 1));
  return s;
}

sDatasetSummary cDatasetResults::SummaryAt(size_t criterion, size_t series, size_t k) const
{
  std::vector<double> values;
  for (const sDatasetPicture& p : PictureList) values.push_back(p.Values.at(criterion).at(series).at(k));
  return Summarize(values);
}

cResultTable cDatasetResults::Table() const
{
  // One criterion keeps the layout files had before several could be chosen.
  const bool several = CriterionNames.size() > 1;
  std::vector<std::string> header;
  if (several) header.push_back("criterion");
  header.push_back(Swept);
  for (const std::string& name : Series)
    for (const char* what : {" mean", " sd", " n", " infinite"}) header.push_back(name + what);
  cResultTable table(header);
  for (size_t c = 0; c < CriterionNames.size(); ++c)
    for (size_t k = 0; k < Sweep.size(); ++k) {
      std::vector<cResultTable::sCell> row;
      if (several) row.push_back(cResultTable::Text(CriterionNames[c]));
      row.push_back(cResultTable::Number(Sweep[k]));
      for (size_t s = 0; s < Series.size(); ++s) {
        const sDatasetSummary summary = SummaryAt(c, s, k);
        row.push_back(summary.Count >= 1 ? cResultTable::Number(summary.Mean) : cResultTable::Missing());
        row.push_back(summary.Count >= 2 ? cResultTable::Number(summary.Deviation) : cResultTable::Missing());
        row.push_back(cResultTable::Number(summary.Count));
        row.push_back(cResultTable::Number(summary.Infinite));
      }
      table.AddRow(row);
    }
  return table;
}

cPaperTable cDatasetResults::PaperTable(bool perPicture) const
{
  cPaperTable table(Swept, Sweep, CriterionNames);
  auto block = [&](auto valueAt) {
    cPaperTable::tBlockValues values(Series.size());
    for (size_t s = 0; s < Series.size(); ++s)
      for (size_t k = 0; k < Sweep.size(); ++k) {
        values[s].emplace_back();
        for (size_t c = 0; c < CriterionNames.size(); ++c) values[s][k].push_back(valueAt(c, s, k));
      }
    return values;
  };
  const std::string pictures =
      std::to_string(PictureList.size()) + (PictureList.size() == 1 ? " picture" : " pictures");
  table.AddBlock("Mean over " + pictures, Series, block([&](size_t c, size_t s, size_t k) {
                   const sDatasetSummary summary = SummaryAt(c, s, k);
                   return summary.Count >= 1 ? summary.Mean : std::nan("");
                 }));
  if (perPicture)
    for (const sDatasetPicture& p : PictureList)
      table.AddBlock(p.File, Series, block([&](size_t c, size_t s, size_t k) { return p.Values[c][s][k]; }));
  table.SetCaption("Mean " + cPaperTable::CriteriaText(CriterionNames) + " over " + pictures + " restored after " +
                   ExperimentValue.At("corruption").AsString() + "; best in bold.");
  if (!CommandText.empty()) table.SetOrigin(CommandText, VersionText, ExperimentValue.At("seed").AsUnsigned());
  return table;
}

std::string cDatasetResults::JsonText() const
{
  cJsonValue pictures = cJsonValue::Array();
  for (const sDatasetPicture& p : PictureList) {
    cJsonValue values = cJsonValue::Object();
    for (size_t c = 0; c < CriterionNames.size(); ++c) {
      cJsonValue perSeries = cJsonValue::Array();
      for (const auto& series : p.Values[c]) {
        cJsonValue list = cJsonValue::Array();
        for (double v : series) list.Add(cJsonValue::Number(v));
        perSeries.Add(list);
      }
      values.Add(CriterionNames[c], perSeries);
    }
    cJsonValue picture = cJsonValue::Object();
    picture.Add("file", cJsonValue::String(p.File))
        .Add("seed", cJsonValue::Unsigned(p.Seed))
        .Add("width", cJsonValue::Integer(p.Width))
        .Add("height", cJsonValue::Integer(p.Height))
        .Add("channels", cJsonValue::Integer(p.Channels))
        .Add("values", values);
    pictures.Add(picture);
  }
  cJsonValue unfinished = cJsonValue::Array();
  for (const sDatasetUnfinished& u : UnfinishedList) {
    cJsonValue entry = cJsonValue::Object();
    entry.Add("file", cJsonValue::String(u.File)).Add("reason", cJsonValue::String(u.Reason));
    unfinished.Add(entry);
  }
  // One picture per line keeps the file readable and diffable.
  std::string pictureText = "[";
  for (size_t i = 0; i < pictures.Items().size(); ++i)
    pictureText += (i ? ",\n" : "\n") + pictures.Items()[i].Serialize();
  pictureText += "\n]";
  const std::string extra = "\"kind\":" + cResultTable::JsonString(DocumentKind) +
                            ",\"format\":" + std::to_string(DocumentFormat) +
                            (CommandText.empty() ? std::string()
                                                 : ",\n\"command\":" + cResultTable::JsonString(CommandText) +
                                                       ",\"version\":" + cResultTable::JsonString(VersionText)) +
                            ",\n\"experiment\":" + ExperimentValue.Serialize() +
                            ",\n\"shard\":" + (Shard.empty() ? "null" : cResultTable::JsonString(Shard)) +
                            ",\n\"pictures\":" + pictureText + ",\n\"unfinished\":" + unfinished.Serialize();
  return Table().JsonText(extra);
}

cDatasetResults cDatasetResults::FromJson(const std::string& text, const std::string& source)
{
  try {
    const cJsonValue document = cJsonValue::Parse(text);
    const cJsonValue* kind = document.Kind() == cJsonValue::jkObject ? document.Find("kind") : nullptr;
    if (!kind || kind->Kind() != cJsonValue::jkString || kind->AsString() != DocumentKind)
      throw std::runtime_error("not the JSON of 'kvadra analyze' over several pictures (or of a shard)");
    const uint64_t format = document.At("format").AsUnsigned();
    if (format != 1 && format != DocumentFormat)
      throw std::runtime_error("format " + document.At("format").Serialize() + " is not known to this kvadra");
    cDatasetResults results(document.At("experiment"));
    const cJsonValue& shard = document.At("shard");
    if (!shard.IsNull()) results.SetShard(shard.AsString());
    if (const cJsonValue* command = document.Find("command"))
      results.SetCommand(command->AsString(), document.At("version").AsString());
    auto readSeries = [](const cJsonValue& list) {
      std::vector<std::vector<double>> values;
      for (const cJsonValue& series : list.Items()) {
        values.emplace_back();
        for (const cJsonValue& v : series.Items()) values.back().push_back(v.AsReal());
      }
      return values;
    };
    for (const cJsonValue& p : document.At("pictures").Items()) {
      sDatasetPicture picture;
      picture.File = p.At("file").AsString();
      picture.Seed = p.At("seed").AsUnsigned();
      picture.Width = int(p.At("width").AsUnsigned());
      picture.Height = int(p.At("height").AsUnsigned());
      picture.Channels = int(p.At("channels").AsUnsigned());
      if (format == 1)
        picture.Values.push_back(readSeries(p.At("values")));
      else
        for (const std::string& criterion : results.Criteria())
          picture.Values.push_back(readSeries(p.At("values").At(criterion)));
      results.AddPicture(std::move(picture));
    }
    for (const cJsonValue& u : document.At("unfinished").Items())
      results.AddUnfinished({u.At("file").AsString(), u.At("reason").AsString()});
    return results;
  } catch (const std::runtime_error& e) {
    throw std::runtime_error("'" + source + "': " + e.what());
  }
}

cDatasetResults cDatasetResults::Merge(const std::vector<cDatasetResults>& parts,
                                       const std::vector<std::string>& sources)
{
  if (parts.empty()) throw std::runtime_error("nothing to merge");
  const cJsonValue& first = parts[0].Experiment();
  for (size_t i = 1; i < parts.size(); ++i) {
    const cJsonValue& other = parts[i].Experiment();
    if (other.Serialize() == first.Serialize()) continue;
    // Name the first setting that differs.
    std::string what = "their experiments";
    for (auto& [key, value] : first.Members()) {
      const cJsonValue* theirs = other.Find(key);
      if (!theirs || theirs->Serialize() != value.Serialize()) {
        what = "'" + key + "': " + value.Serialize() + " against " + (theirs ? theirs->Serialize() : "nothing");
        break;
      }
    }
    throw std::runtime_error("'" + sources[i] + "' belongs to another experiment than '" + sources[0] +
                             "' (they differ in " + what + "); only partials of one experiment can be merged");
  }
  cDatasetResults merged(first);
  std::map<std::string, size_t> owner;
  for (size_t i = 0; i < parts.size(); ++i)
    for (const sDatasetPicture& p : parts[i].Pictures()) {
      const auto [at, fresh] = owner.emplace(p.File, i);
      if (!fresh)
        throw std::runtime_error("picture '" + p.File + "' is in both '" + sources[at->second] + "' and '" +
                                 sources[i] + "'; each picture may be in one partial only");
      merged.AddPicture(p);
    }
  std::map<std::string, bool> listed;
  for (const cDatasetResults& part : parts)
    for (const sDatasetUnfinished& u : part.Unfinished())
      if (!owner.count(u.File) && !listed[u.File]) {
        listed[u.File] = true;
        merged.AddUnfinished(u);
      }
  return merged;
}
