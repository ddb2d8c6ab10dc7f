// The generated data folder, opened the way the program opens it: pictures
// through the engine's codec, INI values through KIniReader, sounds through
// KSound (on SDL's dummy device) and vorbisfile for their levels. Checks that
// every file exists at the size the screens need and that every rectangle a
// screen draws from holds visible pixels where it should.
#include <gtest/gtest.h>

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "activities/cloud.h"
#include "audio.h"
#include "synth.h"
#include "graphic/KImageCodec.h"
#include "sound/KSound.h"
#include "tools/KIniReader.h"

namespace {

struct R {
  int x1, y1, x2, y2;  // x2, y2 exclusive, as the blits take them
};

std::string dataDir() {
  if (std::ifstream("data/gfx/mouse.tga").good()) return "data/";
  const char *b = std::getenv("PABRIX_BINARY_DIR");
  return std::string(b ? b : ".") + "/bin/data/";
}

std::string gfx(const std::string &name) { return dataDir() + "gfx/" + name; }

KImage load(const std::string &name) {
  KImage img;
  EXPECT_TRUE(KImageCodec::readFile(gfx(name).c_str(), img)) << name;
  return img;
}

int alphaAt(const KImage &img, int x, int y) { return img.pixel(x, y)[3]; }

// Visible pixels (alpha above a faint glow) inside a rectangle.
int visibleIn(const KImage &img, R r, int threshold = 40) {
  int n = 0;
  for (int y = r.y1; y < r.y2; ++y) {
    for (int x = r.x1; x < r.x2; ++x) n += alphaAt(img, x, y) > threshold;
  }
  return n;
}

// Pieces drawn zoomed with filtering must not touch their rectangle's border,
// or they would look cut off.
int visibleOnBorder(const KImage &img, R r) {
  int n = 0;
  for (int x = r.x1; x < r.x2; ++x) n += (alphaAt(img, x, r.y1) > 8) + (alphaAt(img, x, r.y2 - 1) > 8);
  for (int y = r.y1; y < r.y2; ++y) n += (alphaAt(img, r.x1, y) > 8) + (alphaAt(img, r.x2 - 1, y) > 8);
  return n;
}

// Visible pixels of the picture outside every given rectangle: a piece drawn
// where the program never reads it is a piece the child never sees.
int strayPixels(const KImage &img, const std::vector<R> &rs) {
  int n = 0;
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      if (alphaAt(img, x, y) <= 8) continue;
      bool inside = false;
      for (const R &r : rs) inside = inside || (x >= r.x1 && x < r.x2 && y >= r.y1 && y < r.y2);
      n += !inside;
    }
  }
  return n;
}

void expectSprite(const KImage &img, R r, const std::string &what) {
  const std::string where = what + " (" + std::to_string(r.x1) + ", " + std::to_string(r.y1) + ")";
  ASSERT_LE(r.x2, img.width) << where;
  ASSERT_LE(r.y2, img.height) << where;
  EXPECT_GT(visibleIn(img, r), (r.x2 - r.x1) * (r.y2 - r.y1) / 8) << where << " is (nearly) empty";
  EXPECT_EQ(visibleOnBorder(img, r), 0) << where << " touches its border";
}

void expectOpaque(const KImage &img, int w, int h, const char *what) {
  EXPECT_EQ(img.width, w) << what;
  EXPECT_EQ(img.height, h) << what;
  EXPECT_EQ(img.bpp, 24) << what << " should be a 24-bit picture";
}

double luminance(const uint8_t *p) { return 0.3 * p[0] + 0.59 * p[1] + 0.11 * p[2]; }

// Mean colour of the visible pixels within `radius` of (cx, cy).
void meanColour(const KImage &img, int cx, int cy, int radius, double rgb[3]) {
  double n = 0;
  rgb[0] = rgb[1] = rgb[2] = 0;
  for (int y = cy - radius; y <= cy + radius; ++y) {
    for (int x = cx - radius; x <= cx + radius; ++x) {
      if ((x - cx) * (x - cx) + (y - cy) * (y - cy) > radius * radius) continue;
      const uint8_t *p = img.pixel(x, y);
      if (p[3] < 128) continue;
      for (int c = 0; c < 3; ++c) rgb[c] += p[c];
      ++n;
    }
  }
  for (int c = 0; c < 3; ++c) rgb[c] /= n > 0 ? n : 1;
}

