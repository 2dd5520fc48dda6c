#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "MiniJson.h"
#include "bitmap/TBitmap32.h"
#include "core/editorCore.h"
#include "core/spriteEdits.h"
#include "image/PNG.h"
#include "image/spriteSheet.h"
#include "sprite/TSpriteFile.h"
#include "support/FakeHost.h"
#include "support/TempDir.h"

namespace tess::testing {
namespace {

namespace fs = std::filesystem;

// One catalog entry per layout.
struct LayoutVersion {
  const char* name;
  std::uint32_t signature;
  TSprLayout layout;
};
const std::vector<LayoutVersion> kVersions = {
    {"7.40", 0x41B9EA86u, {false, false}},
    {"10.98", 0x57BBD603u, {true, false}},
    {"A16", 0xA1A1A116u, {false, true}},
    {"A32", 0xA1A1A132u, {true, true}},
};

constexpr const char* kConfig =
    "[7.40]\nSPRSignature=41B9EA86\nsprite32=0\n"
    "[10.98]\nSPRSignature=57BBD603\nsprite32=1\n"
    "[A16]\nSPRSignature=A1A1A116\nsprite32=0\nalpha=1\n"
    "[A32]\nSPRSignature=A1A1A132\nsprite32=1\nalpha=1\n";

// A sprite image drawn from `pattern` (the same pattern, the same image): a coloured shape
// on transparent pixels, with one half-transparent pixel that only alpha files keep as it is.
std::unique_ptr<TBitmap32> patternImage(int pattern) {
  auto image = std::make_unique<TBitmap32>();
  image->SetSizeAndFill(32, 32, clTransparentWhite32);
  TColor32* const pixels = image->FBits();
  for (int i = 0; i < 1024; ++i) {
    if ((i * 7 + pattern * 13) % 5 == 0) continue;
    pixels[i] = PackColor32(static_cast<std::uint8_t>(pattern * 40), static_cast<std::uint8_t>(i),
                            static_cast<std::uint8_t>(255 - pattern), 255);
  }
  pixels[33] = PackColor32(10, 20, 30, 128);
  return image;
}

// Sprites by pattern: 0 is an empty sprite, -k a cleared sprite that keeps pattern k hidden.
void fillSprites(TSpriteFile& file, const std::vector<int>& patterns) {
  file.New();
  for (const int pattern : patterns) {
    auto sprite = std::make_unique<TSprite>();
    sprite->setID(static_cast<std::int32_t>(file.Sprites.size() + 1));
    if (pattern != 0) {
      sprite->bitmap = patternImage(pattern < 0 ? -pattern : pattern);
      sprite->isDUmmy = pattern < 0;
    }
    file.Sprites.push_back(std::move(sprite));
  }
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override { writeText(dir.file("config.ini"), kConfig); }

  static void writeText(const std::string& path, const std::string& text) {
    writeBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
  }

  // Runs the tool with this test's catalog.
  CliResult run(std::vector<std::string> arguments) {
    arguments.push_back("--config=" + dir.file("config.ini"));
    return runTool(TESS_CLI_PATH, arguments, dir.path().string());
  }

  // A sprite file saved by the editor's own writer.
  std::string makeFile(const std::string& name, const LayoutVersion& version,
                       const std::vector<int>& patterns) {
    TSpriteFile file(host);
    fillSprites(file, patterns);
    const std::string path = dir.file(name);
    EXPECT_TRUE(file.save(path, static_cast<std::int32_t>(version.signature), version.layout))
        << file.errorString();
    return path;
  }

  std::unique_ptr<TSpriteFile> load(const std::string& path, TSprLayout layout) {
    auto file = std::make_unique<TSpriteFile>(host);
    EXPECT_TRUE(file->load(path, layout)) << file->errorString();
    return file;
  }

  FakeHost host;
  TempDir dir;
};

// ----- info

TEST_F(CliTest, InfoDescribesEveryLayoutInTextAndJson) {
  for (const LayoutVersion& version : kVersions) {
    SCOPED_TRACE(version.name);
    const std::string path = makeFile("info.spr", version, {1, 0, 2, -3, 2});
    const auto bytes = std::to_string(fs::file_size(path));

    const CliResult text = run({"info", path});
    EXPECT_EQ(text.status, 0) << text.err;
    char signature[9];
    std::snprintf(signature, sizeof signature, "%08X", version.signature);
    EXPECT_EQ(text.out, std::string("signature: ") + signature + "\nversion: " + version.name +
                            "\ncount width: " + std::to_string(version.layout.countBits()) +
                            " bits\nalpha: " + (version.layout.alpha ? "yes" : "no") +
                            "\nsprites: 5\nempty: 2\nbytes: " + bytes + "\n");
    EXPECT_EQ(text.err, "");

    const CliResult json = run({"info", "--json", path});
    EXPECT_EQ(json.status, 0) << json.err;
    const Json object = Json::parse(json.out);
    EXPECT_EQ(object["signature"].text, signature);
    EXPECT_EQ(object["version"].text, version.name);
    EXPECT_EQ(object["countBits"].number, static_cast<long long>(version.layout.countBits()));
    EXPECT_EQ(object["alpha"].boolean, version.layout.alpha);
    EXPECT_EQ(object["sprites"].number, 5);
    EXPECT_EQ(object["empty"].number, 2);
    EXPECT_EQ(std::to_string(object["bytes"].number), bytes);
  }
}

TEST_F(CliTest, InfoDetectsTheLayoutOfAnUnknownSignature) {
  const LayoutVersion stranger{"?", 0x12345678u, {true, true}};
  const std::string path = makeFile("unknown.spr", stranger, {1, 2, 0});
  const Json object = Json::parse(run({"info", "--json", path}).out);
  EXPECT_EQ(object["signature"].text, "12345678");
  EXPECT_EQ(object["version"].text, "unknown");
  EXPECT_EQ(object["countBits"].number, 32);
  EXPECT_TRUE(object["alpha"].boolean);
  EXPECT_EQ(object["sprites"].number, 3);
}

TEST_F(CliTest, AutoDetectTakesTheEntryWhoseLayoutReadsWhenASignatureIsShared) {
  writeText(dir.file("shared.ini"),
            "[S16]\nSPRSignature=0BADF00D\nsprite32=0\n[S32]\nSPRSignature=0BADF00D\nsprite32=1\n");
  const std::string path = makeFile("shared.spr", {"?", 0x0BADF00Du, {true, false}}, {1, 2});
  const CliResult result =
      runTool(TESS_CLI_PATH, {"info", "--json", path, "--config", dir.file("shared.ini")},
              dir.path().string());
  ASSERT_EQ(result.status, 0) << result.err;
  const Json object = Json::parse(result.out);
  EXPECT_EQ(object["version"].text, "S32");
  EXPECT_EQ(object["countBits"].number, 32);
}

TEST_F(CliTest, ClientNamesTheVersionToReadAs) {
  const std::string path = makeFile("plain.spr", kVersions[0], {1, 2});
  // Read as 32-bit counts, the 16-bit file's table does not hold together.
  const CliResult wrong = run({"info", "--client", "10.98", path});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.out, "");
  EXPECT_NE(wrong.err.find(path + ": "), std::string::npos) << wrong.err;

