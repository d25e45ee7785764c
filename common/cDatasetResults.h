#pragma once
// The results of one analyzer experiment run over a set of pictures: every picture's own
// values and, per swept value and restoration, the mean, the sample standard deviation and the
// count over the pictures. Infinite values (a restoration identical to the original has an
// infinite PSNR) are counted apart and never enter a mean.
//
// The same JSON document is the full report and the partial of a shard or of an interrupted
// run: it names the experiment (operations, parameters, sweep, criterion, seed), so partials
// of one experiment can be merged into exactly what a single run gives, and partials of
// different experiments, or holding the same picture twice, are refused.
#include <cstdint>
#include <string>
#include <vector>

#include "cJsonValue.h"
#include "cPaperTable.h"
#include "cResultTable.h"

struct sDatasetPicture {
  std::string File;   // the picture's file name without folders: its identity
  uint64_t Seed = 0;  // the seed its noise was drawn from
  int Width = 0, Height = 0, Channels = 0;
  std::vector<std::vector<std::vector<double>>> Values;  // [criterion][restoration][sweep value]
};

struct sDatasetUnfinished {
  std::string File;
  std::string Reason;
};

struct sDatasetSummary {
  int Count = 0;           // finite values
  int Infinite = 0;        // values left out because they are not finite
  double Mean = 0.0;       // valid for Count >= 1
  double Deviation = 0.0;  // sample standard deviation, valid for Count >= 2
};

class cDatasetResults {
public:
  // The experiment as a JSON object with (at least) the members "swept" (text),
  // "sweep" {"values": [...]}, "restorations" [{"series": text}, ...] and "criterion" (text), or
  // with several criteria also "criteria" [text, ...].
  explicit cDatasetResults(cJsonValue experiment);

  const cJsonValue& Experiment() const { return ExperimentValue; }
  const std::string& SweptName() const { return Swept; }
  const std::vector<double>& SweepValues() const { return Sweep; }
  const std::vector<std::string>& SeriesNames() const { return Series; }
  const std::vector<std::string>& Criteria() const { return CriterionNames; }
  // The command that made the document and the program's version, for the reader to repeat
  // the run; not part of the experiment (shards of one experiment have different commands).
  void SetCommand(const std::string& command, const std::string& version);
  const std::string& Command() const { return CommandText; }
  const std::string& Version() const { return VersionText; }

  // "K/N" for a shard, empty for a whole run or a merge.
  void SetShard(const std::string& shard) { Shard = shard; }
  // Kept in file-name order whatever order they come in. The picture must have one value per
  // restoration and sweep value (std::runtime_error otherwise).
  void AddPicture(sDatasetPicture picture);
  void AddUnfinished(sDatasetUnfinished unfinished);
  const std::vector<sDatasetPicture>& Pictures() const { return PictureList; }
  const std::vector<sDatasetUnfinished>& Unfinished() const { return UnfinishedList; }

  // Values summed in the order given (file-name order here), so the result does not depend
  // on how the pictures were split or in which order they finished.
  static sDatasetSummary Summarize(const std::vector<double>& values);
  // Over the pictures, at one criterion, restoration and sweep value.
  sDatasetSummary SummaryAt(size_t criterion, size_t series, size_t k) const;
  // Header: the swept parameter, then "<series> mean", "<series> sd", "<series> n",
  // "<series> infinite" per restoration; one row per sweep value. A mean of no values and a
  // deviation of fewer than two are empty cells. With several criteria a first column
  // "criterion" names each row's, and each criterion has its block of rows.
  cResultTable Table() const;
  std::string JsonText() const;
  // The paper's table: the means over the pictures, then (perPicture) one block per picture;
  // its comment names the command, the version and the base seed.
  cPaperTable PaperTable(bool perPicture) const;

  // Reads a document JsonText wrote; source names it in messages. std::runtime_error.
  static cDatasetResults FromJson(const std::string& text, const std::string& source);
  // Combines partials of one experiment; refuses (std::runtime_error with a sentence naming the
  // files) different experiments and a picture present in two of them. A picture unfinished
  // in one partial and finished in another counts as finished.
  static cDatasetResults Merge(const std::vector<cDatasetResults>& parts, const std::vector<std::string>& sources);

private:
  cJsonValue ExperimentValue;
  std::string Swept;
  std::vector<double> Sweep;
  std::vector<std::string> Series;
  std::vector<std::string> CriterionNames;
  std::string CommandText, VersionText;
  std::string Shard;
  std::vector<sDatasetPicture> PictureList;
  std::vector<sDatasetUnfinished> UnfinishedList;
};
