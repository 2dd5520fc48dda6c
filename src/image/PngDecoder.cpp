#include "image/PngDecoder.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "image/imageLimits.h"

namespace tess {

namespace {

// Deflate cannot expand a byte of input into more than 1032 bytes of output, so a file can never
// hold more image data than this many times its own size.
constexpr std::uint64_t kMaxDeflateRatio = 1032;
// Ancillary chunks (text, ICC profiles) are skipped by the program; this only bounds what libpng
// buffers while it checks them.
constexpr png_alloc_size_t kMaxChunkBytes = 8u << 20;
constexpr png_uint_32 kMaxStoredChunks = 1000;

// Everything libpng's callbacks touch. It stays trivially destructible because libpng leaves the
// decoding functions by longjmp.
struct ReadContext {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t offset;
  char message[200];
};

// What the header and its chunks say, copied out of libpng inside the guarded functions.
struct HeaderInfo {
  png_uint_32 width;
  png_uint_32 height;
  int bitDepth;
  int colorType;
  int channels;
  std::size_t rowBytes;
  png_color palette[256];
  int paletteSize;
  bool hasTransparency;
  png_byte paletteAlpha[256];
  int transparencyCount;
  png_color_16 transparentColor;
};

[[noreturn]] void onPngError(png_structp png, png_const_charp message) {
  auto* context = static_cast<ReadContext*>(png_get_error_ptr(png));
  std::snprintf(context->message, sizeof context->message, "%s", message);
  png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

void readFromMemory(png_structp png, png_bytep out, std::size_t count) {
  auto* context = static_cast<ReadContext*>(png_get_io_ptr(png));
  if (count > context->size - context->offset) png_error(png, "the PNG data ends early");
  std::memcpy(out, context->data + context->offset, count);
  context->offset += count;
}

// The functions below hold libpng's setjmp. Nothing with a destructor may live in them: an error
// leaves them by longjmp, and each returns false when that happened.

bool configureReader(png_structp png, ReadContext* context) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, context, readFromMemory);
  png_set_user_limits(png, static_cast<png_uint_32>(kMaxImageSide),
                      static_cast<png_uint_32>(kMaxImageSide));
  png_set_chunk_malloc_max(png, kMaxChunkBytes);
  png_set_chunk_cache_max(png, kMaxStoredChunks);
  // A damaged chunk of any kind, not only a critical one, makes the whole file invalid.
  png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  return true;
}

bool readHeader(png_structp png, png_infop info, HeaderInfo* header) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  // The stored depth; after the update below libpng reports the unpacked one.
  png_get_IHDR(png, info, &header->width, &header->height, &header->bitDepth, &header->colorType,
               nullptr, nullptr, nullptr);
  // Samples below 8 bits come one to a byte, unscaled; nothing else is transformed, so that the
  // program's own rules see the stored values.
  png_set_packing(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  header->channels = png_get_channels(png, info);
  header->rowBytes = png_get_rowbytes(png, info);

  header->paletteSize = 0;
  png_colorp palette = nullptr;
  int paletteSize = 0;
  if (png_get_PLTE(png, info, &palette, &paletteSize) != 0 && palette != nullptr) {
    header->paletteSize = std::clamp(paletteSize, 0, 256);
    std::memcpy(header->palette, palette, sizeof(png_color) * header->paletteSize);
  }

  header->hasTransparency = false;
  header->transparencyCount = 0;
  png_bytep alpha = nullptr;
  int count = 0;
  png_color_16p color = nullptr;
  if (png_get_tRNS(png, info, &alpha, &count, &color) != 0) {
    header->hasTransparency = true;
    if (header->colorType == PNG_COLOR_TYPE_PALETTE && alpha != nullptr) {
      header->transparencyCount = std::clamp(count, 0, 256);
      std::memcpy(header->paletteAlpha, alpha, header->transparencyCount);
    }
    if (color != nullptr) header->transparentColor = *color;
  }
  return true;
}

bool readImage(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  // Read on to IEND so that a damaged or missing tail fails too.
  png_read_end(png, nullptr);
  return true;
}

// Owns libpng's read structures.
class PngReadSession {
 public:
  explicit PngReadSession(ReadContext& context)
      : FPng(png_create_read_struct(PNG_LIBPNG_VER_STRING, &context, onPngError, onPngWarning)) {
    if (FPng == nullptr) throw std::bad_alloc();
    FInfo = png_create_info_struct(FPng);
    if (FInfo == nullptr) {
      png_destroy_read_struct(&FPng, nullptr, nullptr);
      throw std::bad_alloc();
    }
  }
  PngReadSession(const PngReadSession&) = delete;
  PngReadSession& operator=(const PngReadSession&) = delete;
  ~PngReadSession() { png_destroy_read_struct(&FPng, &FInfo, nullptr); }

  png_structp png() const noexcept { return FPng; }
  png_infop info() const noexcept { return FInfo; }