  EXPECT_EQ(run({"info", "--client", "7.40", path}).status, 0);
  const CliResult unknown = run({"info", "--client", "9.99", path});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("no version \"9.99\""), std::string::npos) << unknown.err;
}

// ----- trouble common to all subcommands

TEST_F(CliTest, MissingMalformedAndFolderInputsAreTroubleNamedOnOneLine) {
  const std::string garbage = dir.file("garbage.spr");
  writeText(garbage, "not a sprite file at all, just some text that is long enough");
  const std::string tiny = dir.file("tiny.spr");
  writeText(tiny, "ab");
  fs::create_directory(dir / "folder.spr");
  for (const std::string command : {"info", "duplicates", "verify"}) {
    for (const std::string& path :
         {dir.file("missing.spr"), garbage, tiny, dir.file("folder.spr")}) {
      SCOPED_TRACE(command + " " + path);
      const CliResult result = run({command, path});
      EXPECT_EQ(result.status, 2);
      EXPECT_EQ(result.out, "");
      EXPECT_TRUE(std::regex_match(result.err, std::regex("tessaline-cli: " + path + ": .+\n")))
          << result.err;
    }
  }
}

TEST_F(CliTest, UsageErrorsHelpAndVersion) {
  const std::string path = makeFile("u.spr", kVersions[0], {1});
  const std::vector<std::vector<std::string>> usage = {
      {},
      {"frobnicate", path},
      {"info"},
      {"info", path, path},
      {"info", "--bogus", path},
      {"convert", path, dir.file("o.spr")},
      {"convert", path, "--to"},
      {"export", path},
      {"export", path, dir.file("d"), dir.file("e"), "--sheet", "s.png"},
      {"export", path, dir.file("d"), "--columns", "3"},
      {"export", path, dir.file("d"), "--ids", "3-1"},
      {"export", path, "--sheet", dir.file("s.png"), "--columns", "0"},
      {"import", path},
      {"diff", path},
      {"info", "--json=yes", path},
  };
  for (const auto& words : usage) {
    SCOPED_TRACE(words.empty() ? "(nothing)" : words.front());
    const CliResult result = run(words);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(std::regex_match(result.err, std::regex("tessaline-cli: [^\n]+\n"))) << result.err;
  }

  const CliResult help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: tessaline-cli"), std::string::npos);
  const CliResult version = run({"info", "--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("tessaline-cli ") + TESS_VERSION + "\n");
}

TEST_F(CliTest, AnUnreadableCatalogIsTrouble) {
  const std::string path = makeFile("c.spr", kVersions[0], {1});
  writeText(dir.file("bad.ini"), "[7.40]\nsprite32=0\n");
  const CliResult result =
      runTool(TESS_CLI_PATH, {"info", path, "--config", dir.file("bad.ini")}, dir.path().string());
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find(dir.file("bad.ini") + ": "), std::string::npos) << result.err;
}

TEST_F(CliTest, QuietLeavesOnlyErrors) {
  const std::string path = makeFile("q.spr", kVersions[0], {1, 1});
  const CliResult result = run({"duplicates", "--quiet", path});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(run({"info", "--quiet", dir.file("none.spr")}).err,
            "tessaline-cli: " + dir.file("none.spr") + ": no such file\n");
}

// ----- verify

// A 16-bit file whose records are given byte for byte.
std::vector<unsigned char> handMadeFile(const std::vector<std::vector<unsigned char>>& records,
                                        std::uint16_t count) {
  std::vector<unsigned char> bytes = {0x86,
                                      0xEA,
                                      0xB9,
                                      0x41,
                                      static_cast<unsigned char>(count),
                                      static_cast<unsigned char>(count >> 8)};
  std::size_t offset = 6 + 4 * records.size();
  std::vector<unsigned char> body;
  for (const auto& record : records) {
    const std::size_t at = record.empty() ? 0 : offset + body.size();
    for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<unsigned char>(at >> (8 * b)));
    body.insert(body.end(), record.begin(), record.end());
  }
  bytes.insert(bytes.end(), body.begin(), body.end());
  return bytes;
}

