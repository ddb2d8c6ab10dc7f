// Tests of the picture codec: decoding of hand-made and encoded files in the
// four formats, the path rule, texel layout, and refusal of bad input.
#include <gtest/gtest.h>
#include <stb_image.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "JpegSize.h"
#include "support/TestHome.h"
#include "graphic/KImageCodec.h"
#include "graphic/KPictureAhead.h"

namespace {

typedef std::vector<uint8_t> Bytes;

void put16(Bytes &b, size_t at, int v) {
  b[at] = static_cast<uint8_t>(v & 0xFF);
  b[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}
void put32(Bytes &b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = static_cast<uint8_t>((v >> (8 * i)) & 0xFF);
}

// Uncompressed true-colour TGA; `pixels` are RGBA, top row first. Stored
// bottom row first unless `topOrigin`, as most TGA writers do.
Bytes makeTga(int w, int h, int bpp, const std::vector<uint32_t> &rgba, bool topOrigin) {
  Bytes b(18, 0);
  b[2] = 2;
  put16(b, 12, w);
  put16(b, 14, h);
  b[16] = static_cast<uint8_t>(bpp);
  b[17] = static_cast<uint8_t>((bpp == 32 ? 8 : 0) | (topOrigin ? 0x20 : 0));
  for (int row = 0; row < h; row++) {
    int y = topOrigin ? row : h - 1 - row;
    for (int x = 0; x < w; x++) {
      uint32_t p = rgba[y * w + x];
      b.push_back(static_cast<uint8_t>(p >> 16));  // blue
      b.push_back(static_cast<uint8_t>(p >> 8));   // green
      b.push_back(static_cast<uint8_t>(p));        // red
      if (bpp == 32) b.push_back(static_cast<uint8_t>(p >> 24));
    }
  }
  return b;
}

// 24-bit bottom-up BMP with padded rows.
Bytes makeBmp(int w, int h, const std::vector<uint32_t> &rgba) {
  int rowBytes = (w * 3 + 3) & ~3;
  Bytes b(54 + rowBytes * h, 0);
  b[0] = 'B';
  b[1] = 'M';
  put32(b, 2, static_cast<uint32_t>(b.size()));
  put32(b, 10, 54);
  put32(b, 14, 40);
  put32(b, 18, static_cast<uint32_t>(w));
  put32(b, 22, static_cast<uint32_t>(h));
  put16(b, 26, 1);
  put16(b, 28, 24);
  put32(b, 34, static_cast<uint32_t>(rowBytes * h));
  for (int y = 0; y < h; y++) {
    size_t row = 54 + static_cast<size_t>(h - 1 - y) * rowBytes;
    for (int x = 0; x < w; x++) {
      uint32_t p = rgba[y * w + x];
      b[row + x * 3] = static_cast<uint8_t>(p >> 16);
      b[row + x * 3 + 1] = static_cast<uint8_t>(p >> 8);
      b[row + x * 3 + 2] = static_cast<uint8_t>(p);
    }
  }
  return b;
}

uint32_t px(const KImage &img, int x, int y) {
  const uint8_t *p = img.pixel(x, y);
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// 3 x 2 test picture with a distinct colour per pixel and varied alpha.
const std::vector<uint32_t> kPicture = {0x80FF0000u, 0xFF00FF00u, 0x000000FFu,
                                        0xFF102030u, 0x40FFFFFFu, 0xFF000000u};

}  // namespace

TEST(ImageCodec, FormatComesFromTheFileNamesExtension) {
  const std::pair<const char *, KImageFormat> cases[] = {
      {"data/gfx/Mouse.TGA", K_IMAGE_TGA}, {"a.Png", K_IMAGE_PNG},
      {"photo.JPG", K_IMAGE_JPEG},        {"photo.jpeg", K_IMAGE_NONE},
      {"x.bmp", K_IMAGE_BMP},             {"x.jpg.bmp", K_IMAGE_BMP},
      // A folder's name says nothing about the file, with either separator.
      {"Fotos.jpg/mouse.tga", K_IMAGE_TGA}, {"C:\\Fotos.jpg\\data\\sky.bmp", K_IMAGE_BMP},
      {"Fotos.jpg/noext", K_IMAGE_NONE},  {"C:\\x.png\\noext", K_IMAGE_NONE},
      {"x.tgax", K_IMAGE_NONE},           {"x.png.txt", K_IMAGE_NONE},
      {"noext", K_IMAGE_NONE},            {"", K_IMAGE_NONE}, {nullptr, K_IMAGE_NONE}};
  for (const auto &c : cases)
    EXPECT_EQ(KImageCodec::formatFromPath(c.first), c.second) << (c.first ? c.first : "null");
}

TEST(ImageCodec, HandMadeTgaAndBmpDecodeTopRowFirst) {
  for (bool topOrigin : {false, true}) {
    Bytes tga = makeTga(3, 2, 32, kPicture, topOrigin);
    KImage img;
    ASSERT_TRUE(KImageCodec::decode(tga.data(), tga.size(), K_IMAGE_TGA, img));
    EXPECT_EQ(img.width, 3);
    EXPECT_EQ(img.height, 2);
    EXPECT_TRUE(img.hasAlpha);
    EXPECT_EQ(img.bpp, 32);
    for (int i = 0; i < 6; i++) EXPECT_EQ(px(img, i % 3, i / 3), kPicture[i]) << i;
  }
  Bytes tga24 = makeTga(3, 2, 24, kPicture, false);
  KImage img;
  ASSERT_TRUE(KImageCodec::decode(tga24.data(), tga24.size(), K_IMAGE_TGA, img));
  EXPECT_FALSE(img.hasAlpha);
  EXPECT_EQ(img.bpp, 24);
  for (int i = 0; i < 6; i++) EXPECT_EQ(px(img, i % 3, i / 3), kPicture[i] | 0xFF000000u);

  Bytes bmp = makeBmp(3, 2, kPicture);
  ASSERT_TRUE(KImageCodec::decode(bmp.data(), bmp.size(), K_IMAGE_BMP, img));
  EXPECT_EQ(img.width, 3);
  EXPECT_FALSE(img.hasAlpha);
  for (int i = 0; i < 6; i++) EXPECT_EQ(px(img, i % 3, i / 3), kPicture[i] | 0xFF000000u);
}

// Plain TGA and BMP files are read without stb, a row at a time: whatever the
// variant, the pixels must be stb's; one cut short is refused.
TEST(ImageCodec, PlainTgaAndBmpReadExactlyAsStbReadsThem) {
  std::vector<uint32_t> pic(7 * 5);  // odd width: padded BMP rows
  for (size_t i = 0; i < pic.size(); i++) pic[i] = uint32_t(i * 0x9E3779B9u);
  std::vector<uint32_t> clear(pic.size(), 0x00123456u);  // every alpha zero
  Bytes withId = makeTga(7, 5, 32, pic, false);
  withId.insert(withId.begin() + 18, {'i', 'd', '!'});
  withId[0] = 3;
  Bytes movedPixels = makeBmp(7, 5, pic);
  movedPixels.insert(movedPixels.begin() + 54, 4, 0);
  put32(movedPixels, 10, 58);
  Bytes shortTga = makeTga(7, 5, 24, pic, true), shortBmp = makeBmp(7, 5, pic);
  shortTga.resize(shortTga.size() - 2);
  shortBmp.resize(shortBmp.size() - 2);
  const std::pair<Bytes, KImageFormat> files[] = {
      {makeTga(7, 5, 32, pic, false), K_IMAGE_TGA}, {makeTga(7, 5, 32, pic, true), K_IMAGE_TGA},
      {makeTga(7, 5, 24, pic, false), K_IMAGE_TGA}, {makeTga(7, 5, 32, clear, true), K_IMAGE_TGA},
      {withId, K_IMAGE_TGA},   {makeBmp(7, 5, pic), K_IMAGE_BMP}, {movedPixels, K_IMAGE_BMP}};
  for (size_t i = 0; i < sizeof files / sizeof files[0]; i++) {
    const Bytes &f = files[i].first;
    int w = 0, h = 0, n = 0;
    stbi_uc *ref = stbi_load_from_memory(f.data(), int(f.size()), &w, &h, &n, 4);
    KImage img;
    const bool ok = KImageCodec::decode(f.data(), f.size(), files[i].second, img);
    ASSERT_EQ(ok, ref != nullptr) << "file " << i;
    if (!ref) continue;
    EXPECT_EQ(img.width, w) << "file " << i;
    EXPECT_EQ(img.height, h) << "file " << i;
    EXPECT_EQ(Bytes(ref, ref + size_t(w) * h * 4), img.rgba) << "file " << i;
    stbi_image_free(ref);
  }
  KImage img;
  EXPECT_FALSE(KImageCodec::decode(shortTga.data(), shortTga.size(), K_IMAGE_TGA, img));
  EXPECT_FALSE(KImageCodec::decode(shortBmp.data(), shortBmp.size(), K_IMAGE_BMP, img));
  EXPECT_TRUE(img.rgba.empty());
}

TEST(ImageCodec, EncodedFilesDecodeBackInEveryFormat) {
  // 17 x 9 keeps rows unaligned; the gradient makes orientation errors visible.
  const int w = 17, h = 9;
  std::vector<uint8_t> rgba(w * h * 4);
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      uint8_t *p = &rgba[(y * w + x) * 4];
      p[0] = static_cast<uint8_t>(x * 15);
      p[1] = static_cast<uint8_t>(y * 28);
      p[2] = static_cast<uint8_t>(255 - x * 15);
      p[3] = 255;
    }
  }
  for (KImageFormat f : {K_IMAGE_BMP, K_IMAGE_JPEG, K_IMAGE_TGA, K_IMAGE_PNG}) {
    for (int comp : {3, 4}) {
      // Pack to `comp` bytes, and once the same rows given bottom row first.
      std::vector<uint8_t> src(w * h * comp), flipped(w * h * comp);
      for (int i = 0; i < w * h; i++) std::memcpy(&src[i * comp], &rgba[i * 4], comp);
      for (int y = 0; y < h; y++) {
        std::memcpy(&flipped[(h - 1 - y) * w * comp], &src[y * w * comp], w * comp);
      }
      for (bool bottomUp : {false, true}) {
        Bytes file;
        const uint8_t *in = bottomUp ? flipped.data() : src.data();
        ASSERT_TRUE(KImageCodec::encode(f, w, h, comp, in, w * comp, bottomUp, file));
        KImage img;
        if (f == K_IMAGE_JPEG) {
          // Written for the user, never read back: the decoder has no JPEG.
          EXPECT_FALSE(KImageCodec::decode(file.data(), file.size(), f, img));
          EXPECT_EQ(jpegSize(file), std::make_pair(w, h));
          continue;
        }
        ASSERT_TRUE(KImageCodec::decode(file.data(), file.size(), f, img)) << f;
        ASSERT_EQ(img.width, w);
        ASSERT_EQ(img.height, h);
        int tolerance = 0;
        int worst = 0;
        for (size_t i = 0; i < rgba.size(); i++) {
          int d = std::abs(static_cast<int>(img.rgba[i]) - rgba[i]);
          if (d > worst) worst = d;
        }
        EXPECT_LE(worst, tolerance) << "format " << f << " comp " << comp;
      }
    }
  }
  Bytes out;
  EXPECT_FALSE(KImageCodec::encode(K_IMAGE_NONE, w, h, 4, rgba.data(), w * 4, false, out));
  EXPECT_FALSE(KImageCodec::encode(K_IMAGE_PNG, w, h, 4, rgba.data(), w * 2, false, out));
}

