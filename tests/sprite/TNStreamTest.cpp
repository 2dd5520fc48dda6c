#include "sprite/TNStream.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "support/TempDir.h"

namespace tess {
namespace {

using testing::TempDir;

using Bytes = std::vector<std::uint8_t>;

TNStream streamOf(const Bytes& bytes) {
  TNStream stream;
  stream.bytes().assign(bytes.begin(), bytes.end());
  return stream;
}

Bytes contents(const TNStream& stream) { return {stream.bytes().begin(), stream.bytes().end()}; }

TEST(TNStreamTest, IntegersAreLittleEndianAndTheCountReadIsSigned) {
  TNStream stream = streamOf({0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0x34, 0x12});
  EXPECT_EQ(stream.readInteger(), 0x12345678);
  EXPECT_EQ(stream.readInteger(), -1);
  EXPECT_EQ(stream.readWord(), 0x1234);
  EXPECT_EQ(stream.position(), 10u);
}

TEST(TNStreamTest, WritesAreLittleEndianAndWordKeepsTheLowSixteenBits) {
  TNStream stream;
  stream.writeInteger(-2);
  stream.writeWord(0x12345678u);
  EXPECT_EQ(contents(stream), (Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0x78, 0x56}));
}

TEST(TNStreamTest, ReadCopiesWhatIsThereAndNothingBeyond) {
  TNStream stream = streamOf({1, 2, 3});
  std::uint8_t buffer[8] = {};
  stream.seek(1);
  EXPECT_EQ(stream.read(buffer, 8), 2u);
  EXPECT_EQ(buffer[0], 2);
  EXPECT_EQ(buffer[1], 3);
  EXPECT_EQ(stream.position(), 3u);
  EXPECT_EQ(stream.read(buffer, 8), 0u);
  stream.seek(100);
  EXPECT_EQ(stream.read(buffer, 1), 0u);
  EXPECT_EQ(stream.position(), 100u);
}

TEST(TNStreamTest, ShortIntegerReadsThrowInsteadOfReadingPastTheEnd) {
  TNStream stream = streamOf({1, 2, 3});
  EXPECT_THROW(stream.readInteger(), EReadError);
  TNStream one = streamOf({1});
  EXPECT_THROW(one.readWord(), EReadError);
  TNStream none;
  EXPECT_THROW(none.readWord(), EReadError);
}

TEST(TNStreamTest, WritingPastTheEndFillsTheGapAndOverwritingKeepsTheRest) {
  TNStream stream;
  stream.seek(4);
  stream.writeWord(0xBBAA);
  EXPECT_EQ(contents(stream), (Bytes{0, 0, 0, 0, 0xAA, 0xBB}));
  stream.seek(1);
  const std::uint8_t straddle[] = {9, 9, 9, 9, 9, 9, 9};
  stream.write(straddle, sizeof straddle);
  EXPECT_EQ(contents(stream), (Bytes{0, 9, 9, 9, 9, 9, 9, 9}));
  EXPECT_EQ(stream.position(), 8u);
  stream.seek(2);
  stream.writeWord(0x0201);
  EXPECT_EQ(contents(stream), (Bytes{0, 9, 1, 2, 9, 9, 9, 9}));
}

// Filling in place must look exactly like write(): only the bytes the filler reports count,
// wherever the position is, and a filler that fails or overruns changes nothing.
TEST(TNStreamTest, WritingInPlaceKeepsOnlyWhatTheFillerReports) {
  const auto fillNines = [](std::size_t reported) {
    return [reported](std::uint8_t* at) {
      for (std::size_t i = 0; i < 6; ++i) at[i] = 9;
      return reported;
    };
  };
  TNStream stream = streamOf({1, 2, 3});
  stream.seek(3);
  stream.writeInPlace(6, fillNines(2));  // at the end
  EXPECT_EQ(contents(stream), (Bytes{1, 2, 3, 9, 9}));
  EXPECT_EQ(stream.position(), 5u);
  stream.seek(7);
  stream.writeInPlace(6, fillNines(1));  // past the end
  EXPECT_EQ(contents(stream), (Bytes{1, 2, 3, 9, 9, 0, 0, 9}));
  stream.seek(1);
  stream.writeInPlace(6, fillNines(1));  // inside: the bytes after it stay
  EXPECT_EQ(contents(stream), (Bytes{1, 9, 3, 9, 9, 0, 0, 9}));
  EXPECT_EQ(stream.position(), 2u);

  const Bytes before = contents(stream);
  for (const std::size_t position : {std::size_t{2}, std::size_t{8}, std::size_t{20}}) {
    stream.seek(position);
    EXPECT_THROW(
        stream.writeInPlace(
            6, [](std::uint8_t*) -> std::size_t { throw std::runtime_error("fill failed"); }),
        std::runtime_error);
    EXPECT_THROW(stream.writeInPlace(6, fillNines(7)), std::length_error);
    EXPECT_EQ(contents(stream), before);
    EXPECT_EQ(stream.position(), position);
  }
}

TEST(TNStreamTest, FilesRoundTripThroughSaveAndLoad) {
  const TempDir dir;
  TNStream out;
  for (int i = 0; i < 100000; ++i) out.writeWord(static_cast<std::uint32_t>(i));
  out.SaveToFile(dir.file("data.bin"));
  TNStream in;
  in.seek(7);
  in.LoadFromFile(dir.file("data.bin"));
  EXPECT_EQ(in.position(), 0u);
  EXPECT_EQ(contents(in), contents(out));
}

TEST(TNStreamTest, LoadingSomethingThatIsNotAReadableFileThrows) {
  const TempDir dir;
  TNStream stream;
  EXPECT_THROW(stream.LoadFromFile(dir.file("missing.spr")), std::runtime_error);
  EXPECT_THROW(stream.LoadFromFile(dir.path().string()), std::runtime_error);
  EXPECT_THROW(stream.LoadFromFile(""), std::runtime_error);
  EXPECT_THROW(stream.LoadFromFile("/dev/zero"), std::runtime_error);  // would never end
  EXPECT_THROW(stream.LoadFromFile("/dev/null"), std::runtime_error);
}

// Big enough for the buffer to be a block of its own; a gap written over must still read as
// zeros and the contents must survive growth.
TEST(TNStreamTest, LargeBuffersBehaveLikeSmallOnes) {
  TNStream stream;
  stream.seek(3 * kLargeBlockThreshold);
  stream.writeWord(0xBEEF);
  EXPECT_EQ(stream.size(), 3 * kLargeBlockThreshold + 2);
  std::size_t nonZero = 0;
  for (std::size_t i = 0; i < 3 * kLargeBlockThreshold; ++i) nonZero += stream.bytes()[i] != 0;
  EXPECT_EQ(nonZero, 0u);
  for (int i = 0; i < 300000; ++i) stream.writeInteger(i);
  stream.seek(3 * kLargeBlockThreshold + 2 + 4 * 299999);
  EXPECT_EQ(stream.readInteger(), 299999);
  stream.seek(3 * kLargeBlockThreshold);
  EXPECT_EQ(stream.readWord(), 0xBEEF);
}

TEST(TNStreamTest, LoadingAnEmptyFileGivesAnEmptyStream) {
  const TempDir dir;
  testing::writeBytes(dir.file("empty"), {});
  TNStream stream = streamOf({1, 2, 3});
  stream.LoadFromFile(dir.file("empty"));
  EXPECT_EQ(stream.size(), 0u);
}

}  // namespace
}  // namespace tess
