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
#include "cResultTable.h"

struct sDatasetPicture {
  std::string File;   // the picture's file name without folders: its identity
  uint64_t Seed = 0;  // the seed its noise was drawn from
  int Width = 0, Height = 0, Channels = 0;
  std::vector<std::vector<double>> Values;  // [restoration][sweep value]
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
  // "sweep" {"values": [...]} and "restorations" [{"series": text}, ...].
  explicit cDatasetResults(cJsonValue experiment);

  const cJsonValue& Experiment() const { return ExperimentValue; }
  const std::string& SweptName() const { return Swept; }
  const std::vector<double>& SweepValues() const { return Sweep; }
  const std::vector<std::string>& SeriesNames() const { return Series; }

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
  // Header: the swept parameter, then "<series> mean", "<series> sd", "<series> n",
  // "<series> infinite" per restoration; one row per sweep value. A mean of no values and a
  // deviation of fewer than two are empty cells.
  cResultTable Table() const;
  std::string JsonText() const;

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
  std::string Shard;
  std::vector<sDatasetPicture> PictureList;
  std::vector<sDatasetUnfinished> UnfinishedList;
};