TEST_F(CliTest, VerifyReportsEveryBadRecordWithItsId) {
  const std::vector<unsigned char> good = {0xFF, 0x00, 0xFF, 7, 0, 2, 0, 1, 0, 9, 9, 9};
  const std::vector<unsigned char> tooManyPixels = {0xFF, 0x00, 0xFF, 7, 0, 0xFF, 3, 2, 0, 1, 2, 3};
  const std::vector<unsigned char> pastItsEnd = {0xFF, 0x00, 0xFF, 0x40, 0, 0, 0, 1, 0};
  const std::vector<unsigned char> shortPixels = {0xFF, 0x00, 0xFF, 4, 0, 0, 0, 9, 0};
  const std::string path = dir.file("broken.spr");
  writeBytes(path, handMadeFile({good, tooManyPixels, {}, good, pastItsEnd, shortPixels}, 6));

  const CliResult result = run({"verify", path, "--client", "7.40"});
  EXPECT_EQ(result.status, 1) << result.err;
  EXPECT_NE(result.out.find(path + ": sprite 2: its runs cover more than 1024 pixels"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find(path + ": sprite 5: its record runs past the end of the file"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find(path + ": sprite 6: its pixels run past the end of the file"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find("sprite 1:"), std::string::npos);
  EXPECT_EQ(result.out.find("sprite 3:"), std::string::npos);
  EXPECT_EQ(result.out.find("sprite 4:"), std::string::npos);
  EXPECT_NE(result.out.find(path + ": 3 problems\n"), std::string::npos) << result.out;
  EXPECT_EQ(result.err, "");
}

TEST_F(CliTest, VerifyFindsNoProblemsInWhatTheEditorWrites) {
  for (const LayoutVersion& version : kVersions) {
    SCOPED_TRACE(version.name);
    const std::string path = makeFile("v.spr", version, {1, 0, 2, -3});
    const CliResult result = run({"verify", path});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, path + ": no problems\n");
  }
}

TEST_F(CliTest, VerifyCountsAZeroCountAndATableOutsideTheFileAsProblems) {
  const std::string zero = dir.file("zero.spr");
  writeBytes(zero, {0x86, 0xEA, 0xB9, 0x41, 0, 0});
  const CliResult none = run({"verify", zero});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.out.find("sprite count is 0"), std::string::npos) << none.out;

  const std::string huge = dir.file("huge.spr");
  writeBytes(huge, {0x86, 0xEA, 0xB9, 0x41, 0xFF, 0xFF, 0, 0, 0, 0});
  const CliResult table = run({"verify", huge, "--client", "7.40"});
  EXPECT_EQ(table.status, 1);
  EXPECT_NE(table.out.find("sprites 2-65535: the offset table runs past the end of the file"),
            std::string::npos)
      << table.out;
}

// ----- convert

TEST_F(CliTest, ConvertWritesWhatTheEditorsSaveWritesBetweenEveryTwoLayouts) {
  for (const LayoutVersion& from : kVersions) {
    const std::string in =
        makeFile(std::string("in-") + from.name + ".spr", from, {1, 0, 2, -3, 4});
    const auto original = readBytes(in);
    for (const LayoutVersion& to : kVersions) {
      SCOPED_TRACE(std::string(from.name) + " to " + to.name);
      const std::string out = dir.file(std::string("out-") + to.name + ".spr");
      const CliResult result = run({"convert", in, out, "--to", to.name, "--force"});
      ASSERT_EQ(result.status, 0) << result.err;

      // The editor's own Open and Save, as the window runs them.
      TEditorCore editor(host);
      const auto version = [](const LayoutVersion& v) {
        return TVersionInfo{static_cast<std::int32_t>(v.signature), v.name, v.layout.sprite32,
                            v.layout.alpha};
      };
      ASSERT_TRUE(editor.openFile(in, version(from)));
      const std::string expected = dir.file("expected.spr");
      ASSERT_TRUE(editor.saveFile(expected, version(to)));
      EXPECT_EQ(readBytes(out), readBytes(expected));
      EXPECT_EQ(readBytes(in), original);
    }
  }
}

TEST_F(CliTest, ConvertReplacesAnExistingFileOnlyWithForceAndNeverItsInput) {
  const std::string in = makeFile("in.spr", kVersions[0], {1, 2});
  const std::string out = dir.file("out.spr");
  writeText(out, "keep me");
  const CliResult refused = run({"convert", in, out, "--to", "10.98"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find(out + ": already exists"), std::string::npos) << refused.err;
  EXPECT_EQ(readBytes(out), std::vector<unsigned char>({'k', 'e', 'e', 'p', ' ', 'm', 'e'}));

  EXPECT_EQ(run({"convert", in, out, "--to", "10.98", "--force"}).status, 0);
  EXPECT_EQ(load(out, {true, false})->Sprites.size(), 2u);

  const auto original = readBytes(in);
  const CliResult self = run({"convert", in, in, "--to", "10.98", "--force"});
  EXPECT_EQ(self.status, 2);
  EXPECT_EQ(readBytes(in), original);

  const CliResult noFolder = run({"convert", in, dir.file("nowhere/out.spr"), "--to", "7.40"});
  EXPECT_EQ(noFolder.status, 2);
  EXPECT_NE(noFolder.err.find(dir.file("nowhere/out.spr") + ": "), std::string::npos);
}

TEST_F(CliTest, ConvertRefusesMoreThan65500SpritesForSixteenBitCounts) {
  const std::string in = makeFile("big.spr", kVersions[1], std::vector<int>(65501, 0));
  const std::string out = dir.file("small.spr");
  const CliResult result = run({"convert", in, out, "--to", "7.40"});
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("65500"), std::string::npos) << result.err;
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(run({"convert", in, out, "--to", "A32"}).status, 0);
}

// ----- export

TEST_F(CliTest, ExportWritesTheEditorsPngsAndSkipsEmptySprites) {
  for (const LayoutVersion& version : kVersions) {
    SCOPED_TRACE(version.name);
    const std::string path = makeFile("e.spr", version, {1, 0, 2, -3, 4});
    const fs::path out = dir / (std::string("png-") + version.name);
    const CliResult result = run({"export", path, out.string()});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(TempDir::entriesOf(out), (std::vector<std::string>{"1.png", "3.png", "5.png"}));

    const auto file = load(path, version.layout);
    for (const int id : {1, 3, 5}) {
      const std::string expected = dir.file("expected.png");
      savePngFile(*file->GetSpriteByID(id)->bitmap, expected);
      EXPECT_EQ(readBytes((out / (std::to_string(id) + ".png")).string()), readBytes(expected));
    }
  }
}

TEST_F(CliTest, ExportTakesAnIdListAndRefusesIdsTheFileLacks) {
  const std::string path = makeFile("ids.spr", kVersions[0], {1, 2, 3, 4, 5, 6});
  const fs::path out = dir / "some";
  ASSERT_EQ(run({"export", path, out.string(), "--ids", "2-3,5-"}).status, 0);
  EXPECT_EQ(TempDir::entriesOf(out),
            (std::vector<std::string>{"2.png", "3.png", "5.png", "6.png"}));

  const CliResult beyond = run({"export", path, (dir / "none").string(), "--ids", "4,7-9"});
  EXPECT_EQ(beyond.status, 2);
  EXPECT_NE(beyond.err.find("ID 7"), std::string::npos) << beyond.err;
  EXPECT_FALSE(fs::exists(dir / "none"));
}

TEST_F(CliTest, ExportReplacesNoFileWithoutForce) {
  const std::string path = makeFile("f.spr", kVersions[0], {1, 2, 3});
  const fs::path out = dir / "pngs";
  fs::create_directory(out);
  writeText((out / "3.png").string(), "mine");
  const CliResult refused = run({"export", path, out.string()});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("3.png: already exists"), std::string::npos) << refused.err;
  // Nothing at all was written, not even the files that were free.
  EXPECT_EQ(TempDir::entriesOf(out), std::vector<std::string>{"3.png"});
  EXPECT_EQ(readBytes((out / "3.png").string()), std::vector<unsigned char>({'m', 'i', 'n', 'e'}));

  EXPECT_EQ(run({"export", path, out.string(), "--force"}).status, 0);
  EXPECT_EQ(TempDir::entriesOf(out), (std::vector<std::string>{"1.png", "2.png", "3.png"}));
}

