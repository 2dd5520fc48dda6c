#include "gif_encoder.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace tess::artwork {
namespace {

constexpr int kMinCodeSize = 8;
constexpr unsigned kClearCode = 1u << kMinCodeSize;
constexpr unsigned kEndCode = kClearCode + 1;
constexpr int kCodeWidth = kMinCodeSize + 1;
// Every literal after the first one adds a dictionary entry in the decoder. Clearing before the
// table reaches 512 entries keeps every code 9 bits wide, so the encoder never has to follow the
// decoder's width changes; the margin also covers decoders that widen one code early.
constexpr int kLiteralsPerClear = 250;
constexpr std::size_t kMaxSubBlock = 255;

class ByteSink {
 public:
  void byte(unsigned value) { bytes_.push_back(static_cast<std::uint8_t>(value & 0xFFu)); }
  void word(unsigned value) {
    byte(value);
    byte(value >> 8);
  }
  void text(std::string_view value) {
    for (const char c : value) byte(static_cast<unsigned char>(c));
  }
  void append(const std::vector<std::uint8_t>& more) {
    bytes_.insert(bytes_.end(), more.begin(), more.end());
  }
  std::vector<std::uint8_t> take() { return std::move(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
};

// GIF packs codes from the least significant bit upwards.
class CodePacker {
 public:
  void put(unsigned code) {
    pending_ |= code << pendingBits_;
    pendingBits_ += kCodeWidth;
    while (pendingBits_ >= 8) {
      bytes_.push_back(static_cast<std::uint8_t>(pending_ & 0xFFu));
      pending_ >>= 8;
      pendingBits_ -= 8;
    }
  }
  std::vector<std::uint8_t> finish() {
    if (pendingBits_ > 0) bytes_.push_back(static_cast<std::uint8_t>(pending_ & 0xFFu));
    pending_ = 0;
    pendingBits_ = 0;
    return std::move(bytes_);
  }

 private:
  std::vector<std::uint8_t> bytes_;
  unsigned pending_ = 0;
  int pendingBits_ = 0;
};

std::vector<std::uint8_t> lzwCodes(const std::vector<std::uint8_t>& indices) {
  CodePacker packer;
  packer.put(kClearCode);
  int sinceClear = 0;
  for (const std::uint8_t index : indices) {
    if (sinceClear == kLiteralsPerClear) {
      packer.put(kClearCode);
      sinceClear = 0;
    }
    packer.put(index);
    ++sinceClear;
  }
  packer.put(kEndCode);
  return packer.finish();
}

void writeSubBlocks(ByteSink& out, const std::vector<std::uint8_t>& data) {
  for (std::size_t at = 0; at < data.size(); at += kMaxSubBlock) {
    const std::size_t length = std::min(kMaxSubBlock, data.size() - at);
    out.byte(static_cast<unsigned>(length));
    out.append(std::vector<std::uint8_t>(data.begin() + static_cast<std::ptrdiff_t>(at),
                                         data.begin() + static_cast<std::ptrdiff_t>(at + length)));
  }
  out.byte(0);
}

void check(const GifAnimation& animation) {
  if (animation.width <= 0 || animation.height <= 0 || animation.width > 0xFFFF ||
      animation.height > 0xFFFF) {
    throw std::invalid_argument("GIF size out of range");
  }
  if (animation.palette.empty() || animation.palette.size() > 256) {
    throw std::invalid_argument("GIF palette must hold 1 to 256 colours");
  }
  if (animation.transparentIndex < 0 ||
      static_cast<std::size_t>(animation.transparentIndex) >= animation.palette.size()) {
    throw std::invalid_argument("GIF transparent index outside the palette");
  }
  if (animation.loopCount < 0 || animation.loopCount > 0xFFFF) {
    throw std::invalid_argument("GIF loop count out of range");
  }
  if (animation.frames.empty()) throw std::invalid_argument("GIF needs at least one frame");
  const auto pixels =
      static_cast<std::size_t>(animation.width) * static_cast<std::size_t>(animation.height);
  for (const GifFrame& frame : animation.frames) {
    if (frame.indices.size() != pixels) throw std::invalid_argument("GIF frame size mismatch");
    if (frame.delayCentiseconds < 0 || frame.delayCentiseconds > 0xFFFF) {
      throw std::invalid_argument("GIF frame delay out of range");
    }
    const bool inPalette = std::all_of(frame.indices.begin(), frame.indices.end(), [&](auto i) {
      return static_cast<std::size_t>(i) < animation.palette.size();
    });
    if (!inPalette) throw std::invalid_argument("GIF frame uses a colour outside the palette");
  }
}

}  // namespace

std::vector<std::uint8_t> encodeGif(const GifAnimation& animation) {
  check(animation);
  ByteSink out;
  out.text("GIF89a");

  // Logical screen: global table of 256 colours, 8 bits per primary.
  out.word(static_cast<unsigned>(animation.width));
  out.word(static_cast<unsigned>(animation.height));
  out.byte(0x80u | (7u << 4) | 7u);
  out.byte(static_cast<unsigned>(animation.transparentIndex));
  out.byte(0);
  for (std::size_t i = 0; i < 256; ++i) {
    const GifColour colour = i < animation.palette.size() ? animation.palette[i] : GifColour{};
    for (const std::uint8_t channel : colour) out.byte(channel);
  }

  out.byte(0x21);
  out.byte(0xFF);
  out.byte(11);
  out.text("NETSCAPE2.0");
  out.byte(3);
  out.byte(1);
  out.word(static_cast<unsigned>(animation.loopCount));
  out.byte(0);

  for (const GifFrame& frame : animation.frames) {
    // Graphic control: dispose to background (2), transparent colour present.
    out.byte(0x21);
    out.byte(0xF9);
    out.byte(4);
    out.byte((2u << 2) | 1u);
    out.word(static_cast<unsigned>(frame.delayCentiseconds));
    out.byte(static_cast<unsigned>(animation.transparentIndex));
    out.byte(0);

    out.byte(0x2C);
    out.word(0);
    out.word(0);
    out.word(static_cast<unsigned>(animation.width));
    out.word(static_cast<unsigned>(animation.height));
    out.byte(0);

    out.byte(kMinCodeSize);
    writeSubBlocks(out, lzwCodes(frame.indices));
  }

  out.byte(0x3B);
  return out.take();
}

}  // namespace tess::artwork
