#pragma once
// The kernel as the Python module drives it: one facade for the process, its packages loaded
// from beside the kernel library, and every call serialised by one lock, because the
// operations, their parameters, the random generator and the analyzer are shared by the
// whole process. Nothing here knows Python; the module's bindings convert arrays and errors.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "cParameterAssigner.h"
#include "cResultTable.h"
#include "kvPixels/cBMPSurface.h"
#include "kvMessages/cPlainEventLoop.h"

class cImage;
class cKvadraSystem;

class cPythonKernel {
public:
  // A file that cannot be read or written (Python's OSError).
  class cFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
  };
  // A kernel precondition that failed, thrown by the assertion handler instead of ending the
  // interpreter.
  class cAssertion : public std::logic_error {
  public:
    using std::logic_error::logic_error;
  };

  struct sMeasureSettings {
    int WindowWidth = 7, WindowHeight = 7;
    std::optional<double> K1, K2;
  };
  struct sExperiment {
    sOperationSettings Corruption;
    std::string Parameter;
    std::vector<double> Values;
    std::vector<sOperationSettings> Restorations;
    std::vector<std::string> Criteria;
    std::optional<uint64_t> Seed;
  };

  // The one instance, made (and its packages loaded) on first use.
  static cPythonKernel& Instance();
  ~cPythonKernel();

  std::string OperationsJson();
  // The operation run on a copy of source (whole, or the rectangle: left, top, right, bottom
  // exclusive), as 'kvadra run' runs it; seed as its --seed, none: drawn from the clock.
  std::unique_ptr<cImage> Apply(const cImage& source, const sOperationSettings& operation, std::optional<uint64_t> seed,
                                const std::optional<sRect>& region);
  // MSE, PSNR, IQ, IQHVS, SSIM of image against origin, then the noise sigma of image.
  std::vector<std::pair<std::string, double>> Measure(const cImage& image, const cImage& origin,
                                                      const sMeasureSettings& settings);
  // 'kvadra analyze' on one picture file: its table (the CSV's columns and rows).
  cResultTable Analyze(const std::string& pictureFile, const sExperiment& experiment);
  // The same on a picture in memory.
  cResultTable Analyze(cImage& picture, const sExperiment& experiment);
  std::unique_ptr<cImage> Load(const std::string& file);
  // BMP or PNG by the name's extension, written under a temporary name and renamed.
  void Save(cImage& image, const std::string& file);
  void SetThreads(unsigned count);
  unsigned Threads() const;
  std::string PlugInFolder() const { return PlugIns; }

private:
  cPythonKernel();
  unsigned OperationUID(const std::string& name) const;
  // The operation's UID with its parameters set (checked on a copy first).
  unsigned Configured(const sOperationSettings& operation);
  void LoadOrigin(const std::string& file);

  // Held by every call: the kernel's operations are shared objects.
  mutable std::mutex Lock;
  std::string PlugIns;
  std::unique_ptr<cPlainEventLoop> Loop;
  std::unique_ptr<cKvadraSystem> System;
};