TEST_F(CliTest, ExportSheetAssemblesTheSelectedSpritesInIdOrder) {
  const std::string path = makeFile("sheet.spr", kVersions[2], {1, 0, 2, -3, 4, 5, 6});
  const auto file = load(path, kVersions[2].layout);
  const auto expectSheet = [&](const std::vector<std::int32_t>& ids, int columns,
                               const std::string& sheet) {
    std::vector<const TBitmap32*> tiles;
    for (const std::int32_t id : ids) {
      const TSprite* const sprite = file->GetSpriteByID(id);
      tiles.push_back(sprite->isDUmmy ? nullptr : sprite->bitmap.get());
    }
    const auto png = bitmapToPng(assembleSheet(tiles, columns));
    ASSERT_TRUE(png);
    EXPECT_EQ(readBytes(sheet), std::vector<unsigned char>(png->begin(), png->end()));
  };

  const std::string all = dir.file("all.png");
  ASSERT_EQ(run({"export", path, "--sheet", all}).status, 0);
  expectSheet({1, 2, 3, 4, 5, 6, 7}, defaultSheetColumns(7), all);

  const std::string some = dir.file("some.png");
  ASSERT_EQ(run({"export", path, "--sheet", some, "--columns", "2", "--ids", "6-,2-4"}).status, 0);
  expectSheet({2, 3, 4, 6, 7}, 2, some);

  const CliResult again = run({"export", path, "--sheet", some});
  EXPECT_EQ(again.status, 2);
  EXPECT_NE(again.err.find(some + ": already exists"), std::string::npos);

  // With DIR, a relative OUT.png goes into that folder, which is made when needed; an absolute
  // one stays where it names.
  const std::string folder = dir.file("sheets");
  ASSERT_EQ(run({"export", path, folder, "--sheet", "first.png", "--ids", "1"}).status, 0);
  expectSheet({1}, 1, (fs::path(folder) / "first.png").string());
  const std::string elsewhere = dir.file("elsewhere.png");
  ASSERT_EQ(run({"export", path, folder, "--sheet", elsewhere, "--ids", "2"}).status, 0);
  expectSheet({2}, 1, elsewhere);
  writeText(dir.file("plain"), "x");
  EXPECT_EQ(run({"export", path, dir.file("plain"), "--sheet", "s.png"}).status, 2);
}

