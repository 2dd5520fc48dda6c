#include "gif_encoder.h"
#include "indexed_animation.h"

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImageReader>

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <stdexcept>
#include <string>

namespace tess::artwork {
namespace {

struct Shape {
  int width;
  int height;
  int colours;
  int frames;
};

void PrintTo(const Shape& shape, std::ostream* os) {
  *os << shape.width << "x" << shape.height << ", " << shape.colours << " colours, " << shape.frames
      << " frames";
}

GifAnimation randomAnimation(const Shape& shape, unsigned seed) {
  std::mt19937 random(seed);
  GifAnimation animation;
  animation.width = shape.width;
  animation.height = shape.height;
  for (int i = 0; i < shape.colours; ++i) {
    animation.palette.push_back({static_cast<std::uint8_t>(random()),
                                 static_cast<std::uint8_t>(random()),
                                 static_cast<std::uint8_t>(random())});
  }
  std::uniform_int_distribution<int> pick(0, shape.colours - 1);
  for (int f = 0; f < shape.frames; ++f) {
    GifFrame frame;
    frame.delayCentiseconds = 5 + 10 * f;
    for (int i = 0; i < shape.width * shape.height; ++i) {
      frame.indices.push_back(static_cast<std::uint8_t>(pick(random)));
    }
    animation.frames.push_back(std::move(frame));
  }
  return animation;
}

QByteArray bytesOf(const std::vector<std::uint8_t>& data) {
  return QByteArray(reinterpret_cast<const char*>(data.data()),
                    static_cast<qsizetype>(data.size()));
}

QImage straight(const QImage& image) { return image.convertToFormat(QImage::Format_ARGB32); }

class GifRoundTrip : public testing::TestWithParam<Shape> {};

// Sizes well past one clear-code run and one 255-byte sub-block, the full 256-colour table, a
// single pixel and a tiny palette: Qt's decoder must give back every pixel and every delay.
TEST_P(GifRoundTrip, QtDecodesEveryPixelAndDelay) {
  const GifAnimation animation = randomAnimation(GetParam(), 1234);
  QByteArray encoded = bytesOf(encodeGif(animation));
  QBuffer buffer(&encoded);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "gif");
  ASSERT_TRUE(reader.canRead());
  EXPECT_EQ(reader.imageCount(), GetParam().frames);
  EXPECT_EQ(reader.loopCount(), -1);
  for (std::size_t f = 0; f < animation.frames.size(); ++f) {
    const QImage decoded = reader.read();
    ASSERT_FALSE(decoded.isNull()) << "frame " << f;
    EXPECT_EQ(reader.nextImageDelay(), animation.frames[f].delayCentiseconds * 10);
    const QImage expected = expectedFrame(animation, f);
    const QImage got = straight(decoded);
    ASSERT_EQ(got.size(), expected.size());
    for (int y = 0; y < got.height(); ++y) {
      for (int x = 0; x < got.width(); ++x) {
        const QRgb want = expected.pixel(x, y);
        const QRgb have = got.pixel(x, y);
        if (qAlpha(want) == 0) {
          ASSERT_EQ(qAlpha(have), 0) << "frame " << f << " at " << x << "," << y;
        } else {
          ASSERT_EQ(have, want) << "frame " << f << " at " << x << "," << y;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, GifRoundTrip,
                         testing::Values(Shape{1, 1, 2, 1}, Shape{32, 32, 256, 2},
                                         Shape{100, 70, 17, 3}, Shape{600, 3, 200, 2}),
                         [](const testing::TestParamInfo<Shape>& info) {
                           const Shape& s = info.param;
                           return std::to_string(s.width) + "x" + std::to_string(s.height) + "_" +
                                  std::to_string(s.colours) + "colours_" +
                                  std::to_string(s.frames) + "frames";
                         });

TEST(GifEncoder, WritesTheLoopForeverExtensionAndTrailer) {
  const std::vector<std::uint8_t> encoded = encodeGif(randomAnimation({4, 4, 3, 2}, 7));
  const QByteArray bytes = bytesOf(encoded);
  EXPECT_TRUE(bytes.startsWith("GIF89a"));
  const qsizetype netscape = bytes.indexOf("NETSCAPE2.0");
  ASSERT_GE(netscape, 0);
  EXPECT_EQ(bytes.mid(netscape + 11, 5), QByteArray("\x03\x01\x00\x00\x00", 5));
  EXPECT_EQ(bytes.back(), '\x3B');
}

TEST(GifEncoder, RefusesAnimationsItCannotWrite) {
  const GifAnimation good = randomAnimation({4, 4, 3, 1}, 9);
  std::vector<GifAnimation> bad(7, good);
  bad[0].frames.clear();
  bad[1].frames[0].indices.pop_back();
  bad[2].frames[0].indices[5] = 3;  // palette holds 0..2
  bad[3].transparentIndex = 3;
  bad[4].palette.resize(257);
  bad[5].width = 0;
  bad[6].frames[0].delayCentiseconds = 70000;
  for (std::size_t i = 0; i < bad.size(); ++i) {
    EXPECT_THROW(encodeGif(bad[i]), std::invalid_argument) << "case " << i;
  }
  EXPECT_NO_THROW(encodeGif(good));
}

TEST(IndexFrames, HalfCoveredPixelsBecomeOpaqueOverTheBackdrop) {
  QImage frame(4, 1, QImage::Format_ARGB32);
  frame.setPixel(0, 0, qRgba(0, 0, 0, 0));
  frame.setPixel(1, 0, qRgba(255, 0, 0, 127));
  frame.setPixel(2, 0, qRgba(0, 0, 0, 128));
  frame.setPixel(3, 0, qRgba(10, 20, 30, 255));
  const GifAnimation animation = indexFrames({frame}, QColor(200, 200, 200), 60);
  ASSERT_EQ(animation.frames.size(), 1u);
  const std::vector<std::uint8_t>& indices = animation.frames[0].indices;
  EXPECT_EQ(indices[0], animation.transparentIndex);
  EXPECT_EQ(indices[1], animation.transparentIndex);
  ASSERT_NE(indices[2], animation.transparentIndex);
  // 200 * 127 / 255, rounded
  EXPECT_EQ(animation.palette[indices[2]], (GifColour{100, 100, 100}));
  EXPECT_EQ(animation.palette[indices[3]], (GifColour{10, 20, 30}));
  EXPECT_EQ(animation.frames[0].delayCentiseconds, 60);
}

TEST(IndexFrames, RefusesMoreColoursThanATableHolds) {
  QImage frame(256, 1, QImage::Format_ARGB32);
  for (int x = 0; x < 256; ++x) frame.setPixel(x, 0, qRgb(x, 0, 0));
  EXPECT_THROW(indexFrames({frame}, Qt::white, 60), std::runtime_error);
  frame.setPixel(0, 0, qRgba(0, 0, 0, 0));  // 255 colours plus the transparent one fit
  EXPECT_NO_THROW(indexFrames({frame}, Qt::white, 60));
}

}  // namespace
}  // namespace tess::artwork

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
