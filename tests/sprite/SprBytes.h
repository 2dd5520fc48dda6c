#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace tess::testing {

// Builds SPR file images byte by byte, so tests state exactly what lies on disk.
class SprBytes {
 public:
  SprBytes& u8(std::initializer_list<int> values) {
    for (const int v : values) FBytes.push_back(static_cast<unsigned char>(v));
    return *this;
  }
  SprBytes& u16(std::uint32_t value) {
    FBytes.push_back(static_cast<unsigned char>(value));
    FBytes.push_back(static_cast<unsigned char>(value >> 8));
    return *this;
  }
  SprBytes& u32(std::uint32_t value) {
    u16(value & 0xFFFF);
    return u16(value >> 16);
  }
  // Signature and count, 16- or 32-bit.
  SprBytes& header(std::uint32_t signature, std::uint32_t count, bool sprite32) {
    u32(signature);
    return sprite32 ? u32(count) : u16(count);
  }
  // A record: colour key, data size, then whatever the caller appends as run data.
  SprBytes& record(std::uint16_t dataSize) { return u8({0xFF, 0x00, 0xFF}).u16(dataSize); }
  SprBytes& run(std::uint16_t transparent, std::uint16_t coloured) {
    return u16(transparent).u16(coloured);
  }
  SprBytes& rgb(int red, int green, int blue) { return u8({red, green, blue}); }
  SprBytes& append(const SprBytes& more) {
    FBytes.insert(FBytes.end(), more.FBytes.begin(), more.FBytes.end());
    return *this;
  }

  std::size_t size() const { return FBytes.size(); }
  const std::vector<unsigned char>& bytes() const { return FBytes; }
  operator const std::vector<unsigned char>&() const { return FBytes; }

 private:
  std::vector<unsigned char> FBytes;
};

}  // namespace tess::testing