// ----- import

// An image's partly transparent pixel keeps its own colour and alpha in a file with alpha, and
// comes in composited over white, then stored opaque, in a file without.
TEST_F(CliTest, ImportKeepsTheImagesAlphaOnlyWhereTheFileHasAlpha) {
  TBitmap32 picture;
  picture.SetSizeAndFill(32, 32, clTransparentWhite32);
  picture.FBits()[0] = 0x80102030u;
  picture.FBits()[1] = 0xFF010203u;
  savePngFile(picture, dir.file("half.png"));
  const struct {
    const LayoutVersion& version;
    TColor32 half;
  } table[] = {
      {kVersions[1], 0xFF878F97u},
      {kVersions[3], 0x80102030u},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.version.name);
    const std::string path =
        makeFile(std::string("a-") + row.version.name + ".spr", row.version, {1});
    ASSERT_EQ(run({"import", path, dir.file("half.png"), "--force"}).status, 0);
    const auto file = load(path, row.version.layout);
    ASSERT_EQ(file->Sprites.size(), 2u);
    const TColor32* pixels = file->Sprites[1]->bitmap->FBits();
    EXPECT_EQ(pixels[0], row.half);
    EXPECT_EQ(pixels[1], 0xFF010203u);
    EXPECT_EQ(pixels[2] >> 24, 0u);
  }
}

