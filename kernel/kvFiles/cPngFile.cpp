#include "kvFiles/cPngFile.h"

#include <cstdio>
#include <string>
#include <vector>

#include <png.h>

namespace {

// libpng ends the process on errors by default; this returns to the reader or writer. A
// reader keeps libpng's word for what is wrong.
[[noreturn]] void PngError(png_structp png, png_const_charp message)
{
  if (auto* damage = static_cast<std::string*>(png_get_error_ptr(png)))
    *damage = std::string("The PNG file is damaged: ") + (message ? message : "error") + ".";
  png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

// Chunks that do not change the pixels we keep: skipped unread (their CRC is still checked),
// so that a compressed text or colour-profile chunk cannot be made to inflate without end.
constexpr png_byte IgnoredChunks[] =
    "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0"
    "sPLT\0sRGB\0tEXt\0tIME\0zTXt";
constexpr int IgnoredChunkCount = 17;

// Palette indices, one byte each at the start of the row, become grey levels or blue, green,
// red triples in place (from the right, so that no index is overwritten before it is read).
void ExpandPaletteRow(uint8_t* row, png_uint_32 width, const png_color* palette, int paletteCount, int channels)
{
  for (png_uint_32 i = width; i-- > 0;) {
    const unsigned index = row[i];
    const png_color c = int(index) < paletteCount ? palette[index] : png_color{0, 0, 0};
    if (channels == 1) {
      row[i] = c.red;
    } else {
      row[3 * i] = c.blue;
      row[3 * i + 1] = c.green;
      row[3 * i + 2] = c.red;
    }
  }
}

// Everything between setjmp and the libpng calls lives in the caller, so a jump back from
// libpng skips no destructor.
bool DecodePng(png_structp png, png_infop info, std::FILE* file, uint64_t fileSize, uint64_t maxPixels,
               sLoadReport& report, cBMPSurface& surface, std::vector<png_bytep>& rows)
{
  if (setjmp(png_jmpbuf(png))) return false;
  // Damage anywhere is refused: bad CRCs of any chunk, and the faults libpng would pass over.
  png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
  png_set_benign_errors(png, 0);
  // The pixel limit decides the size; libpng's own width limit would refuse wide panoramas.
  png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, IgnoredChunks, IgnoredChunkCount);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_init_io(png, file);
  png_set_sig_bytes(png, 8);
  png_read_info(png, info);

  png_uint_32 width = 0, height = 0;
  int depth = 0, colourType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colourType, &interlace, nullptr, nullptr);
  if (uint64_t(width) * height > maxPixels) {
    report.TooManyPixels = true;
    report.Width = width;
    report.Height = height;
    return false;
  }
  // The filtered rows libpng would inflate: more than the file can hold is a bomb or a lie.
  const uint64_t rawBytes = uint64_t(height) * (1 + uint64_t(png_get_rowbytes(png, info)));
  if (rawBytes > cPngFile::MostInflatedBytes(fileSize)) {
    report.Damage = "The PNG file is far too small for the " + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels it claims.";
    return false;
  }

  png_colorp palette = nullptr;
  int paletteCount = 0;
  int channels = (colourType & PNG_COLOR_MASK_COLOR) ? 3 : 1;
  if (colourType == PNG_COLOR_TYPE_PALETTE) {
    if (png_get_PLTE(png, info, &palette, &paletteCount) != PNG_INFO_PLTE || paletteCount <= 0) return false;
    // A palette of greys is a grey picture, as for BMP.
    channels = 1;
    for (int i = 0; i < paletteCount; ++i)
      if (palette[i].red != palette[i].green || palette[i].green != palette[i].blue) channels = 3;
  }
  const uint64_t rowBytes = ((uint64_t(width) * (channels == 3 ? 24 : 8) + 31) / 32) * 4;
  if (rowBytes * height > cBMPSurface::MaxImageBytes) return false;
  const bool alpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;

  // Rows arrive as the surface holds them: one byte per grey pixel (or palette index), blue,
  // green, red for colour; transparency is not expanded, alpha is stripped.
  if (colourType == PNG_COLOR_TYPE_PALETTE)
    png_set_packing(png);
  else if (depth < 8)
    png_set_expand_gray_1_2_4_to_8(png);
  if (depth == 16) png_set_scale_16(png);  // round(v x 255 / 65535)
  if (colourType & PNG_COLOR_MASK_ALPHA) png_set_strip_alpha(png);
  if (colourType & PNG_COLOR_MASK_COLOR) png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const uint64_t decodedRowBytes = colourType == PNG_COLOR_TYPE_PALETTE ? width : uint64_t(width) * unsigned(channels);
  if (png_get_rowbytes(png, info) != decodedRowBytes) return false;

  surface.SetSize(int(width), int(height), channels);
  rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = surface.Row(int(y));
  png_read_image(png, rows.data());
  // The rest of the file up to its end chunk must be whole too.
  png_read_end(png, nullptr);
  if (colourType == PNG_COLOR_TYPE_PALETTE)
    for (png_uint_32 y = 0; y < height; ++y) ExpandPaletteRow(rows[y], width, palette, paletteCount, channels);
  report.AlphaDropped = alpha;
  return true;
}

bool EncodePng(png_structp png, png_infop info, std::FILE* file, const cBMPSurface& surface)
{
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  const int channels = surface.GetChannelsCount();
  png_set_IHDR(png, info, png_uint_32(surface.GetWidth()), png_uint_32(surface.GetHeight()), 8,
               channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  if (channels == 3) png_set_bgr(png);
  for (int y = 0; y < surface.GetHeight(); ++y) png_write_row(png, const_cast<png_bytep>(surface.Row(y)));
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool cPngFile::Load(const std::string& fileName, cBMPSurface& surface, uint64_t maxPixels, sLoadReport& report)
{
  std::FILE* file = std::fopen(fileName.c_str(), "rb");
  if (!file) return false;
  png_byte signature[8] = {};
  long fileSize = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) fileSize = std::ftell(file);
  std::rewind(file);
  if (fileSize < 8 || std::fread(signature, 1, 8, file) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
    std::fclose(file);
    return false;
  }
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &report.Damage, PngError, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool decoded = false;
  if (info) {
    std::vector<png_bytep> rows;
    decoded = DecodePng(png, info, file, uint64_t(fileSize), maxPixels, report, surface, rows);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  return decoded;
}

bool cPngFile::Save(const cBMPSurface& surface, const std::string& fileName)
{
  if (surface.GetWidth() <= 0 || surface.GetHeight() <= 0) return false;
  std::FILE* file = std::fopen(fileName.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = info && EncodePng(png, info, file, surface);
  png_destroy_write_struct(&png, &info);
  ok = (std::fclose(file) == 0) && ok;
  if (!ok) std::remove(fileName.c_str());
  return ok;
}