TEST(ImageCodec, TextureSideAndTexelLayout) {
  EXPECT_EQ(KImageCodec::textureSide(640, 480), 1024);
  EXPECT_EQ(KImageCodec::textureSide(16, 16), 16);
  EXPECT_EQ(KImageCodec::textureSide(1, 1), 4);
  EXPECT_EQ(KImageCodec::textureSide(2, 2), 4);
  EXPECT_EQ(KImageCodec::textureSide(100, 300), 512);
  EXPECT_EQ(KImageCodec::textureSide(0, 0), 4);
  EXPECT_EQ(KImageCodec::textureSide(17, 5), 32);

  Bytes tga = makeTga(3, 2, 32, kPicture, false);
  KImage img;
  ASSERT_TRUE(KImageCodec::decode(tga.data(), tga.size(), K_IMAGE_TGA, img));
  std::vector<uint8_t> t;
  // Key on pure white: pixel (1, 1) keeps its colour and loses its alpha.
  ASSERT_TRUE(KImageCodec::toTexels(img, 4, true, true, 255, 255, 255, t));
  ASSERT_EQ(t.size(), 4u * 4 * 4);
  auto texel = [&](int x, int y) {
    const uint8_t *p = &t[(y * 4 + x) * 4];
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
  };
  EXPECT_EQ(texel(0, 0), kPicture[0]);
  EXPECT_EQ(texel(2, 0), kPicture[2]);  // its own alpha 0 is kept
  EXPECT_EQ(texel(1, 1), 0x00FFFFFFu);
  EXPECT_EQ(texel(3, 0), 0u);  // padding is transparent black
  EXPECT_EQ(texel(0, 3), 0u);
  // Without alpha every texel is opaque except a keyed one.
  ASSERT_TRUE(KImageCodec::toTexels(img, 4, false, true, 0xFF, 0, 0, t));
  EXPECT_EQ(texel(0, 0), kPicture[0] | 0xFF000000u);
  EXPECT_EQ(texel(2, 0), 0x000000FFu);
  EXPECT_EQ(texel(1, 1), 0xFFFFFFFFu);
  EXPECT_FALSE(KImageCodec::toTexels(img, 2, true, false, 0, 0, 0, t));
}

