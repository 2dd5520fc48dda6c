#include <png.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "image/PNG.h"

namespace tess {

namespace {

// The rows are handed to libpng straight from the pixel array, whose bytes run blue, green, red,
// alpha only on a little-endian machine.
static_assert(std::endian::native == std::endian::little,
              "export reads TColor32 pixels as blue, green, red, alpha bytes");

constexpr int kExportZlibLevel = 9;
constexpr int kExportZlibMemLevel = 7;

// Everything libpng's callbacks touch; trivially destructible because libpng leaves the writing
// function by longjmp.
struct WriteContext {
  std::vector<std::uint8_t>* out;
};

[[noreturn]] void onPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void onPngWarning(png_structp, png_const_charp) {}

void writeToMemory(png_structp png, png_bytep data, std::size_t count) {
  auto* context = static_cast<WriteContext*>(png_get_io_ptr(png));
  bool stored = false;
  try {
    context->out->insert(context->out->end(), data, data + count);
    stored = true;
  } catch (...) {
    // Reported below, outside the handler: libpng leaves by longjmp.
  }
  if (!stored) png_error(png, "out of memory");
}

void flushNothing(png_structp) {}

struct ImageRows {
  png_uint_32 width;
  png_uint_32 height;
  png_bytepp rows;
};

// Holds libpng's setjmp, so nothing with a destructor may live here. False after an error.
bool writePng(png_structp png, png_infop info, WriteContext* context, const ImageRows* image) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, context, writeToMemory, flushNothing);
  png_set_IHDR(png, info, image->width, image->height, 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, kExportZlibLevel);
  // Sprites are mostly runs of one colour; unfiltered rows keep those runs for deflate, which
  // gives smaller files than adaptive filtering and takes a quarter of the time.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  // zlib's default hash memory makes each export allocate enough that the heap is given back to
  // the system and taken again for the next sprite; one level less changes no output byte for
  // sprite-sized images and avoids that churn.
  png_set_compression_mem_level(png, kExportZlibMemLevel);
  png_write_info(png, info);
  png_set_bgr(png);
  png_write_image(png, image->rows);
  png_write_end(png, nullptr);
  return true;
}

// Owns libpng's write structures.
class PngWriteSession {
 public:
  PngWriteSession()
      : FPng(png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning)) {
    if (FPng == nullptr) throw std::bad_alloc();
    FInfo = png_create_info_struct(FPng);
    if (FInfo == nullptr) {
      png_destroy_write_struct(&FPng, nullptr);
      throw std::bad_alloc();
    }
  }
  PngWriteSession(const PngWriteSession&) = delete;
  PngWriteSession& operator=(const PngWriteSession&) = delete;
  ~PngWriteSession() { png_destroy_write_struct(&FPng, &FInfo); }

  png_structp png() const noexcept { return FPng; }
  png_infop info() const noexcept { return FInfo; }

 private:
  png_structp FPng = nullptr;
  png_infop FInfo = nullptr;
};

}  // namespace

std::optional<std::vector<std::uint8_t>> bitmapToPng(const TBitmap32& bitmap) noexcept {
  if (bitmap.empty()) return std::nullopt;
  try {
    const auto width = static_cast<std::size_t>(bitmap.Width());
    std::vector<png_bytep> rows(static_cast<std::size_t>(bitmap.Height()));
    // libpng copies each row before transforming it, so the pixels are only read.
    auto* const pixels = const_cast<TColor32*>(bitmap.FBits());
    for (std::size_t y = 0; y < rows.size(); ++y)
      rows[y] = reinterpret_cast<png_bytep>(pixels + y * width);

    std::vector<std::uint8_t> out;
    // Room for the typical sprite, so small exports rarely grow the buffer.
    out.reserve(4096);
    WriteContext context{&out};
    const ImageRows image{static_cast<png_uint_32>(bitmap.Width()),
                          static_cast<png_uint_32>(bitmap.Height()), rows.data()};
    const PngWriteSession session;
    if (!writePng(session.png(), session.info(), &context, &image)) return std::nullopt;
    return out;
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace tess