// ---------------------------------------------------------------- pictures

TEST(DataPictures, MenuBackgroundAndButtons) {
  expectOpaque(load("pabrix.bmp"), 640, 480, "pabrix.bmp");
  // Each hover picture is drawn in place of its normal one: same size, and
  // the button must leave the gaps between neighbours free (65, 235, 430).
  for (const char *b : {"pg", "mg", "mm"}) {
    const KImage off = load(std::string(b) + "off.tga");
    const KImage on = load(std::string(b) + "on.tga");
    EXPECT_EQ(off.width, on.width) << b;
    EXPECT_EQ(off.height, on.height) << b;
    EXPECT_TRUE(off.hasAlpha) << b;
    EXPECT_LE(off.width, 170) << b;
    EXPECT_LE(160 + off.height + 16, 400) << b << " would bob into the options sign";
    EXPECT_GT(visibleIn(off, {0, 0, off.width, off.height}), off.width * off.height / 2) << b;
    EXPECT_NE(off.rgba, on.rgba) << b << ": hovering must show something";
  }
}

TEST(DataPictures, PointerHasItsTipAtTheOrigin) {
  const KImage m = load("mouse.tga");
  EXPECT_GE(m.width, 16);
  EXPECT_LE(m.width, 64);
  EXPECT_TRUE(m.hasAlpha);
  EXPECT_GT(visibleIn(m, {0, 0, 3, 3}, 100), 0) << "the click lands on the top-left pixel";
  EXPECT_EQ(alphaAt(m, m.width - 1, 0), 0);
}

TEST(DataPictures, OptionsMarksMatchTheBoxesTheyCover) {
  const KImage opt = load("options.bmp");
  expectOpaque(opt, 640, 480, "options.bmp");
  const KImage cross = load("cross.bmp");
  ASSERT_GE(cross.height, 61);
  ASSERT_GE(cross.width, 58);
  // The marks are drawn opaque at (300, 247) rows 0..59 and (300, 307) rows
  // 60..end: outside the box they land in they must equal the background.
  struct Mark {
    int srcY, dstY, rows;
    R box;
  } marks[] = {{0, 247, 60, {302, 247, 358, 299}}, {60, 307, cross.height - 60, {302, 316, 358, 366}}};
  for (const Mark &m : marks) {
    int changedInBox = 0, changedOutside = 0;
    for (int y = 0; y < m.rows; ++y) {
      for (int x = 0; x < cross.width; ++x) {
        const int sx = 300 + x, sy = m.dstY + y;
        const bool same = std::memcmp(cross.pixel(x, m.srcY + y), opt.pixel(sx, sy), 3) == 0;
        const bool inBox = sx >= m.box.x1 && sx < m.box.x2 && sy >= m.box.y1 && sy < m.box.y2;
        (inBox ? changedInBox : changedOutside) += !same;
      }
    }
    EXPECT_GT(changedInBox, 200) << "mark at y " << m.dstY << " shows no tick";
    EXPECT_EQ(changedOutside, 0) << "mark at y " << m.dstY << " shows a seam around its box";
  }
  const KImage knob = load("note.tga");
  EXPECT_EQ(knob.width, 32) << "the knob is grabbed 16 pixels from its left";
  EXPECT_LE(knob.height, 48);
  EXPECT_GT(visibleIn(knob, {12, 0, 20, knob.height}), 50);
}

TEST(DataPictures, ButtonSheetHoldsEveryButton) {
  const KImage b = load("btns.tga");
  expectSprite(b, {11, 110, 71, 167}, "clear");
  expectSprite(b, {88, 10, 167, 89}, "print");
  expectSprite(b, {177, 12, 244, 89}, "trash");
  expectSprite(b, {107, 105, 133, 174}, "previous arrow");
  expectSprite(b, {133, 105, 205, 174}, "picture between the arrows");
  expectSprite(b, {205, 105, 228, 174}, "next arrow");
  // The two arrows point away from the picture between them.
  const KImage &i = b;
  EXPECT_GT(visibleIn(i, {108, 105, 116, 174}), 0);
  EXPECT_LT(visibleIn(i, {108, 105, 116, 174}), visibleIn(i, {124, 105, 132, 174}));
  EXPECT_LT(visibleIn(i, {219, 105, 227, 174}), visibleIn(i, {206, 105, 214, 174}));
}