 private:
  png_structp FPng = nullptr;
  png_infop FInfo = nullptr;
};

[[noreturn]] void fail(const ReadContext& context) {
  throw std::runtime_error(std::string("Invalid PNG: ") + context.message);
}

std::uint32_t readBigEndian32(const std::uint8_t* bytes) noexcept {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
         (std::uint32_t{bytes[2]} << 8) | bytes[3];
}

// Refuses a header whose image data could not fit in the file even at deflate's best ratio, so
// that a tiny file cannot make us allocate for a huge declared image.
void checkDataCanHoldImage(const HeaderInfo& header, std::size_t fileSize) {
  const std::uint64_t storedBits = std::uint64_t{header.width} *
                                   static_cast<std::uint64_t>(header.channels) *
                                   static_cast<std::uint64_t>(header.bitDepth);
  const std::uint64_t storedBytes = (storedBits + 7) / 8 * header.height;
  if (storedBytes / kMaxDeflateRatio > fileSize)
    throw std::runtime_error("Invalid PNG: the header declares more pixels than the file holds");
}

// libpng allocates a chunk's declared length before it reads the data, so a tiny file declaring
// a chunk of a gigabyte would cost that much before it is found short. Every chunk up to IEND
// is read by the decoder, so each one must fit in what is left of the file.
void checkChunksFitInFile(std::span<const std::uint8_t> file) {
  constexpr std::uint32_t kMaxChunkLength = 0x7FFFFFFFu;
  std::size_t offset = 8;
  while (true) {
    if (file.size() - offset < 12)
      throw std::runtime_error("Invalid PNG: the file ends before its IEND chunk");
    const std::uint32_t length = readBigEndian32(file.data() + offset);
    if (length > kMaxChunkLength)
      throw std::runtime_error("Invalid PNG: a chunk declares an impossible length");
    if (length > file.size() - offset - 12)
      throw std::runtime_error("Invalid PNG: a chunk declares more bytes than the file holds");
    if (std::memcmp(file.data() + offset + 4, "IEND", 4) == 0) return;
    offset += 12 + static_cast<std::size_t>(length);
  }
}

}  // namespace

std::uint32_t findGamma(std::span<const std::uint8_t> file) noexcept {
  std::size_t offset = 8;
  while (file.size() >= offset + 12) {
    const std::uint32_t length = readBigEndian32(file.data() + offset);
    const std::uint8_t* type = file.data() + offset + 4;
    if (length > file.size() - offset - 12) break;
    if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "PLTE", 4) == 0) break;
    // A gAMA of the wrong length is ignored like any damaged ancillary chunk.
    if (std::memcmp(type, "gAMA", 4) == 0 && length == 4) {
      const std::uint32_t gamma = readBigEndian32(file.data() + offset + 8);
      return gamma <= 0x7FFFFFFFu ? gamma : 0;
    }
    offset += 12 + static_cast<std::size_t>(length);
  }
  return 0;
}

DecodedPng decodePng(std::span<const std::uint8_t> file) {
  ReadContext context{file.data(), file.size(), 0, "unknown error"};
  if (file.size() < 8 || png_sig_cmp(file.data(), 0, 8) != 0)
    throw std::runtime_error("Invalid PNG: the file does not start with the PNG signature");
  checkChunksFitInFile(file);

  const PngReadSession session(context);
  if (!configureReader(session.png(), &context)) fail(context);
  // HeaderInfo is large; keep it off the stack frames libpng longjmps across.
  const auto header = std::make_unique<HeaderInfo>();
  if (!readHeader(session.png(), session.info(), header.get())) fail(context);

  if (!imageSizeAllowed(header->width, header->height))
    throw std::runtime_error("Invalid PNG: the image is larger than import allows");
  checkDataCanHoldImage(*header, file.size());

  DecodedPng png;
  png.width = static_cast<int>(header->width);
  png.height = static_cast<int>(header->height);
  png.bitDepth = header->bitDepth;
  png.colorType = header->colorType;
  png.channels = header->channels;
  png.rowBytes = static_cast<std::size_t>(png.width) * static_cast<std::size_t>(png.channels) *
                 (png.bitDepth == 16 ? 2u : 1u);
  if (header->rowBytes != png.rowBytes)
    throw std::runtime_error("Invalid PNG: unexpected row layout");

  png.samples.resize(png.rowBytes * static_cast<std::size_t>(png.height));
  std::vector<png_bytep> rows(static_cast<std::size_t>(png.height));
  for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = png.samples.data() + y * png.rowBytes;
  if (!readImage(session.png(), rows.data())) fail(context);

  png.paletteSize = header->paletteSize;
  for (int i = 0; i < header->paletteSize; ++i) {
    png.palette[i] = {header->palette[i].red, header->palette[i].green, header->palette[i].blue};
  }
  png.hasTransparency = header->hasTransparency;
  png.transparencyCount = header->transparencyCount;
  png.paletteAlpha.fill(255);
  std::copy_n(header->paletteAlpha, header->transparencyCount, png.paletteAlpha.begin());
  png.transparentGray = header->transparentColor.gray;
  png.transparentRed = header->transparentColor.red;
  png.transparentGreen = header->transparentColor.green;
  png.transparentBlue = header->transparentColor.blue;
  png.gamma = findGamma(file);
  return png;
}

}  // namespace tess
