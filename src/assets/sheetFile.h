#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tess::assets {

// The size every sheet unpacks to: a 122-byte BMP header and 384x384 pixels of 4 bytes.
inline constexpr std::size_t kSheetBmpBytes = 589946;
// The fixed header in front of the compressed stream.
inline constexpr std::size_t kSheetHeaderBytes = 32;
// No sheet compresses to more than its own size and a little; anything larger is refused
// before it is read.
inline constexpr std::uint64_t kMaxSheetFileBytes = 2 * 1024 * 1024;

// Unpacks a whole sheet file into the BMP it holds. The output never grows past kSheetBmpBytes:
// a stream that would unpack to more, or to less, is refused as soon as that shows. False with
// `reason` (not naming the file; the caller does) for a wrong header, a length field that does
// not match the file, damaged or truncated data, or any other size.
[[nodiscard]] bool unpackSheet(std::span<const std::uint8_t> file, std::vector<std::uint8_t>& bmp,
                               std::string& reason);

// The whole sheet file for `bmp`: the header, then the compressed stream with an end marker.
// False with `reason` when the compressor fails (out of memory).
[[nodiscard]] bool packSheet(std::span<const std::uint8_t> bmp, std::vector<std::uint8_t>& file,
                             std::string& reason);

// "sprites-<SHA-256 of bmp in lower-case hex>.bmp.lzma": the name the clients give a sheet.
[[nodiscard]] std::string sheetFileName(std::span<const std::uint8_t> bmp);

// Reads a sheet file from disk, refusing one above kMaxSheetFileBytes before reading it.
[[nodiscard]] bool readSheetFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes,
                                      std::string& reason);

}  // namespace tess::assets
