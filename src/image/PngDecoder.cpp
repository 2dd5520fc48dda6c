#include "image/PngDecoder.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "image/fileBytes.h"
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

// Where the decoder's bytes come from: a whole file held in memory, or a file on disk read as
// the decoder goes, so that chunks it skips are checked but never held.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  [[nodiscard]] virtual std::uint64_t size() const noexcept = 0;
  // False when the bytes cannot be had; never throws, because libpng calls it.
  [[nodiscard]] virtual bool read(std::uint64_t offset, std::span<std::uint8_t> out) noexcept = 0;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const std::uint8_t> bytes) noexcept : FBytes(bytes) {}
  std::uint64_t size() const noexcept override { return FBytes.size(); }
  bool read(std::uint64_t offset, std::span<std::uint8_t> out) noexcept override {
    if (offset > FBytes.size() || out.size() > FBytes.size() - offset) return false;
    if (!out.empty()) std::memcpy(out.data(), FBytes.data() + offset, out.size());
    return true;
  }

 private:
  std::span<const std::uint8_t> FBytes;
};

class FileSource final : public ByteSource {
 public:
  explicit FileSource(FileReader& file) noexcept : FFile(file) {}
  std::uint64_t size() const noexcept override { return FFile.size(); }
  bool read(std::uint64_t offset, std::span<std::uint8_t> out) noexcept override {
    return FFile.readAt(offset, out);
  }

 private:
  FileReader& FFile;
};

// The ancillary chunks libpng knows, other than tRNS, each name followed by a NUL as libpng
// wants them. They are skipped unread, with their CRC still checked.
constexpr char kIgnoredChunks[] =
    "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0"
    "pHYs\0sBIT\0sCAL\0sPLT\0sRGB\0sTER\0tEXt\0tIME\0zTXt";
constexpr int kIgnoredChunkCount = static_cast<int>(sizeof kIgnoredChunks / 5);

// Everything libpng's callbacks touch. It stays trivially destructible because libpng leaves the
// decoding functions by longjmp.
struct ReadContext {
  ByteSource* source;
  std::uint64_t size;
  std::uint64_t offset;
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
  if (!context->source->read(context->offset, std::span(out, count)))
    png_error(png, "the file cannot be read");
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
  // Text chunks would otherwise be kept in memory until the image is done (up to the limits
  // above, each), and none of these change the pixels: gAMA is read by findGamma, not by libpng.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER,
                              reinterpret_cast<png_const_bytep>(kIgnoredChunks),
                              kIgnoredChunkCount);
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
void checkDataCanHoldImage(const HeaderInfo& header, std::uint64_t fileSize) {
  const std::uint64_t storedBits = std::uint64_t{header.width} *
                                   static_cast<std::uint64_t>(header.channels) *
                                   static_cast<std::uint64_t>(header.bitDepth);
  const std::uint64_t storedBytes = (storedBits + 7) / 8 * header.height;
  if (storedBytes / kMaxDeflateRatio > fileSize)
    throw std::runtime_error("Invalid PNG: the header declares more pixels than the file holds");
}

// The length and type of the chunk at `offset`, which must leave room for a whole chunk.
struct ChunkHeader {
  std::uint32_t length = 0;
  std::array<std::uint8_t, 4> type{};

  [[nodiscard]] bool is(const char (&name)[5]) const noexcept {
    return std::memcmp(type.data(), name, 4) == 0;
  }
};

[[nodiscard]] bool readChunkHeader(ByteSource& source, std::uint64_t offset, ChunkHeader& header) {
  std::array<std::uint8_t, 8> bytes{};
  if (!source.read(offset, bytes)) return false;
  header.length = readBigEndian32(bytes.data());
  std::copy_n(bytes.begin() + 4, 4, header.type.begin());
  return true;
}

// Walks the chunk headers before the codec sees any. libpng allocates a chunk's declared length
// before it reads the data, so a tiny file declaring a chunk of a gigabyte would cost that much
// before it is found short. Every chunk up to IEND is read by the decoder, so each one must fit
// in what is left of the file.
void checkChunkLayout(ByteSource& source) {
  constexpr std::uint32_t kMaxChunkLength = 0x7FFFFFFFu;
  const std::uint64_t size = source.size();
  std::uint64_t offset = 8;
  while (true) {
    if (size - offset < 12)
      throw std::runtime_error("Invalid PNG: the file ends before its IEND chunk");
    ChunkHeader chunk;
    if (!readChunkHeader(source, offset, chunk))
      throw std::runtime_error("Invalid PNG: the file cannot be read");
    if (chunk.length > kMaxChunkLength)
      throw std::runtime_error("Invalid PNG: a chunk declares an impossible length");
    if (chunk.length > size - offset - 12)
      throw std::runtime_error("Invalid PNG: a chunk declares more bytes than the file holds");
    // The codec would take a text or a profile chunk placed before the header: it reads them
    // unparsed, so that rule of the format is kept here.
    if (offset == 8 && !chunk.is("IHDR"))
      throw std::runtime_error("Invalid PNG: the file does not start with its IHDR chunk");
    if (chunk.is("IEND")) return;
    offset += 12 + std::uint64_t{chunk.length};
  }
}

std::uint32_t findGammaIn(ByteSource& source) noexcept {
  const std::uint64_t size = source.size();
  std::uint64_t offset = 8;
  ChunkHeader chunk;
  while (size >= offset + 12 && readChunkHeader(source, offset, chunk)) {
    if (chunk.length > size - offset - 12) break;
    if (chunk.is("IDAT") || chunk.is("PLTE")) break;
    // A gAMA of the wrong length is ignored like any damaged ancillary chunk.
    if (chunk.is("gAMA") && chunk.length == 4) {
      std::array<std::uint8_t, 4> value{};
      if (!source.read(offset + 8, value)) break;
      const std::uint32_t gamma = readBigEndian32(value.data());
      return gamma <= 0x7FFFFFFFu ? gamma : 0;
    }
    offset += 12 + std::uint64_t{chunk.length};
  }
  return 0;
}

DecodedPng decodeFrom(ByteSource& source) {
  ReadContext context{&source, source.size(), 0, "unknown error"};
  std::array<std::uint8_t, 8> signature{};
  if (!source.read(0, signature) || png_sig_cmp(signature.data(), 0, 8) != 0)
    throw std::runtime_error("Invalid PNG: the file does not start with the PNG signature");
  checkChunkLayout(source);

  const PngReadSession session(context);
  if (!configureReader(session.png(), &context)) fail(context);
  // HeaderInfo is large; keep it off the stack frames libpng longjmps across.
  const auto header = std::make_unique<HeaderInfo>();
  if (!readHeader(session.png(), session.info(), header.get())) fail(context);

  if (!imageSizeAllowed(header->width, header->height))
    throw std::runtime_error("Invalid PNG: the image is larger than import allows");
  checkDataCanHoldImage(*header, source.size());

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
  png.gamma = findGammaIn(source);
  return png;
}

}  // namespace

std::uint32_t findGamma(std::span<const std::uint8_t> file) noexcept {
  MemorySource source(file);
  return findGammaIn(source);
}

DecodedPng decodePng(std::span<const std::uint8_t> file) {
  MemorySource source(file);
  return decodeFrom(source);
}

DecodedPng decodePng(FileReader& file) {
  FileSource source(file);
  return decodeFrom(source);
}

}  // namespace tess