TEST_F(CliTest, ImportAppendsImagesFittedAsAddDoes) {
  const std::string path = makeFile("imp.spr", kVersions[0], {1, 2});
  // A picture larger than a sprite: Add keeps its top-left corner.
  TBitmap32 picture;
  picture.SetSizeAndFill(40, 20, PackColor32(1, 2, 3, 255));
  picture.FBits()[0] = clTransparentWhite32;
  const std::string image = dir.file("pic.png");
  savePngFile(picture, image);

  const std::string out = dir.file("imported.spr");
  // Without --fit a picture of another size is refused by its size, and nothing is written.
  const CliResult refused = run({"import", path, image, "--out", out});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("pic.png: is 40x20, not 32x32; give --fit"), std::string::npos)
      << refused.err;
  EXPECT_FALSE(fs::exists(out));

  const CliResult result = run({"import", path, image, image, "--fit", "--out", out});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.err.find("note: pic.png is 40x20: cut and padded to 32x32 with black"),
            std::string::npos)
      << result.err;
  const auto file = load(out, kVersions[0].layout);
  ASSERT_EQ(file->Sprites.size(), 4u);
  EXPECT_EQ(file->signature, static_cast<std::int32_t>(kVersions[0].signature));

  TBitmap32 decoded;
  ASSERT_TRUE(loadPngFile(decoded, image));
  const auto fitted = fitToSprite(decoded);
  for (const int id : {3, 4}) {
    const TBitmap32& got = *file->GetSpriteByID(id)->bitmap;
    for (std::size_t i = 0; i < 1024; ++i) {
      // A transparent pixel keeps no colour in the file.
      const TColor32 want =
          AlphaOf(fitted->FBits()[i]) == 0 ? clTransparentWhite32 : fitted->FBits()[i];
      ASSERT_EQ(got.FBits()[i], want) << "sprite " << id << " pixel " << i;
    }
  }
  // The input is untouched.
  EXPECT_EQ(load(path, kVersions[0].layout)->Sprites.size(), 2u);
}