TEST(DataPictures, NavigationSheetHoldsHomeUndoLightsAndTheExitGlow) {
  const KImage n = load("nav.tga");
  std::vector<R> pieces = {{1, 55, 47, 101}, {52, 54, 112, 111}, {120, 54, 220, 134}};
  for (int i = 0; i < 10; ++i) {
    pieces.push_back({25 * i, 0, 25 * i + 24, 24});
    pieces.push_back({25 * i, 26, 25 * i + 24, 50});
  }
  for (const R &r : pieces) expectSprite(n, r, "nav piece");
  EXPECT_EQ(strayPixels(n, pieces), 0);
}

TEST(DataPictures, PegBoardBackgroundPensAndSprites) {
  const KImage back = load("pabglowback.tga");
  ASSERT_GE(back.width, 640);
  ASSERT_GE(back.height, 640);
  // The background is drawn opaque, the logo and the cat with alpha.
  EXPECT_EQ(visibleIn(back, {0, 0, 640, 480}, 254), 640 * 480);
  expectSprite(back, {0, 493, 186, 574}, "logo");
  expectSprite(back, {521, 487, 639, 639}, "cat");
  EXPECT_EQ(strayPixels(back, {{0, 0, 640, 480}, {0, 493, 186, 574}, {521, 487, 639, 639}}), 0);
  // Where the board draws them at rest (logo at (0, 5), cat at (516, 330)) the
  // sprites leave every hole in view: nothing over a hole's 8 x 8 middle.
  int hidden = 0;
  for (int c = 0; c < 32; ++c) {
    for (int r = 0; r < 21; ++r) {
      for (int y = 41 + 16 * r; y < 49 + 16 * r; ++y) {
        for (int x = 74 + 16 * c; x < 82 + 16 * c; ++x) {
          if (x < 186 && y >= 5 && y < 86) hidden += alphaAt(back, x, 493 + y - 5) > 8;
          if (x >= 516 && x < 634 && y >= 330) hidden += alphaAt(back, 521 + x - 516, 487 + y - 330) > 8;
        }
      }
    }
  }
  EXPECT_EQ(hidden, 0);
  // Every hole of the 32 x 21 grid is a dark spot where a peg goes.
  int lit = 0;
  for (int c = 0; c < 32; ++c) {
    for (int r = 0; r < 21; ++r) lit += luminance(back.pixel(78 + 16 * c, 45 + 16 * r)) > 40;
  }
  EXPECT_EQ(lit, 0);

  // Pens: 16 x 16 glowing pegs; the strip shows each colour in the band that selects it.
  const int bandMid[10] = {103, 129, 154, 177, 199, 223, 247, 271, 294, 319};
  for (int i = 0; i <= 10; ++i) {
    const KImage pen = load("pen" + std::to_string(i) + ".tga");
    ASSERT_GE(pen.width, 16);
    ASSERT_GE(pen.height, 16);
    EXPECT_GT(visibleIn(pen, {0, 0, 16, 16}, 128), 40) << "pen " << i;
    if (i == 10) continue;
    double penRgb[3], stripRgb[3];
    meanColour(pen, 8, 8, 4, penRgb);
    meanColour(back, bandMid[i], 425, 5, stripRgb);
    double dist = 0;
    for (int c = 0; c < 3; ++c) dist += std::fabs(penRgb[c] - stripRgb[c]);
    EXPECT_LT(dist, 90) << "band " << i << " of the strip does not show pen " << i << "'s colour";
  }
  EXPECT_EQ(load("pen10.tga").rgba.size(), load("pen9.tga").rgba.size());
}

