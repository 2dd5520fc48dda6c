#include "pngTestSupport.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <fstream>

namespace tess::testing {

namespace {

struct Sink {
  Bytes* out;
};

[[noreturn]] void onError(png_structp png, png_const_charp message) {
  ADD_FAILURE() << "libpng refused a test fixture: " << message;
  png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void appendBytes(png_structp png, png_bytep data, std::size_t count) {
  auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
  sink->out->insert(sink->out->end(), data, data + count);
}

void flushNothing(png_structp) {}

struct WriteJob {
  const PngFixture* fixture;
  png_bytepp rows;
  png_colorp palette;
  int paletteSize;
  png_bytep paletteAlpha;
  int paletteAlphaCount;
  png_color_16* transparentColor;
};

// libpng leaves by longjmp: nothing with a destructor lives here.
bool writeWithLibpng(png_structp png, png_infop info, Sink* sink, const WriteJob* job) {
  if (setjmp(png_jmpbuf(png))) return false;
  const PngFixture& f = *job->fixture;
  png_set_write_fn(png, sink, appendBytes, flushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(f.width), static_cast<png_uint_32>(f.height),
               f.bitDepth, f.colorType, f.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (job->paletteSize > 0) png_set_PLTE(png, info, job->palette, job->paletteSize);
  if (job->paletteAlphaCount > 0 || job->transparentColor != nullptr) {
    png_set_tRNS(png, info, job->paletteAlpha, job->paletteAlphaCount, job->transparentColor);
  }
  if (f.gamma) png_set_gAMA_fixed(png, info, static_cast<png_fixed_point>(*f.gamma));
  png_write_info(png, info);
  if (f.interlaced) png_set_interlace_handling(png);
  png_write_image(png, job->rows);
  png_write_end(png, nullptr);
  return true;
}

// Packs one row of samples at the fixture's depth, high bits first as PNG stores them.
Bytes packRow(const PngFixture& f, int y) {
  const int channels = channelsOf(f.colorType);
  const std::size_t perRow = static_cast<std::size_t>(f.width) * channels;
  const auto* samples = f.samples.data() + static_cast<std::size_t>(y) * perRow;
  Bytes row;
  if (f.bitDepth == 16) {
    for (std::size_t k = 0; k < perRow; ++k) {
      row.push_back(static_cast<std::uint8_t>(samples[k] >> 8));
      row.push_back(static_cast<std::uint8_t>(samples[k]));
    }
    return row;
  }
  row.assign((perRow * f.bitDepth + 7) / 8, 0);
  for (std::size_t k = 0; k < perRow; ++k) {
    const std::size_t bit = k * f.bitDepth;
    row[bit / 8] |= static_cast<std::uint8_t>(samples[k] << (8 - f.bitDepth - bit % 8));
  }
  return row;
}

void putBigEndian32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t getBigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         p[3];
}

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

}  // namespace

int channelsOf(int colorType) {
  switch (colorType) {
    case 2:
      return 3;
    case 4:
      return 2;
    case 6:
      return 4;
    default:
      return 1;
  }
}

Bytes encodePng(const PngFixture& fixture) {
  const int channels = channelsOf(fixture.colorType);
  EXPECT_EQ(fixture.samples.size(),
            static_cast<std::size_t>(fixture.width) * fixture.height * channels);

  std::vector<Bytes> packed;
  std::vector<png_bytep> rows;
  for (int y = 0; y < fixture.height; ++y) packed.push_back(packRow(fixture, y));
  for (auto& row : packed) rows.push_back(row.data());

  std::vector<png_color> palette;
  for (const auto& entry : fixture.palette) palette.push_back({entry[0], entry[1], entry[2]});
  Bytes paletteAlpha;
  png_color_16 color{};
  bool hasColor = false;
  if (fixture.transparency) {
    const auto& t = *fixture.transparency;
    if (fixture.colorType == 3) {
      for (auto v : t) paletteAlpha.push_back(static_cast<std::uint8_t>(v));
    } else if (fixture.colorType == 0) {
      color.gray = t.at(0);
      hasColor = true;
    } else {
      color.red = t.at(0);
      color.green = t.at(1);
      color.blue = t.at(2);
      hasColor = true;
    }
  }

  Bytes out;
  Sink sink{&out};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
  png_infop info = png_create_info_struct(png);
  const WriteJob job{&fixture,
                     rows.data(),
                     palette.data(),
                     static_cast<int>(palette.size()),
                     paletteAlpha.data(),
                     static_cast<int>(paletteAlpha.size()),
                     hasColor ? &color : nullptr};
  const bool written = writeWithLibpng(png, info, &sink, &job);
  png_destroy_write_struct(&png, &info);
  if (!written) return {};
  return out;
}

std::vector<Chunk> parseChunks(const Bytes& png) {
  std::vector<Chunk> chunks;
  if (png.size() < 8 || !std::equal(kSignature, kSignature + 8, png.begin())) return {};
  std::size_t offset = 8;
  while (offset + 12 <= png.size()) {
    const std::uint32_t length = getBigEndian32(png.data() + offset);
    if (length > png.size() - offset - 12) return {};
    Chunk chunk;
    chunk.type.assign(reinterpret_cast<const char*>(png.data() + offset + 4), 4);
    chunk.data.assign(png.begin() + static_cast<std::ptrdiff_t>(offset + 8),
                      png.begin() + static_cast<std::ptrdiff_t>(offset + 8 + length));
    chunks.push_back(std::move(chunk));
    offset += 12 + length;
  }
  return offset == png.size() ? chunks : std::vector<Chunk>{};
}

Bytes assemblePng(const std::vector<Chunk>& chunks) {
  Bytes out(kSignature, kSignature + 8);
  for (const auto& chunk : chunks) {
    putBigEndian32(out, static_cast<std::uint32_t>(chunk.data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), chunk.type.begin(), chunk.type.end());
    out.insert(out.end(), chunk.data.begin(), chunk.data.end());
    const auto crc = crc32(0, out.data() + typeAt, static_cast<uInt>(4 + chunk.data.size()));
    putBigEndian32(out, static_cast<std::uint32_t>(crc));
  }
  return out;
}

Bytes ihdrData(std::uint32_t width, std::uint32_t height, int bitDepth, int colorType,
               int interlace) {
  Bytes data;
  putBigEndian32(data, width);
  putBigEndian32(data, height);
  data.push_back(static_cast<std::uint8_t>(bitDepth));
  data.push_back(static_cast<std::uint8_t>(colorType));
  data.push_back(0);
  data.push_back(0);
  data.push_back(static_cast<std::uint8_t>(interlace));
  return data;
}

Bytes readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << "cannot write fixture " << path;
}

}  // namespace tess::testing