TEST_F(CliTest, ImportCutsSheetsIntoTilesLeftToRightTopToBottom) {
  const std::string path = makeFile("cut.spr", kVersions[3], {1});
  const auto a = patternImage(5);
  const auto b = patternImage(6);
  const auto c = patternImage(7);
  const TBitmap32* const tiles[] = {a.get(), b.get(), c.get()};
  const std::string image = dir.file("sheet.png");
  savePngFile(assembleSheet(tiles, 2), image);

  const std::string kept = dir.file("kept.spr");
  ASSERT_EQ(run({"import", path, image, "--sheet", "--keep-empty", "--out", kept}).status, 0);
  // By default the wholly transparent fourth cell is left out, as the editor's import does.
  const CliResult skipping = run({"import", path, image, "--sheet", "--force"});
  ASSERT_EQ(skipping.status, 0) << skipping.err;
  EXPECT_NE(skipping.err.find("note: 1 fully transparent tile left out"), std::string::npos)
      << skipping.err;
  EXPECT_EQ(load(path, kVersions[3].layout)->Sprites.size(), 4u);
  const auto file = load(kept, kVersions[3].layout);
  ASSERT_EQ(file->Sprites.size(), 5u);
  // The tiles as the editor's reader sees the sheet for a file with alpha.
  TBitmap32 decoded;
  ASSERT_TRUE(loadPngFile(decoded, image, ImportAlpha::Keep));
  const auto expected = cutSheet(decoded, false);
  ASSERT_EQ(expected.size(), 4u);
  for (int k = 0; k < 3; ++k) {
    const TColor32* got = file->GetSpriteByID(k + 2)->bitmap->FBits();
    const auto [at, want] = std::mismatch(got, got + 1024, expected[k]->FBits());
    EXPECT_EQ(at, got + 1024) << "tile " << k << " pixel " << (at - got) << ": " << std::hex << *at
                              << " instead of " << *want;
  }
  // The tiles are in sheet order: the second differs from the first where their patterns do.
  EXPECT_FALSE(std::equal(expected[0]->FBits(), expected[0]->FBits() + 1024, expected[1]->FBits()));
  EXPECT_EQ(expected[2]->FBits()[0], c->FBits()[0]);
  EXPECT_EQ(file->GetSpriteByID(2)->bitmap->FBits()[33], a->FBits()[33]);
  // With --keep-empty the fourth cell of the 2x2 sheet, wholly transparent, comes in too.
  EXPECT_TRUE(file->GetSpriteByID(5)->isDUmmy);

  TBitmap32 odd;
  odd.SetSizeAndFill(40, 32, clOpaqueBlack32);
  savePngFile(odd, dir.file("odd.png"));
  const CliResult refused = run({"import", path, dir.file("odd.png"), "--sheet", "--force"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("odd.png: 40x32"), std::string::npos) << refused.err;
}

TEST_F(CliTest, ImportWritesItsInputOnlyWithForceAndNothingOnABadImage) {
  const std::string path = makeFile("keep.spr", kVersions[1], {1});
  const auto original = readBytes(path);
  TBitmap32 picture;
  picture.SetSizeAndFill(32, 32, clOpaqueBlack32);
  savePngFile(picture, dir.file("p.png"));
  writeText(dir.file("broken.png"), "not a png");
  writeText(dir.file("notes.txt"), "text");

  EXPECT_EQ(run({"import", path, dir.file("p.png")}).status, 2);
  EXPECT_EQ(run({"import", path, dir.file("p.png"), dir.file("broken.png"), "--force"}).status, 2);
  EXPECT_EQ(run({"import", path, dir.file("notes.txt"), "--force"}).status, 2);
  writeText(dir.file("taken.spr"), "taken");
  EXPECT_EQ(run({"import", path, dir.file("p.png"), "--out", dir.file("taken.spr")}).status, 2);
  EXPECT_EQ(readBytes(path), original);

  EXPECT_EQ(run({"import", path, dir.file("p.png"), "--force"}).status, 0);
  EXPECT_EQ(load(path, kVersions[1].layout)->Sprites.size(), 2u);
}

// ----- diff

TEST_F(CliTest, DiffListsChangedAddedAndRemovedSprites) {
  const std::string a = makeFile("a.spr", kVersions[0], {1, 2, 3, -4, 5, 0});
  // Sprite 4 is cleared in A and empty in B: no difference. The layouts differ; pixels count.
  const std::string b = makeFile("b.spr", kVersions[1], {1, 7, 3, 0, 8, 0, 9, 9});
  const CliResult text = run({"diff", a, b});
  EXPECT_EQ(text.status, 1) << text.err;
  EXPECT_EQ(text.out, "changed: 2,5\nadded: 7-8\n");

  const CliResult json = run({"diff", "--json", b, a});
  EXPECT_EQ(json.status, 1);
  const Json object = Json::parse(json.out);
  EXPECT_EQ(object["changed"].numbers(), (std::vector<long long>{2, 5}));
  EXPECT_EQ(object["added"].numbers(), std::vector<long long>{});
  EXPECT_EQ(object["removed"].numbers(), (std::vector<long long>{7, 8}));

  const CliResult same = run({"diff", a, a});
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.out, "no differences\n");
  EXPECT_EQ(run({"diff", a, dir.file("missing.spr")}).status, 2);
}

// ----- duplicates

TEST_F(CliTest, DuplicatesGroupsEqualImages) {
  const std::string path = makeFile("dup.spr", kVersions[2], {1, 2, 1, 0, 2, -1, 3, 1, 0});
  const CliResult text = run({"duplicates", path});
  EXPECT_EQ(text.status, 1);
  EXPECT_EQ(text.out, "1,3,8\n2,5\n");
  const Json object = Json::parse(run({"duplicates", "--json", path}).out);
  ASSERT_EQ(object["groups"].items.size(), 2u);
  EXPECT_EQ(object["groups"].items[0].numbers(), (std::vector<long long>{1, 3, 8}));
  EXPECT_EQ(object["groups"].items[1].numbers(), (std::vector<long long>{2, 5}));

  const std::string unique = makeFile("unique.spr", kVersions[2], {1, 2, 0, 0});
  const CliResult none = run({"duplicates", "--json", unique});
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(Json::parse(none.out)["groups"].items.size(), 0u);
}

// ----- known signatures stored in another layout