TEST(ImageCodec, BadInputIsRefusedWithoutCrashing) {
  KImage img;
  // Zero bytes, null data, a lone signature.
  EXPECT_FALSE(KImageCodec::decode(nullptr, 10, K_IMAGE_PNG, img));
  uint8_t empty = 0;
  EXPECT_FALSE(KImageCodec::decode(&empty, 0, K_IMAGE_PNG, img));
  const uint8_t sig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  EXPECT_FALSE(KImageCodec::decode(sig, 8, K_IMAGE_PNG, img));

  // A TGA header claiming 60000 x 60000 is refused from the header alone.
  Bytes huge = makeTga(1, 1, 32, {0xFFFFFFFFu}, false);
  put16(huge, 12, 60000);
  put16(huge, 14, 60000);
  EXPECT_FALSE(KImageCodec::decode(huge.data(), huge.size(), K_IMAGE_TGA, img));
  // Just above the limit, and a zero-sized one.
  put16(huge, 12, KImageCodec::kMaxSide + 1);
  put16(huge, 14, 1);
  EXPECT_FALSE(KImageCodec::decode(huge.data(), huge.size(), K_IMAGE_TGA, img));
  put16(huge, 12, 0);
  EXPECT_FALSE(KImageCodec::decode(huge.data(), huge.size(), K_IMAGE_TGA, img));

  // A BMP whose pixel offset points past the end of the file.
  Bytes bmp = makeBmp(3, 2, kPicture);
  put32(bmp, 10, 0x7FFFFFF0u);
  EXPECT_FALSE(KImageCodec::decode(bmp.data(), bmp.size(), K_IMAGE_BMP, img));

  // Data in another format than the one named.
  Bytes tga = makeTga(3, 2, 24, kPicture, false);
  Bytes good = makeBmp(3, 2, kPicture);
  EXPECT_FALSE(KImageCodec::decode(good.data(), good.size(), K_IMAGE_TGA, img));
  EXPECT_FALSE(KImageCodec::decode(tga.data(), tga.size(), K_IMAGE_PNG, img));
  EXPECT_FALSE(KImageCodec::decode(good.data(), good.size(), K_IMAGE_NONE, img));
  EXPECT_TRUE(img.rgba.empty());
  EXPECT_EQ(img.width, 0);

  // Every truncation of every format either fails or yields a whole picture.
  std::vector<uint8_t> rgba(40 * 30 * 4, 0x7F);
  for (KImageFormat f : {K_IMAGE_BMP, K_IMAGE_JPEG, K_IMAGE_TGA, K_IMAGE_PNG}) {
    Bytes file;
    ASSERT_TRUE(KImageCodec::encode(f, 40, 30, 4, rgba.data(), 40 * 4, false, file));
    for (size_t cut = 0; cut < file.size(); cut += 1 + cut / 8) {
      if (KImageCodec::decode(file.data(), cut, f, img)) {
        EXPECT_EQ(img.rgba.size(), static_cast<size_t>(img.width) * img.height * 4);
        EXPECT_EQ(img.width, 40);
      }
    }
  }
}