TEST(DataPictures, MonsterBackgroundAndSmoke) {
  expectOpaque(load("misterback.bmp"), 640, 480, "misterback.bmp");
  const KImage cloud = load("cloud.tga");
  ASSERT_GE(cloud.width, 248);
  ASSERT_GE(cloud.height, 248);
  double smoke[4];
  for (int f = 0; f < 4; ++f) {
    const R r{124 * (f % 2), 124 * (f / 2), 124 * (f % 2) + 124, 124 * (f / 2) + 124};
    EXPECT_GT(visibleIn(cloud, r, 8), 500) << "smoke image " << f;
    EXPECT_EQ(visibleOnBorder(cloud, r), 0) << "smoke image " << f;
    smoke[f] = 0;
    for (int y = r.y1; y < r.y2; ++y) {
      for (int x = r.x1; x < r.x2; ++x) smoke[f] += alphaAt(cloud, x, y);
    }
  }
  // The puff bursts out, swells, then thins away.
  EXPECT_GT(smoke[1], smoke[0]);
  EXPECT_LT(smoke[2], smoke[1]);
  EXPECT_LT(smoke[3], smoke[2]);
}

TEST(DataPictures, GardenSheetStemsFlowersAndSky) {
  expectOpaque(load("sky.bmp"), 640, 480, "sky.bmp");
  const KImage g = load("flower1.tga");
  ASSERT_GE(g.width, 640);
  ASSERT_GE(g.height, 480);
  const R panel{0, 0, 181, 480}, soil{181, 354, 640, 480};
  EXPECT_GT(visibleIn(g, panel, 200), 181 * 480 * 9 / 10);
  EXPECT_GT(visibleIn(g, {181, 380, 640, 480}, 254), 459 * 99) << "the soil must be solid where seeds are planted";
  const R seeds[10] = {{204, 147, 247, 180}, {196, 204, 240, 239}, {194, 251, 233, 278}, {205, 288, 244, 316},
                       {393, 159, 427, 185}, {277, 229, 311, 258}, {277, 155, 305, 192}, {332, 154, 364, 191},
                       {335, 212, 370, 236}, {256, 292, 296, 325}};
  const R clouds[3] = {{350, 241, 612, 328}, {429, 5, 638, 78}, {379, 92, 495, 156}};
  std::vector<R> all{panel, soil};
  for (const R &s : seeds) {
    expectSprite(g, s, "seed");
    all.push_back(s);
  }
  for (const R &c : clouds) {
    expectSprite(g, c, "cloud");
    all.push_back(c);
  }
  EXPECT_EQ(strayPixels(g, all), 0);
  // The watering can, a picture of its own: the whole can shows, clear of the edges.
  const KImage can = load("can.tga");
  ASSERT_EQ(can.width, 116);
  ASSERT_EQ(can.height, 92);
  expectSprite(can, {0, 0, 116, 92}, "can");

  const KImage t = load("tiges.tga");
  ASSERT_GE(t.width, 624);
  ASSERT_GE(t.height, 457);
  struct Stem {
    R r;
    int topX, topY, rootX, rootY;
  } stems[9] = {{{6, 288, 61, 430}, 54, 298, 33, 415},   {{78, 242, 122, 446}, 97, 248, 105, 430},
                {{143, 233, 200, 455}, 160, 238, 168, 437}, {{221, 308, 265, 450}, 240, 314, 246, 438},
                {{222, 115, 273, 253}, 267, 122, 245, 238}, {{293, 315, 345, 455}, 340, 321, 319, 438},
                {{442, 251, 483, 453}, 459, 258, 466, 440}, {{493, 257, 533, 400}, 512, 266, 519, 387},
                {{557, 236, 611, 457}, 597, 242, 588, 442}};
  const R flowers[10] = {{13, 23, 95, 97},    {110, 23, 196, 97},   {206, 24, 282, 97},  {295, 24, 366, 94},
                         {371, 26, 441, 89},  {455, 27, 535, 82},   {544, 30, 624, 83},  {19, 114, 81, 183},
                         {101, 107, 201, 195}, {566, 96, 608, 229}};
  const R leaves[5] = {{294, 128, 334, 166}, {403, 134, 455, 169}, {328, 195, 379, 232}, {398, 204, 430, 231},
                       {484, 128, 522, 165}};
  all.clear();
  for (const Stem &s : stems) {
    EXPECT_GT(visibleIn(t, s.r), 150) << "stem at " << s.r.x1;
    EXPECT_EQ(visibleOnBorder(t, s.r), 0) << "stem at " << s.r.x1;
    // The flower sits on the top and the seed on the root: both on the stem.
    EXPECT_GT(visibleIn(t, {s.topX - 3, s.topY - 3, s.topX + 4, s.topY + 4}, 128), 0) << "top of stem at " << s.r.x1;
    EXPECT_GT(visibleIn(t, {s.rootX - 3, s.rootY - 3, s.rootX + 4, s.rootY + 4}, 128), 0) << "root of stem at " << s.r.x1;
    all.push_back(s.r);
  }
  for (const R &f : flowers) {
    expectSprite(t, f, "flower");
    all.push_back(f);
  }
  for (int k = 0; k < 5; ++k) {
    expectSprite(t, leaves[k], "leaf");
    all.push_back(leaves[k]);
  }
  // Leaves 1, 2 and 4 grow out leftwards from their right edge, 3 and 5
  // rightwards from their left edge: the edge they grow from touches the stem.
  for (int k : {0, 1, 3}) {
    EXPECT_GT(visibleIn(t, {leaves[k].x2 - 5, leaves[k].y1, leaves[k].x2, leaves[k].y2}), 0) << "leaf " << k + 1;
  }
  for (int k : {2, 4}) {
    EXPECT_GT(visibleIn(t, {leaves[k].x1, leaves[k].y1, leaves[k].x1 + 5, leaves[k].y2}), 0) << "leaf " << k + 1;
  }
  EXPECT_EQ(strayPixels(t, all), 0);
}