// Custom clients keep a version's signature and change its layout: auto detection reads such a
// file in the one layout that holds together, named after the version and the layout, and
// every subcommand works on it.
TEST_F(CliTest, AKnownSignatureInAnotherLayoutIsReadAsAVariantOfItsVersion) {
  const struct {
    std::size_t entry;
    TSprLayout layout;
    const char* name;
  } cases[] = {
      {1, {true, true}, "10.98 (32-bit, alpha)"},
      {1, {false, false}, "10.98 (16-bit, no alpha)"},
      {1, {false, true}, "10.98 (16-bit, alpha)"},
      {0, {true, false}, "7.40 (32-bit, no alpha)"},
      {0, {false, true}, "7.40 (16-bit, alpha)"},
      {0, {true, true}, "7.40 (32-bit, alpha)"},
      {3, {false, false}, "A32 (16-bit, no alpha)"},
      {3, {true, false}, "A32 (32-bit, no alpha)"},
      {3, {false, true}, "A32 (16-bit, alpha)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const LayoutVersion& entry = kVersions[c.entry];
    const std::string path = makeFile("variant.spr", {"?", entry.signature, c.layout}, {1, 0, 2});

    const CliResult info = run({"info", "--json", path});
    ASSERT_EQ(info.status, 0) << info.err;
    const Json object = Json::parse(info.out);
    EXPECT_EQ(object["version"].text, c.name);
    EXPECT_EQ(object["catalogVersion"].text, entry.name);
    EXPECT_EQ(object["countBits"].number, static_cast<long long>(c.layout.countBits()));
    EXPECT_EQ(object["alpha"].boolean, c.layout.alpha);
    EXPECT_EQ(run({"verify", path}).status, 0);

    // Export gives the pictures the file holds.
    const fs::path pngs = dir / "variant-pngs";
    fs::remove_all(pngs);
    ASSERT_EQ(run({"export", path, pngs.string()}).status, 0);
    const auto original = load(path, c.layout);
    TBitmap32 exported;
    ASSERT_TRUE(loadPngFile(exported, (pngs / "3.png").string(), ImportAlpha::Keep));
    EXPECT_TRUE(std::equal(exported.FBits(), exported.FBits() + 1024,
                           original->GetSpriteByID(3)->bitmap->FBits()));

    // Converting to the variant by its name keeps every byte; to the entry, the entry's layout.
    const std::string same = dir.file("same.spr");
    ASSERT_EQ(run({"convert", path, same, "--to", c.name, "--force"}).status, 0);
    EXPECT_EQ(readBytes(same), readBytes(path));
    const std::string converted = dir.file("converted.spr");
    const CliResult toEntry = run({"convert", path, converted, "--to", entry.name, "--force"});
    ASSERT_EQ(toEntry.status, 0) << toEntry.err;
    const CliResult back = run({"info", "--json", converted});
    EXPECT_EQ(Json::parse(back.out)["version"].text, entry.name);
    // Nothing is lost but partial alpha, where the entry stores none.
    const bool keepsAlpha = !c.layout.alpha || entry.layout.alpha;
    EXPECT_EQ(run({"diff", path, converted}).status, keepsAlpha ? 0 : 1);
  }
}

TEST_F(CliTest, ConvertToALayoutWithoutAlphaCountsThePixelsMadeOpaque) {
  // Pattern 1 holds one half-transparent pixel per sprite; a cleared sprite keeps its hidden one.
  const std::string path = makeFile("alpha.spr", kVersions[3], {1, 2, 0});
  const CliResult result = run({"convert", path, dir.file("plain.spr"), "--to", "10.98"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(
      result.err.find("note: 2 partly transparent pixels in 2 sprites become opaque in 10.98"),
      std::string::npos)
      << result.err;
  // Between layouts with alpha, and with --quiet, nothing is said.
  EXPECT_EQ(run({"convert", path, dir.file("a16.spr"), "--to", "A16"}).err, "");
  EXPECT_EQ(run({"convert", path, dir.file("q.spr"), "--to", "7.40", "--quiet"}).err, "");
}

TEST_F(CliTest, DiffNotesAnotherSignatureOrLayoutWhenTheSpritesAreEqual) {
  const std::string a = makeFile("a.spr", kVersions[0], {1, 2});
  const std::string b = makeFile("b.spr", kVersions[1], {1, 2});
  const CliResult text = run({"diff", a, b});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out, "no differences\n");
  EXPECT_NE(text.err.find("note: the signatures differ: 41B9EA86 and 57BBD603"), std::string::npos)
      << text.err;
  EXPECT_NE(text.err.find("note: the layouts differ: 16-bit counts, without alpha and 32-bit "
                          "counts, without alpha"),
            std::string::npos)
      << text.err;
  const Json json = Json::parse(run({"diff", "--json", a, b}).out);
  EXPECT_FALSE(json["sameSignature"].boolean);
  EXPECT_FALSE(json["sameLayout"].boolean);
  const CliResult same = run({"diff", a, a});
  EXPECT_EQ(same.err, "");
}

}  // namespace
}  // namespace tess::testing