// A picture that does not load would leave only a black screen: it is logged.
TEST(ImageCodec, APictureThatDoesNotLoadIsLoggedWithItsName) {
  const std::string missing = testhome::root() + "/no-such-picture.tga";
  const std::string damaged = testhome::root() + "/damaged.bmp";
  FILE *f = std::fopen(damaged.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("not a picture", f);
  std::fclose(f);
  KImage img;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(KImageCodec::readFile(missing.c_str(), img));
  EXPECT_FALSE(KImageCodec::readFile(damaged.c_str(), img));
  const std::string log = testing::internal::GetCapturedStderr();
  std::remove(damaged.c_str());
  EXPECT_NE(log.find(missing + " could not be read"), std::string::npos) << log;
  EXPECT_NE(log.find(damaged + " could not be decoded"), std::string::npos) << log;
}

TEST(ImageCodec, PicturesReadAheadAreHandedOnceAsTheFileWouldGiveThem) {
  const std::string d = testhome::root(), tga = d + "/a.tga", bmp = d + "/a.bmp", no = d + "/n.tga";
  const Bytes files[2] = {makeTga(3, 2, 32, kPicture, false), makeBmp(3, 2, kPicture)};
  testing::internal::CaptureStderr();
  for (const bool inOrder : {true, false}) {  // decoded before the reads, or read first
    KImage expected[2], img;
    for (int i = 0; i < 2; ++i) {
      std::ofstream((i ? bmp : tga).c_str(), std::ios::binary)
          .write(reinterpret_cast<const char *>(files[i].data()), std::streamsize(files[i].size()));
      ASSERT_TRUE(KImageCodec::readFileNow((i ? bmp : tga).c_str(), expected[i]));
    }
    KPictureAhead ahead(inOrder ? std::vector<std::string>{tga, bmp, no}
                                : std::vector<std::string>{no, bmp, tga});
    for (int i = 0; inOrder && i < 5000 && !KPictureAhead::ready(no.c_str()); ++i) usleep(1000);
    if (inOrder) std::remove(tga.c_str()), std::remove(bmp.c_str());  // decoded: no file needed
    for (int i = 0; i < 2; ++i) {
      ASSERT_TRUE(KImageCodec::readFile((i ? bmp : tga).c_str(), img)) << inOrder;
      EXPECT_EQ(expected[i].rgba, img.rgba);
      EXPECT_EQ(expected[i].hasAlpha, img.hasAlpha);
    }
    EXPECT_FALSE(KImageCodec::readFile(no.c_str(), img));
    std::remove(tga.c_str());  // handed once: a second read is the file's
    EXPECT_FALSE(KImageCodec::readFile(tga.c_str(), img));
  }
  testing::internal::GetCapturedStderr();
  std::remove(bmp.c_str());
}
