#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "kvOperations/acSingleChannelOperation.h"

// A filter that replaces each sample by a mean of its rectangular window. The window is
// gathered (horizontal offset outer, vertical inner) and handed to Mean; that gathering is the
// reference, and the row forms of the subclasses give exactly its results.
class acMeanFilter : public acSingleChannelOperation {
public:
  void PreProcessing() override;
  void PostProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  // Declares "Window width" and "Window height"; swapped: width is the vertical extent.
  acMeanFilter(const char* name, bool swapped);
  // Declares "Recursive executing"; every filter declares it last.
  void AddRecursiveParam();
  virtual uint8_t Mean(const uint8_t* values, unsigned count) const = 0;

  sRowForm RowForm() const override;
  // The reference gathering on window rows: every sample through Mean.
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;
  // Sample c of pixel i of the span through Mean, its window gathered in the reference order
  // into window (Extent's size).
  uint8_t MeanAt(const sWindowRows& in, int i, int c, uint8_t* window) const;
  // For every sample j (pixel j / Channels) of the span: the sum over its window of
  // table[value], in columns first and then along the row. sums holds count * Channels.
  void WindowSums(const sWindowRows& in, int count, const double* table, double* sums) const;
  unsigned WindowCount() const { return unsigned(Extent.Width() * Extent.Height()); }

  // A term per sample value, exact for Mean and rounded to double for WindowSums; a zero
  // sample's term is 0, so zero samples add nothing.
  struct sValueTerms {
    std::array<long double, 256> Exact{};
    std::array<double, 256> Rounded{};
    // Exact[v] = term(v) for v = 1 .. 255.
    template <class tTerm>
    void Fill(tTerm term)
    {
      Exact[0] = 0;
      for (int v = 1; v < 256; ++v) Exact[size_t(v)] = term((long double)v);
      for (int v = 0; v < 256; ++v) Rounded[size_t(v)] = double(Exact[size_t(v)]);
    }
  };

  uint8_t WindowWidth = 3;
  uint8_t WindowHeight = 3;
  bool Recursive = false;
  // What the window reads around a sample, horizontal and vertical as the filter swaps them.
  sWindowExtent Extent;

private:
  bool Swapped;
  sParamHandle WidthParam;
  sParamHandle HeightParam;
  sParamHandle RecursiveParam;
  std::vector<uint8_t> Window;  // the reference path's window
};
