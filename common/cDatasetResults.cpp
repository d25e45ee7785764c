#include "cDatasetResults.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

namespace {
const char* const DocumentKind = "kvadra analyze over pictures";
const int DocumentFormat = 1;
}  // namespace

cDatasetResults::cDatasetResults(cJsonValue experiment) : ExperimentValue(std::move(experiment))
{
  Swept = ExperimentValue.At("swept").AsString();
  for (const cJsonValue& v : ExperimentValue.At("sweep").At("values").Items()) Sweep.push_back(v.AsReal());
  for (const cJsonValue& r : ExperimentValue.At("restorations").Items()) Series.push_back(r.At("series").AsString());
}

void cDatasetResults::AddPicture(sDatasetPicture picture)
{
  if (picture.Values.size() != Series.size())
    throw std::runtime_error("picture '" + picture.File + "' has values of " + std::to_string(picture.Values.size()) +
                             " restorations, the experiment has " + std::to_string(Series.size()));
  for (const auto& values : picture.Values)
    if (values.size() != Sweep.size())
      throw std::runtime_error("picture '" + picture.File + "' has " + std::to_string(values.size()) +
                               " values of a restoration, the sweep has " + std::to_string(Sweep.size()));
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

cResultTable cDatasetResults::Table() const
{
  std::vector<std::string> header = {Swept};
  for (const std::string& name : Series)
    for (const char* what : {" mean", " sd", " n", " infinite"}) header.push_back(name + what);
  cResultTable table(header);
  for (size_t k = 0; k < Sweep.size(); ++k) {
    std::vector<cResultTable::sCell> row{cResultTable::Number(Sweep[k])};
    for (size_t s = 0; s < Series.size(); ++s) {
      std::vector<double> values;
      for (const sDatasetPicture& p : PictureList) values.push_back(p.Values[s][k]);
      const sDatasetSummary summary = Summarize(values);
      row.push_back(summary.Count >= 1 ? cResultTable::Number(summary.Mean) : cResultTable::Missing());
      row.push_back(summary.Count >= 2 ? cResultTable::Number(summary.Deviation) : cResultTable::Missing());
      row.push_back(cResultTable::Number(summary.Count));
      row.push_back(cResultTable::Number(summary.Infinite));
    }
    table.AddRow(row);
  }
  return table;
}

std::string cDatasetResults::JsonText() const
{
  cJsonValue pictures = cJsonValue::Array();
  for (const sDatasetPicture& p : PictureList) {
    cJsonValue values = cJsonValue::Array();
    for (const auto& series : p.Values) {
      cJsonValue list = cJsonValue::Array();
      for (double v : series) list.Add(cJsonValue::Number(v));
      values.Add(list);
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
    if (document.At("format").AsUnsigned() != DocumentFormat)
      throw std::runtime_error("format " + document.At("format").Serialize() + " is not known to this kvadra");
    cDatasetResults results(document.At("experiment"));
    const cJsonValue& shard = document.At("shard");
    if (!shard.IsNull()) results.SetShard(shard.AsString());
    for (const cJsonValue& p : document.At("pictures").Items()) {
      sDatasetPicture picture;
      picture.File = p.At("file").AsString();
      picture.Seed = p.At("seed").AsUnsigned();
      picture.Width = int(p.At("width").AsUnsigned());
      picture.Height = int(p.At("height").AsUnsigned());
      picture.Channels = int(p.At("channels").AsUnsigned());
      for (const cJsonValue& series : p.At("values").Items()) {
        picture.Values.emplace_back();
        for (const cJsonValue& v : series.Items()) picture.Values.back().push_back(v.AsReal());
      }
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