// ---------------------------------------------------------------- monsters

// A raw look at an INI file, independent of the engine's reader, to check
// that the engine's substring search finds exactly what the file says.
std::string iniValue(const std::string &text, const std::string &section, const std::string &key) {
  const size_t s = text.find("[" + section + "]");
  if (s == std::string::npos) return "";
  std::istringstream in(text.substr(s + section.size() + 2));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') break;
    if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
  }
  return "";
}

std::string readText(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void expectCrlf(const std::string &text, const std::string &name) {
  size_t bare = 0;
  for (size_t i = 0; i < text.size(); ++i) bare += text[i] == '\n' && (i == 0 || text[i - 1] != '\r');
  EXPECT_EQ(bare, 0u) << name << " has line ends without CR";
}

TEST(DataMonsters, CatalogueSheetsAndBodies) {
  const std::string countPath = dataDir() + "monstercount.ini";
  expectCrlf(readText(countPath), "monstercount.ini");
  KIniReader count;
  ASSERT_TRUE(count.setIni(countPath.c_str()));
  const long n = count.getValue("DATA", "MAXMONSTER", 0);
  ASSERT_GE(n, 5);
  ASSERT_LE(n, 19) << "the monster file has records for 19 monsters";

  int inactive = 0;
  for (long m = 1; m <= n; ++m) {
    SCOPED_TRACE("monster " + std::to_string(m));
    const std::string name = "monstre" + std::to_string(m) + ".ini";
    const std::string path = dataDir() + name;
    const std::string text = readText(path);
    expectCrlf(text, name);
    KIniReader ini;
    ASSERT_TRUE(ini.setIni(path.c_str()));
    const KImage sheet = load("monstre" + std::to_string(m) + ".tga");
    ASSERT_GE(sheet.width, 640);
    ASSERT_GE(sheet.height, 480);

    const R body{static_cast<int>(ini.getValue("MONSTER", "x1", 0)), static_cast<int>(ini.getValue("MONSTER", "y1", 0)),
                 static_cast<int>(ini.getValue("MONSTER", "x2", 0)), static_cast<int>(ini.getValue("MONSTER", "y2", 0))};
    for (const char *k : {"x1", "y1", "x2", "y2"}) {
      EXPECT_EQ(std::to_string(ini.getValue("MONSTER", k, -999)), iniValue(text, "MONSTER", k)) << k;
    }
    EXPECT_GE(body.x1, 250) << "the body must stand clear of the parts shelf";
    EXPECT_LE(body.x2, 640);
    EXPECT_LE(body.y2, 480);
    EXPECT_GT(visibleIn(sheet, body, 200), (body.x2 - body.x1) * (body.y2 - body.y1) / 3);
    EXPECT_EQ(visibleOnBorder(sheet, body), 0);

    std::vector<R> pieces{body};
    int entries = 0;
    for (int i = 1; i < 500; ++i) {
      const std::string e = "e" + std::to_string(i);
      if (ini.getValue("DATA", (e + "id").c_str(), 0) == 0) break;
      ++entries;
      SCOPED_TRACE("entry " + std::to_string(i));
      const char *keys[] = {"x1", "y1", "x2", "y2", "dx", "dy"};
      long v[6];
      for (int k = 0; k < 6; ++k) {
        v[k] = ini.getValue("DATA", (e + keys[k]).c_str(), -999);
        EXPECT_EQ(std::to_string(v[k]), iniValue(text, "DATA", e + keys[k])) << keys[k];
      }
      const std::string active = iniValue(text, "DATA", "active" + std::to_string(i));
      ASSERT_FALSE(active.empty()) << "every entry says whether it is offered";
      inactive += ini.getValue("DATA", ("active" + std::to_string(i)).c_str(), 0) <= 0;
      const R r{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]), static_cast<int>(v[3])};
      expectSprite(sheet, r, "part");
      pieces.push_back(r);
      // The palette lies on the discard side, above the clear button.
      EXPECT_GE(v[4], 0);
      EXPECT_LE(v[4] + (r.x2 - r.x1), 250);
      EXPECT_GE(v[5], 0);
      EXPECT_LE(v[5] + (r.y2 - r.y1), 405);
    }
    EXPECT_GE(entries, 12);
    EXPECT_EQ(strayPixels(sheet, pieces), 0);
  }
  EXPECT_GE(inactive, 1) << "one catalogue keeps a part out of its palette";
}

