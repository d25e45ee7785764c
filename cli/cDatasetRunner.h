#pragma once
// Runs one analyzer experiment over many pictures: finds the pictures, derives each one's
// noise seed, and runs up to J pictures at once, each in a child process of this program.
//
// Why processes and not threads: the kernel keeps process-wide state that an experiment
// changes as it runs. There is one random generator for the whole process (every noise draws
// from it and reseeds it), one operation pool reached through a global (a second
// cKvadraSystem replaces the first's), and the analyzer applies its parameter sets to the
// pool's shared operation objects before it runs them. Two experiments in one process would
// interleave their noise draws and overwrite each other's parameters. A child process per
// picture has all of this to itself, so a picture's values depend only on the experiment, the
// picture and its seed: they are the same with any number of jobs, in any shard.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cDatasetResults.h"

class cProgressReporter;

struct sPictureFile {
  std::string Path;
  std::string Name;  // file name without folders
};

namespace kvDataset {
// Files as given, folders by their pictures (.bmp, .jpg, .jpeg, .png, .tif, .tiff, any case;
// not their subfolders), sorted by file name. Two different files of one name are refused:
// the name is a picture's identity (it chooses its noise seed).
std::vector<sPictureFile> FindPictures(const std::vector<std::string>& inputs);
// The seed of a picture's noise: SplitMix64 of the base seed mixed with the 64-bit FNV-1a hash
// of the file name. It does not depend on the picture's place in the list.
uint64_t PictureSeed(uint64_t baseSeed, const std::string& name);
// The processors this process may run on (Slurm and taskset narrow them), at least 1.
unsigned CoreCount();
// "K/N" with 0 <= K < N; usage error otherwise.
void ParseShard(const std::string& text, unsigned& index, unsigned& count);
}  // namespace kvDataset

class cDatasetRunner {
public:
  // program: this executable; experimentArguments: what every child gets besides its picture,
  // its seed and its result file (the --corrupt, --set, --sweep, --restore, --criterion and
  // --max-pixels options).
  cDatasetRunner(std::string program, std::vector<std::string> experimentArguments, unsigned jobs);

  // Runs the pictures; onPoint(pointsDone, picturesDone) after every point of any picture.
  // When cancelled() turns true no picture is started any more, the running ones are asked to
  // stop (SIGINT) and are listed as unfinished with the pictures never started.
  void Run(const std::vector<sPictureFile>& pictures, uint64_t baseSeed, cDatasetResults& results,
           const std::function<bool()>& cancelled, const std::function<void(unsigned, unsigned)>& onPoint);

private:
  std::string Program;
  std::vector<std::string> ExperimentArguments;
  unsigned Jobs;
};
