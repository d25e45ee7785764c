#include "jpegFilter.h"

#include <algorithm>
#include <vector>

#include "kvRuntime/kvDiagnostics.h"
#include "kvFiles/cJpegCodec.h"

KV_UNIT("plug_ins\\Compress\\jpegFilter");

jpegFilter::jpegFilter()
{
  Describe("JPEG", "None", otCompress, fmParamDialog);
  QualityParam = Params->AddInteger("Compression ratio", 0, 100, 70);
}

void jpegFilter::OperationItself(const tTerminateFlag&)
{
  const uint8_t quality = uint8_t(std::clamp((*Params)[QualityParam].GetInteger(), 0, 100));
  ResultSurface->MakeCopyFrom(*SourceSurface);
  const int width = SourceSurface->GetWidth();
  const int height = SourceSurface->GetHeight();
  const int channels = SourceSurface->GetChannelsCount();
  // A rectangle reaching past the picture is cut to it; an empty one leaves nothing to do.
  const int x0 = int(std::min<unsigned>(FirstColumn, unsigned(width)));
  const int x1 = int(std::min<unsigned>(EndColumn, unsigned(width)));
  const int y0 = int(std::min<unsigned>(FirstRow, unsigned(height)));
  const int y1 = int(std::min<unsigned>(EndRow, unsigned(height)));
  if (x1 <= x0 || y1 <= y0) {
    OperationProgress(WorkProgress);
    return;
  }
  const int regionWidth = x1 - x0;
  const int regionHeight = y1 - y0;

  // The region as a 24-bit bitmap: grey samples fill all three bytes.
  const size_t stride = size_t(regionWidth) * 3;
  std::vector<uint8_t> bitmap(stride * size_t(regionHeight));
  for (int r = 0; r < regionHeight; ++r) {
    const uint8_t* src = SourceSurface->Row(y0 + r);
    uint8_t* dst = &bitmap[size_t(r) * stride];
    for (int c = 0; c < regionWidth; ++c)
      for (int k = 0; k < 3; ++k)
        dst[3 * c + k] = src[size_t(x0 + c) * size_t(channels) + size_t(channels == 1 ? 0 : k)];
  }
  OperationProgress(WorkProgress / 3);

  std::vector<uint8_t> encoded;
  if (!cJpegCodec::Encode(bitmap.data(), regionWidth, regionHeight, stride, quality, encoded)) {
    kvDebugOutput("JPEG: encoding failed, picture left unchanged");
    return;
  }
  OperationProgress(2 * WorkProgress / 3);
  std::vector<uint8_t> decoded;
  int decodedWidth = 0;
  int decodedHeight = 0;
  // The picture comes back at the size it was encoded at; anything larger is not ours.
  if (!cJpegCodec::Decode(encoded.data(), encoded.size(), decoded, decodedWidth, decodedHeight,
                          uint64_t(regionWidth) * uint64_t(regionHeight))) {
    kvDebugOutput("JPEG: decoding failed, picture left unchanged");
    return;
  }

  // Grey pictures take the first byte of each decoded pixel.
  const size_t decodedStride = size_t(decodedWidth) * 3;
  const int rows = std::min(decodedHeight, regionHeight);
  const int columns = std::min(decodedWidth, regionWidth);
  for (int r = 0; r < rows; ++r) {
    const uint8_t* src = &decoded[size_t(r) * decodedStride];
    uint8_t* dst = ResultSurface->Row(y0 + r);
    for (int c = 0; c < columns; ++c) {
      if (channels == 1)
        dst[x0 + c] = src[3 * c];
      else
        for (int k = 0; k < channels; ++k)
          dst[size_t(x0 + c) * size_t(channels) + size_t(k)] = src[size_t(c) * size_t(channels) + size_t(k)];
    }
  }
  OperationProgress(WorkProgress);
}