// ---------------------------------------------------------------- sounds

struct Pcm {
  int rate = 0, channels = 0;
  std::vector<float> samples;  // interleaved
  double seconds() const { return channels ? samples.size() / double(channels) / rate : 0; }
};

Pcm decodeOgg(const std::string &path) {
  Pcm p;
  OggVorbis_File vf;
  if (ov_fopen(path.c_str(), &vf) != 0) return p;
  const vorbis_info *vi = ov_info(&vf, -1);
  p.rate = vi->rate;
  p.channels = vi->channels;
  while (true) {
    float **pcm = nullptr;
    int section = 0;
    const long n = ov_read_float(&vf, &pcm, 4096, &section);
    if (n <= 0) break;
    for (long i = 0; i < n; ++i) {
      for (int c = 0; c < p.channels; ++c) p.samples.push_back(pcm[c][i]);
    }
  }
  ov_clear(&vf);
  return p;
}

double peak(const Pcm &p) {
  double m = 0;
  for (float s : p.samples) m = std::max(m, double(std::fabs(s)));
  return m;
}

double db(double v) { return 20 * std::log10(std::max(v, 1e-9)); }

assetgen::Stereo stereo(const Pcm &p) {
  assetgen::Stereo s;
  s.resize(p.samples.size() / 2);
  for (size_t i = 0; i < s.frames(); ++i) s.left[i] = p.samples[2 * i], s.right[i] = p.samples[2 * i + 1];
  return s;
}

// The pitch of a tone, from the zero crossings of its left channel.
double dominantHz(const Pcm &p) {
  int crossings = 0;
  for (size_t i = 2; i < p.samples.size(); i += 2) crossings += (p.samples[i - 2] < 0) != (p.samples[i] < 0);
  return crossings / 2.0 / p.seconds();
}

// The device's gain in dB for a sample played at `volume` under a master, as
// KSound applies it.
double playedGainDb(int master, int volume) {
  KSound fillsTheTable;
  return fechnerTable[std::min(99, master * volume / 100)] / 100.0;
}

TEST(DataSounds, EffectsCarryOverTheMusicAtDefaultSettings) {
  // The default sliders give the effects a master of 81 and the music one of 72.
  // Played as the program plays them, every effect's peak stands 6 dB over the
  // music's loudness (the growing stem's hum, a background sound, over it at all).
  const double music = -18.0 + playedGainDb(72, 100);
  const struct {
    const char *name;
    int volume;
    double over;
  } played[] = {{"click", 80, 6},  {"cloud", kCloudVolume, 6}, {"clear", 50, 6},
                {"grow", 30, 0},   {"shutter", 100, 6},        {"pick", 70, 6},
                {"place", 70, 6},  {"thud", 80, 6},            {"sprinkle", 60, 6},
                {"pegerase", 60, 6}, {"peg0", 60, 6},          {"peg9", 60, 6}};
  for (const auto &e : played) {
    const double mixed = db(peak(decodeOgg(dataDir() + "audio/" + e.name + ".ogg"))) +
                         playedGainDb(81, e.volume);
    EXPECT_GE(mixed, music + e.over) << e.name << " peaks at " << mixed << " dBFS in the mix, the music is "
                                     << music << " LUFS";
  }
}

