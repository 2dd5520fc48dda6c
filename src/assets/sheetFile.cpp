#include "assets/sheetFile.h"

#include <lzma.h>
#include <nettle/sha2.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace tess::assets {

namespace {

constexpr std::array<std::uint8_t, 5> kMagic = {0x70, 0x0A, 0xFA, 0x80, 0x24};
// Properties byte, dictionary size and the 64-bit length field.
constexpr std::size_t kStreamHeaderBytes = 13;
constexpr std::size_t kDataAt = kSheetHeaderBytes + kStreamHeaderBytes;
// lc 3, lp 0, pb 2, as every sheet the clients ship has it.
constexpr std::uint8_t kPropertiesByte = 0x5D;
constexpr std::uint32_t kStoredDictionary = 0x02000000;
// A back-reference can never reach past what was unpacked so far, and that never exceeds one
// BMP, so 1 MiB serves every stream whatever dictionary its header names; decoding with the
// named 32 MiB would cost memory for nothing.
constexpr std::uint32_t kWorkingDictionary = 1u << 20;
static_assert(kWorkingDictionary >= kSheetBmpBytes);

using StreamHolder = std::unique_ptr<lzma_stream, void (*)(lzma_stream*)>;

StreamHolder holdStream(lzma_stream& stream) { return {&stream, lzma_end}; }

std::uint64_t readLe(std::span<const std::uint8_t> bytes) {
  std::uint64_t value = 0;
  for (std::size_t i = bytes.size(); i-- > 0;) value = (value << 8) | bytes[i];
  return value;
}

void putLe(std::uint8_t* out, std::uint64_t value, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The number after the magic, which ends at the header's last byte. False with the reason for a
// header that does not hold one.
bool readHeaderLength(std::span<const std::uint8_t> header, std::uint64_t& length,
                      std::string& reason) {
  std::size_t at = 0;
  while (at < header.size() && header[at] == 0) ++at;
  if (at + kMagic.size() >= header.size() ||
      !std::equal(kMagic.begin(), kMagic.end(), header.begin() + static_cast<std::ptrdiff_t>(at))) {
    reason = "not a sprite sheet: wrong magic in the header";
    return false;
  }
  const std::size_t first = at + kMagic.size();
  // Nine groups of seven bits hold any length a file can have.
  if (header.size() - first > 9) {
    reason = "damaged header: its length field is too long";
    return false;
  }
  length = 0;
  for (std::size_t i = first; i < header.size(); ++i) {
    const bool last = i + 1 == header.size();
    if (((header[i] & 0x80) != 0) == last) {
      reason = "damaged header: its length field does not end at byte 31";
      return false;
    }
    length |= std::uint64_t{header[i] & 0x7Fu} << (7 * (i - first));
  }
  return true;
}

bool decoderOptions(std::uint8_t properties, lzma_options_lzma& options, std::string& reason) {
  // The properties byte is (pb * 5 + lp) * 9 + lc.
  if (properties >= 9 * 5 * 5) {
    reason = "damaged stream: properties byte " + std::to_string(properties) + " is invalid";
    return false;
  }
  options = lzma_options_lzma{};
  options.lc = properties % 9u;
  options.lp = (properties / 9u) % 5u;
  options.pb = properties / 45u;
  if (options.lc + options.lp > LZMA_LCLP_MAX) {
    reason = "damaged stream: properties byte " + std::to_string(properties) + " is invalid";
    return false;
  }
  options.dict_size = kWorkingDictionary;
  return true;
}

}  // namespace

bool unpackSheet(std::span<const std::uint8_t> file, std::vector<std::uint8_t>& bmp,
                 std::string& reason) {
  if (file.size() < kDataAt) {
    reason = "truncated: " + std::to_string(file.size()) + " bytes is too short for a sheet";
    return false;
  }
  std::uint64_t length = 0;
  if (!readHeaderLength(file.first(kSheetHeaderBytes), length, reason)) return false;
  if (length != file.size() - kSheetHeaderBytes) {
    reason = "the header says " + std::to_string(length) + " bytes follow it, but " +
             std::to_string(file.size() - kSheetHeaderBytes) + " do" +
             (length > file.size() - kSheetHeaderBytes ? " (truncated)" : "");
    return false;
  }
  lzma_options_lzma options{};
  if (!decoderOptions(file[kSheetHeaderBytes], options, reason)) return false;
  // The field holds the compressed length. Files seen so far count the data after the field;
  // the whole stream's length and "unknown" are taken too, since neither changes how it decodes.
  const std::uint64_t stated = readLe(file.subspan(kSheetHeaderBytes + 5, 8));
  const std::uint64_t data = file.size() - kDataAt;
  if (stated != data && stated != data + kStreamHeaderBytes && stated != UINT64_MAX) {
    reason = "the stream's length field says " + std::to_string(stated) + " bytes, but " +
             std::to_string(data) + " follow it";
    return false;
  }

  const std::array<lzma_filter, 2> filters = {lzma_filter{LZMA_FILTER_LZMA1, &options},
                                              lzma_filter{LZMA_VLI_UNKNOWN, nullptr}};
  lzma_stream stream = LZMA_STREAM_INIT;
  if (lzma_raw_decoder(&stream, filters.data()) != LZMA_OK) {
    reason = "cannot start the decompressor (out of memory)";
    return false;
  }
  const StreamHolder holder = holdStream(stream);
  // One byte of room past the BMP shows a stream that would go on, without unpacking more.
  std::vector<std::uint8_t> out(kSheetBmpBytes + 1);
  stream.next_in = file.data() + kDataAt;
  stream.avail_in = data;
  stream.next_out = out.data();
  stream.avail_out = out.size();
  lzma_ret result = LZMA_OK;
  while (result == LZMA_OK && stream.avail_out > 0) {
    const std::size_t before = stream.avail_in + stream.avail_out;
    result = lzma_code(&stream, LZMA_FINISH);
    if (result == LZMA_OK && stream.avail_in + stream.avail_out == before) break;
  }
  if (stream.total_out > kSheetBmpBytes) {
    reason = "unpacks to more than the " + std::to_string(kSheetBmpBytes) + " bytes of a sheet";
    return false;
  }
  switch (result) {
    case LZMA_STREAM_END:
      break;
    case LZMA_OK:
    case LZMA_BUF_ERROR:
      reason = "truncated: the compressed data ends after " + std::to_string(stream.total_out) +
               " of " + std::to_string(kSheetBmpBytes) + " bytes";
      return false;
    case LZMA_MEM_ERROR:
      reason = "out of memory while unpacking";
      return false;
    default:
      reason = "the compressed data is damaged";
      return false;
  }
  if (stream.total_out != kSheetBmpBytes) {
    reason = "unpacks to " + std::to_string(stream.total_out) + " bytes, not the " +
             std::to_string(kSheetBmpBytes) + " of a sheet";
    return false;
  }
  out.resize(kSheetBmpBytes);
  bmp = std::move(out);
  return true;
}

bool packSheet(std::span<const std::uint8_t> bmp, std::vector<std::uint8_t>& file,
               std::string& reason) {
  lzma_options_lzma options{};
  if (lzma_lzma_preset(&options, 6) != 0) {
    reason = "cannot set up the compressor";
    return false;
  }
  // The stream is never longer than a sheet, so a larger dictionary would only cost memory; the
  // header still names the size the clients' own sheets name.
  options.dict_size = kWorkingDictionary;
  const std::array<lzma_filter, 2> filters = {lzma_filter{LZMA_FILTER_LZMA1, &options},
                                              lzma_filter{LZMA_VLI_UNKNOWN, nullptr}};
  lzma_stream stream = LZMA_STREAM_INIT;
  if (lzma_raw_encoder(&stream, filters.data()) != LZMA_OK) {
    reason = "cannot start the compressor (out of memory)";
    return false;
  }
  const StreamHolder holder = holdStream(stream);
  std::vector<std::uint8_t> out(kDataAt + bmp.size() / 8 + 4096);
  stream.next_in = bmp.data();
  stream.avail_in = bmp.size();
  stream.next_out = out.data() + kDataAt;
  stream.avail_out = out.size() - kDataAt;
  for (;;) {
    const lzma_ret result = lzma_code(&stream, LZMA_FINISH);
    if (result == LZMA_STREAM_END) break;
    if (result != LZMA_OK) {
      reason =
          result == LZMA_MEM_ERROR ? "out of memory while compressing" : "the compressor failed";
      return false;
    }
    if (stream.avail_out == 0) {
      const std::size_t used = out.size();
      out.resize(used * 2);
      stream.next_out = out.data() + used;
      stream.avail_out = out.size() - used;
    }
  }
  const std::uint64_t data = stream.total_out;
  out.resize(kDataAt + data);

  std::uint8_t* const header = out.data();
  std::memset(header, 0, kSheetHeaderBytes);
  std::array<std::uint8_t, 10> groups{};
  std::size_t count = 0;
  for (std::uint64_t rest = out.size() - kSheetHeaderBytes; count == 0 || rest != 0; rest >>= 7) {
    groups[count++] = static_cast<std::uint8_t>(rest & 0x7F);
  }
  for (std::size_t i = 0; i + 1 < count; ++i) groups[i] |= 0x80;
  std::uint8_t* const lengthAt = header + kSheetHeaderBytes - count;
  std::memcpy(lengthAt - kMagic.size(), kMagic.data(), kMagic.size());
  std::memcpy(lengthAt, groups.data(), count);
  header[kSheetHeaderBytes] = kPropertiesByte;
  putLe(header + kSheetHeaderBytes + 1, kStoredDictionary, 4);
  putLe(header + kSheetHeaderBytes + 5, data, 8);
  file = std::move(out);
  return true;
}

std::string sheetFileName(std::span<const std::uint8_t> bmp) {
  sha256_ctx context;
  sha256_init(&context);
  sha256_update(&context, bmp.size(), bmp.data());
  std::array<std::uint8_t, SHA256_DIGEST_SIZE> digest{};
  sha256_digest(&context, digest.size(), digest.data());
  static constexpr char kHex[] = "0123456789abcdef";
  std::string name = "sprites-";
  for (const std::uint8_t byte : digest) {
    name += kHex[byte >> 4];
    name += kHex[byte & 0x0F];
  }
  return name + ".bmp.lzma";
}

bool readSheetFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes,
                        std::string& reason) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (error || !fs::exists(status)) {
    reason = "missing: no such file";
    return false;
  }
  if (!fs::is_regular_file(status)) {
    reason = "is not a regular file";
    return false;
  }
  const std::uint64_t size = fs::file_size(path, error);
  if (error) {
    reason = "cannot read the file: " + error.message();
    return false;
  }
  if (size > kMaxSheetFileBytes) {
    reason = "is " + std::to_string(size) + " bytes, more than any sheet takes";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> content(static_cast<std::size_t>(size));
  if (!in || !in.read(reinterpret_cast<char*>(content.data()),
                      static_cast<std::streamsize>(content.size()))) {
    reason = std::string("cannot read the file: ") + std::strerror(errno);
    return false;
  }
  bytes = std::move(content);
  return true;
}

}  // namespace tess::assets
