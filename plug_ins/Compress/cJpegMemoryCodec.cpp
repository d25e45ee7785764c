#include "cJpegMemoryCodec.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {
// libjpeg ends the process on errors by default; this jumps back to the caller instead.
struct sJpegError {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
};

[[noreturn]] void JpegErrorExit(j_common_ptr info)
{
  auto* error = reinterpret_cast<sJpegError*>(info->err);
  std::longjmp(error->Jump, 1);
}

void JpegSilence(j_common_ptr, int) {}
}  // namespace

// Both codec functions keep objects with destructors out of the region between setjmp and the
// codec calls, so a jump back skips nothing that needs cleaning up.
bool cJpegMemoryCodec::Encode(const uint8_t* bgr, int width, int height, size_t stride, int quality,
                              std::vector<uint8_t>& jpeg)
{
  if (width <= 0 || height <= 0 || bgr == nullptr) return false;
  jpeg_compress_struct info;
  sJpegError error;
  info.err = jpeg_std_error(&error.Manager);
  error.Manager.error_exit = JpegErrorExit;
  error.Manager.emit_message = JpegSilence;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  if (setjmp(error.Jump)) {
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = JDIMENSION(width);
  info.image_height = JDIMENSION(height);
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(bgr + size_t(info.next_scanline) * stride);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg.assign(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return true;
}

bool cJpegMemoryCodec::Decode(const uint8_t* jpeg, size_t size, std::vector<uint8_t>& bgr, int& width, int& height,
                              uint64_t maxPixels)
{
  if (jpeg == nullptr || size == 0) return false;
  jpeg_decompress_struct info;
  sJpegError error;
  info.err = jpeg_std_error(&error.Manager);
  error.Manager.error_exit = JpegErrorExit;
  error.Manager.emit_message = JpegSilence;
  if (setjmp(error.Jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, jpeg, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGR;
  jpeg_calc_output_dimensions(&info);
  const uint64_t pixels = uint64_t(info.output_width) * info.output_height;
  if (pixels == 0 || pixels > maxPixels) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  // libjpeg's own buffers (a progressive file keeps every coefficient: 6 bytes a pixel for
  // three full-size components, 128 bytes a block) stay within what such a picture needs.
  info.mem->max_memory_to_use = long(std::min<uint64_t>(pixels * 8 + (uint64_t(16) << 20), uint64_t(LONG_MAX)));
  jpeg_start_decompress(&info);
  const size_t rowBytes = size_t(info.output_width) * 3;
  bgr.resize(rowBytes * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = bgr.data() + size_t(info.output_scanline) * rowBytes;
    jpeg_read_scanlines(&info, &row, 1);
  }
  width = int(info.output_width);
  height = int(info.output_height);
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}