TEST(DataSounds, EffectsAreShortCleanAndLoadAsSamples) {
  // Every effect is made to one loudness (the quick ones reach the peak ceiling
  // first); the quick ones stay short enough to repeat.
  struct Effect {
    const char *name;
    double maxSeconds;
  };
  std::vector<Effect> effects = {{"click", 0.2},  {"grow", 2.0},  {"clear", 1.0},
                                 {"cloud", 1.0},  {"shutter", 0.3}, {"pick", 0.2},
                                 {"place", 0.4},  {"thud", 0.3},  {"sprinkle", 1.2},
                                 {"pegerase", 0.2}};
  static const char *pegs[] = {"peg0", "peg1", "peg2", "peg3", "peg4",
                               "peg5", "peg6", "peg7", "peg8", "peg9"};
  for (const char *peg : pegs) effects.push_back({peg, 0.4});
  static const char *voices[] = {"voice0", "voice1", "voice2", "voice3", "voice4"};
  for (const char *voice : voices) effects.push_back({voice, 1.0});
  for (const Effect &e : effects) {
    SCOPED_TRACE(e.name);
    const std::string path = dataDir() + "audio/" + e.name + ".ogg";
    const Pcm p = decodeOgg(path);
    ASSERT_EQ(p.rate, 44100);
    ASSERT_EQ(p.channels, 2);
    EXPECT_GT(p.seconds(), 0.05);
    EXPECT_LE(p.seconds(), e.maxSeconds);
    // One loudness for every effect, unless its peak reached the ceiling first.
    const double loudness = assetgen::momentaryLoudness(stereo(p));
    EXPECT_LT(db(peak(p)), -0.5);
    // (Encoding moves a peak by a few tenths of a dB.)
    EXPECT_TRUE(std::fabs(loudness - assetgen::kEffectLoudness) < 0.5 || db(peak(p)) > -2.0)
        << loudness << " LUFS, peak " << db(peak(p)) << " dBFS";
    // Click-free ends.
    EXPECT_LT(std::fabs(p.samples[0]), 0.05);
    EXPECT_LT(std::fabs(p.samples[p.samples.size() - 1]), 0.05);
    KSound s;
    EXPECT_TRUE(s.loadSample(path.c_str(), 100, false, 1));
    EXPECT_EQ(s._wavLength, p.samples.size() * 2) << "the engine decodes the same length";
  }
  // Ten different notes for the ten pegs, rising with the colour's number.
  double last = 0;
  for (const char *peg : pegs) {
    const double hz = dominantHz(decodeOgg(dataDir() + "audio/" + peg + ".ogg"));
    EXPECT_GT(hz, last * 1.05) << peg;
    last = hz;
  }

  for (const char *name : {"musicintro", "game2", "game3", "flower"}) {
    SCOPED_TRACE(name);
    const std::string path = dataDir() + "audio/" + name + ".ogg";
    const Pcm p = decodeOgg(path);
    ASSERT_EQ(p.rate, 44100);
    ASSERT_EQ(p.channels, 2);
    EXPECT_GE(p.seconds(), 45.0);
    EXPECT_LE(p.seconds(), 90.0);
    EXPECT_LT(db(peak(p)), -2.5) << "music must leave headroom";
    // One loudness for every piece, so changing the music changes no volume.
    EXPECT_NEAR(assetgen::integratedLoudness(stereo(p)), -18.0, 0.3);
    // It loops: no jump between its last sample and its first.
    for (int c = 0; c < 2; ++c) {
      EXPECT_LT(std::fabs(p.samples[p.samples.size() - 2 + c] - p.samples[c]), 0.1) << "channel " << c;
    }
    KSound s;
    EXPECT_TRUE(s.loadStream(path.c_str()));
  }
}

}  // namespace
