// The asset generator's parts: the score notation, effect recipes, loop
// folding, includes, crops, line ends and the writers' determinism.
#include <gtest/gtest.h>

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

#include "audio.h"
#include "compose.h"
#include "fileutil.h"
#include "music.h"
#include "picture.h"
#include "score.h"
#include "synth.h"
#include "support/TestHome.h"

using namespace assetgen;

namespace {

const int Q = kTicksPerQuarter;

Score parseOk(const std::string &text) {
  Score s;
  std::string error;
  EXPECT_TRUE(parseScore(text, s, error)) << error;
  return s;
}

std::string parseError(const std::string &text) {
  Score s;
  std::string error;
  EXPECT_FALSE(parseScore(text, s, error));
  return error;
}

std::vector<int> keys(const Score &s) {
  std::vector<int> k;
  for (const ScoreNote &n : s.notes) k.push_back(n.key);
  return k;
}

// ---------------------------------------------------------------- scores

TEST(Score, PitchesLandNearestTheNoteBefore) {
  // c4 is 60; without a digit a note lands within a tritone of the last one,
  // a tritone going up; ' and , move by an octave; # sharpens, b flattens.
  const Score s = parseOk("bars 4\ntrack t\nc4:4 e g c a f d b, c#5 eb bb' f# c r:2.\n");
  EXPECT_EQ(keys(s), (std::vector<int>{60, 64, 67, 72, 69, 65, 62, 47, 73, 75, 82, 78, 84}));
}

TEST(Score, SharpsAreNotComments) {
  const Score s = parseOk("bars 1 # one bar\ntrack t # a track\nf#4:4 g# # the rest is a comment d e\nr:2\n");
  EXPECT_EQ(keys(s), (std::vector<int>{66, 68}));
}

TEST(Score, DurationsDotsTripletsSumsAndRests) {
  const Score s = parseOk("bars 2\ntrack t\ngate 1\nc4:4. d:8 e:8t f g r:4 | c:2+4 d:4 |\n");
  ASSERT_EQ(s.notes.size(), 7u);
  const int64_t on[] = {0, 720, 960, 1120, 1280, 1920, 3360};
  const int64_t len[] = {720, 240, 160, 160, 160, 1440, 480};
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(s.notes[i].on, on[i]) << i;
    EXPECT_EQ(s.notes[i].off - s.notes[i].on, len[i]) << i;
  }
}

TEST(Score, GateTiesAccentsAndStaccato) {
  const Score s = parseOk("bars 1\ntrack t\nvelocity 80\ngate 0.5\nc4:4~ c:4 d:4^ e:4_\n");
  ASSERT_EQ(s.notes.size(), 3u);
  EXPECT_EQ(s.notes[0].off, Q + Q / 2) << "a tie joins the two notes, the gate cuts the last";
  EXPECT_EQ(s.notes[1].velocity, 95);
  EXPECT_EQ(s.notes[2].off - s.notes[2].on, Q / 4);
}

TEST(Score, ChordsSoundTogetherAndAdvanceOnce) {
  const Score s = parseOk("bars 1\ntrack t\n<c4 e g>:2 <f a c>:2\n");
  EXPECT_EQ(keys(s), (std::vector<int>{60, 64, 67, 65, 69, 72}));
  EXPECT_EQ(s.notes[3].on, 2 * Q);
  EXPECT_EQ(s.notes[5].on, 2 * Q);
}

TEST(Score, PatternsRepeatTransposeAndNest) {
  const Score s = parseOk(
      "bars 2\ntrack t\noctave 4\npattern a\n  c:4 e\nend\npattern two\n  play a a+7\nend\n"
      "play two*2\n");
  EXPECT_EQ(keys(s), (std::vector<int>{60, 64, 67, 71, 60, 64, 67, 71}));
  EXPECT_EQ(s.notes.back().on, 7 * Q);
}

TEST(Score, TracksGetChannelsAndDrumsTheirOwn) {
  const Score s = parseOk("bars 1\ntrack a\nc4:1\ntrack d\ndrums\nkick:4 snare n42 hat\ntrack b\nprogram 40\ne4:1\n");
  ASSERT_EQ(s.tracks.size(), 3u);
  EXPECT_EQ(s.tracks[0].channel, 0);
  EXPECT_EQ(s.tracks[1].channel, 9);
  EXPECT_TRUE(s.tracks[1].drums);
  EXPECT_EQ(s.tracks[2].channel, 1);
  EXPECT_EQ(s.tracks[2].program, 40);
  EXPECT_EQ(keys(s), (std::vector<int>{60, 36, 38, 42, 42, 64}));
}

TEST(Score, SwingDelaysTheOffBeatEighth) {
  const Score s = parseOk("bars 1\nswing 0.625\ntrack t\nc4:8 d e f r:2\n");
  EXPECT_EQ(s.notes[1].on, Q / 2 + Q / 8);
  EXPECT_EQ(s.notes[2].on, Q);
}

TEST(Score, MistakesAreReportedWithTheirLine) {
  EXPECT_EQ(parseError("bars 2\ntrack t\nc4:4 d e |\n"), "line 3: bar line at 1440 ticks into a bar");
  EXPECT_NE(parseError("bars 1\ntrack t\nc4:1 d:4\n").find("runs past the end"), std::string::npos);
  EXPECT_EQ(parseError("bars 2\ntrack a\nc4:1 d:1\ntrack b\nc4:1 d:2\n"),
            "line 4: track b ends 1 bars and 960 ticks in, not after 2 bars");
  EXPECT_NE(parseError("bars 1\ntrack t\nc4:3\n").find("bad duration"), std::string::npos);
  EXPECT_NE(parseError("bars 1\ntrack t\nh4\n").find("not a note"), std::string::npos);
  EXPECT_NE(parseError("bars 1\ntrack t\nc9:4 a'\n").find("out of range"), std::string::npos);
  EXPECT_NE(parseError("bars 1\ntrack t\nplay nothing\n").find("no pattern"), std::string::npos);
  EXPECT_NE(parseError("bars 1\ntrack t\npattern a\nc4:4\n").find("no end"), std::string::npos);
  EXPECT_NE(parseError("bars 1\ntrack t\npattern a\nplay a\nend\nplay a\n").find("too deeply"), std::string::npos);
  EXPECT_NE(parseError("track t\nc4:4\n").find("bars must be given"), std::string::npos);
  // Empty patterns repeated inside each other add nothing but would take ages.
  EXPECT_NE(parseError("bars 1\ntrack t\npattern e\nend\npattern d\nplay e*64\nend\npattern c\nplay d*64\nend\n"
                       "pattern b\nplay c*64\nend\nplay b*64\n")
                .find("too large"),
            std::string::npos);
  EXPECT_NE(parseError("bars 1\ntempo 9000\ntrack t\n").find("tempo"), std::string::npos);
  EXPECT_NE(parseError("bars 1\ntrack d\ndrums\nbongo\n").find("unknown drum"), std::string::npos);
  EXPECT_NE(parseError("bars 1\ntrack t\n<c4 e:4\n").find("chord"), std::string::npos);
}

// ---------------------------------------------------------------- effects

TEST(Recipe, RendersItsLengthNormalisedWithQuietEnds) {
  Recipe r;
  std::string error;
  ASSERT_TRUE(parseRecipe("length 0.3\nlayer square\nfreq 300 600\nenv 0.001 0.2\n"
                          "repeat 3 0.05 1.5 0.5\nlowpass 2000\nlayer noise\nenv 0 0.05\ngain 0.2\n",
                          r, error))
      << error;
  ASSERT_EQ(r.layers.size(), 2u);
  EXPECT_EQ(r.layers[0].repeats, 3);
  Stereo s;
  renderRecipe(r, s);
  EXPECT_EQ(s.frames(), size_t(0.3 * kSampleRate));
  // The one effect loudness, unless the peak ceiling stopped it first.
  const Levels lv = measure(s);
  const double loudness = momentaryLoudness(s);
  EXPECT_LE(lv.peakDb, kEffectPeakDb + 0.01);
  EXPECT_TRUE(std::fabs(loudness - kEffectLoudness) < 0.05 ||
              (lv.peakDb > kEffectPeakDb - 0.01 && loudness < kEffectLoudness))
      << loudness << " LUFS, peak " << lv.peakDb;
  EXPECT_EQ(s.left.back(), 0.0f);
  EXPECT_EQ(s.left.front(), 0.0f);
  Stereo again;
  renderRecipe(r, again);
  EXPECT_EQ(s.left, again.left) << "noise comes from a fixed seed";
}

TEST(Recipe, EchoAlternatesSides) {
  Recipe r;
  std::string error;
  ASSERT_TRUE(parseRecipe("length 1\necho 0.3 0.5 0.8\nlayer sine\nfreq 440\nenv 0.001 0.05\n", r, error)) << error;
  Stereo s;
  renderRecipe(r, s);
  auto energy = [&](const std::vector<float> &ch, double from, double to) {
    double e = 0;
    for (size_t i = size_t(from * kSampleRate); i < size_t(to * kSampleRate); ++i) e += ch[i] * ch[i];
    return e;
  };
  EXPECT_GT(energy(s.left, 0.3, 0.4), 10 * energy(s.right, 0.3, 0.4));
  EXPECT_GT(energy(s.right, 0.6, 0.7), 10 * energy(s.left, 0.6, 0.7));
}

TEST(Recipe, BadRecipesAreRefused) {
  Recipe r;
  std::string error;
  EXPECT_FALSE(parseRecipe("layer sine\nfreq 440\n", r, error));
  EXPECT_NE(error.find("no length"), std::string::npos);
  EXPECT_FALSE(parseRecipe("length 1\nfreq 440\n", r, error));
  EXPECT_NE(error.find("before any layer"), std::string::npos);
  EXPECT_FALSE(parseRecipe("length 1\nlayer organ\n", r, error));
  EXPECT_FALSE(parseRecipe("length 1\nlayer sine\nfreq 0\n", r, error));
  EXPECT_FALSE(parseRecipe("length 1\nlayer sine\nfreq 440x\n", r, error));
  EXPECT_FALSE(parseRecipe("length 1\nlayer sine\nrepeat 1000 0.1 1\n", r, error));
  EXPECT_FALSE(parseRecipe("length 100\nlayer sine\n", r, error));
  EXPECT_EQ(error.substr(0, 7), "line 1:");
}

// ---------------------------------------------------------------- music

TEST(Music, LoudnessIsMeasuredAsMetersDoAndGatesSilence) {
  // A 997 Hz sine at -20 dBFS in both channels reads -20 LUFS; a 50 Hz one is
  // weighted down; silence around a sound does not lower its loudness; less
  // than one 400 ms block is not measured.
  auto tone = [](double hz, double amplitude, double seconds, double silence) {
    Stereo s;
    s.resize(size_t((seconds + silence) * kSampleRate));
    for (size_t i = 0; i < size_t(seconds * kSampleRate); ++i)
      s.left[i] = s.right[i] = float(amplitude * std::sin(2 * M_PI * hz * i / kSampleRate));
    return s;
  };
  EXPECT_NEAR(integratedLoudness(tone(997, 0.1, 3, 0)), -20.0, 0.1);
  EXPECT_NEAR(integratedLoudness(tone(997, 0.1, 3, 6)), -20.0, 0.3);  // ungated: -24.8
  EXPECT_LT(integratedLoudness(tone(50, 0.1, 3, 0)), -20.5);
  EXPECT_EQ(integratedLoudness(tone(997, 0.1, 0.3, 0)), -200.0);
  // The momentary reading is the loudest 400 ms: a steady tone reads as it does
  // integrated, a 100 ms burst a quarter of the energy (6 dB) lower, wherever it lies.
  EXPECT_NEAR(momentaryLoudness(tone(997, 0.1, 3, 0)), -20.0, 0.1);
  EXPECT_NEAR(momentaryLoudness(tone(997, 0.1, 0.1, 2)), -26.0, 0.1);
  Stereo burst = tone(997, 0.1, 0.1, 0);
  normaliseMomentary(burst, -20.0, -1.0);
  EXPECT_NEAR(momentaryLoudness(burst), -20.0, 0.05);
  Stereo loud = tone(997, 0.01, 3, 0);
  normaliseLoudness(loud, -23.0, -1.0);
  EXPECT_NEAR(integratedLoudness(loud), -23.0, 0.05);
  normaliseLoudness(loud, -3.0, -6.0);  // the peak ceiling wins
  EXPECT_NEAR(measure(loud).peakDb, -6.0, 0.01);
}

TEST(Music, FoldingTheTailMakesTheLoopContinue) {
  Stereo s;
  s.resize(10);
  for (size_t i = 0; i < 10; ++i) s.left[i] = s.right[i] = float(i);
  foldTail(s, 6);
  ASSERT_EQ(s.frames(), 6u);
  EXPECT_EQ(s.left, (std::vector<float>{0 + 6, 1 + 7, 2 + 8, 3 + 9, 4, 5}));
  Stereo longTail;
  longTail.resize(7);
  for (size_t i = 0; i < 7; ++i) longTail.left[i] = 1;
  foldTail(longTail, 3);  // the tail wraps round more than once
  EXPECT_EQ(longTail.left, (std::vector<float>{3, 2, 2}));
}

TEST(Music, ScoreRendersToItsExactLengthAndLevel) {
  const char *font = "/usr/share/sounds/sf2/TimGM6mb.sf2";
  if (!std::ifstream(font).good()) GTEST_SKIP() << "no soundfont";
  const Score score = parseOk("tempo 120\nbars 2\nlevel -20 -3\ntrack t\nprogram 0\nc4:2 e g:1 |\n");
  Stereo s;
  std::string error;
  ASSERT_TRUE(renderScore(score, font, s, error)) << error;
  EXPECT_EQ(s.frames(), size_t(4 * kSampleRate));
  // The loudness target is met unless the peak ceiling stopped it first.
  const Levels lv = measure(s);
  EXPECT_LE(lv.peakDb, -2.99);
  const double lufs = integratedLoudness(s);
  EXPECT_TRUE(std::fabs(lufs + 20.0) < 0.05 || (lv.peakDb > -3.01 && lufs < -20.0))
      << lufs << " LUFS, peak " << lv.peakDb;
  ASSERT_FALSE(renderScore(score, "/nonexistent.sf2", s, error));
  EXPECT_NE(error.find("soundfont"), std::string::npos);
}

// ---------------------------------------------------------------- files

class Files : public ::testing::Test {
protected:
  void SetUp() override { dir = testhome::makeDir("assetgen"); }
  void TearDown() override {
    if (!dir.empty()) testhome::removeTree(dir);
  }
  void write(const std::string &name, const std::string &text) { std::ofstream(dir + "/" + name) << text; }
  std::string dir;
};

TEST_F(Files, IncludesNestAndReportWhatTheyRead) {
  write("a.svg", "<svg><?include file=\"b.frag\"?>|<?include file=\"b.frag\" ?></svg>");
  write("b.frag", "B<?include file=\"c.frag\"?>");
  write("c.frag", "C");
  std::string out, error;
  std::vector<std::string> deps;
  ASSERT_TRUE(expandIncludes(dir + "/a.svg", out, deps, error)) << error;
  EXPECT_EQ(out, "<svg>BC|BC</svg>");
  EXPECT_EQ(deps.size(), 5u);
  write("loop.frag", "<?include file=\"loop.frag\"?>");
  EXPECT_FALSE(expandIncludes(dir + "/loop.frag", out, deps, error));
  EXPECT_NE(error.find("too deeply"), std::string::npos);
  EXPECT_FALSE(expandIncludeText("<?include file=\"missing\"?>", dir, out, deps, error));
  EXPECT_FALSE(expandIncludeText("<?include nothing?>", dir, out, deps, error));
  EXPECT_FALSE(expandIncludeText("<?include file=\"x\"", dir, out, deps, error));
}

TEST_F(Files, SvgRendersAtItsOwnSizeOnly) {
  const std::string svg =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8\" height=\"4\">"
      "<rect width=\"4\" height=\"4\" fill=\"#ff0000\" fill-opacity=\"0.5\"/>"
      "<rect id=\"x\" x=\"4\" width=\"4\" height=\"4\" fill=\"#0000ff\" display=\"none\"/></svg>";
  Image img;
  std::string error;
  ASSERT_TRUE(renderSvg(svg, 8, 4, "", img, error)) << error;
  // Straight alpha: half-transparent red stays full red.
  EXPECT_EQ(img.rgba[0], 255);
  EXPECT_NEAR(img.rgba[3], 128, 1);
  EXPECT_EQ(img.rgba[4 * 5 + 3], 0);
  Image shown;
  ASSERT_TRUE(renderSvg(svg, 8, 4, "#x{display:inline}", shown, error)) << error;
  EXPECT_EQ(shown.rgba[4 * 5 + 2], 255) << "a stylesheet shows a hidden layer";
  EXPECT_FALSE(renderSvg(svg, 16, 8, "", img, error));
  EXPECT_NE(error.find("expected 16x8"), std::string::npos);
  EXPECT_FALSE(renderSvg("<svg", 8, 4, "", img, error));
}

TEST_F(Files, CropsStackAndStayInside) {
  Image src;
  src.width = 4;
  src.height = 2;
  for (int i = 0; i < 8; ++i) src.rgba.insert(src.rgba.end(), {uint8_t(i), 0, 0, 255});
  Image out;
  std::string error;
  ASSERT_TRUE(cropStack(src, {{2, 0, 2, 1}, {1, 1, 1, 1}}, out, error)) << error;
  EXPECT_EQ(out.width, 2);
  EXPECT_EQ(out.height, 2);
  EXPECT_EQ(out.rgba[0], 2);
  EXPECT_EQ(out.rgba[4], 3);
  EXPECT_EQ(out.rgba[8], 5);
  EXPECT_FALSE(cropStack(src, {{3, 0, 2, 1}}, out, error));
  EXPECT_FALSE(cropStack(src, {{0, -1, 1, 1}}, out, error));
}

TEST_F(Files, BleedingColoursOnlyTheTransparentPixels) {
  Image img;
  img.width = 3;
  img.height = 1;
  img.rgba = {0, 0, 0, 0, 200, 100, 50, 255, 0, 0, 0, 0};
  bleedColour(img, 2);
  EXPECT_EQ(img.rgba, (std::vector<uint8_t>{200, 100, 50, 0, 200, 100, 50, 255, 200, 100, 50, 0}));
}

TEST_F(Files, PicturesAndOggAreWrittenTheSameEveryTime) {
  Image img;
  img.width = 3;
  img.height = 2;
  img.rgba.assign(24, 77);
  std::string error;
  for (const char *ext : {".tga", ".bmp"}) {
    ASSERT_TRUE(writePicture(img, dir + "/a" + ext, error)) << error;
    ASSERT_TRUE(writePicture(img, dir + "/b" + ext, error)) << error;
    std::string a, b;
    ASSERT_TRUE(readFile(dir + "/a" + ext, a));
    ASSERT_TRUE(readFile(dir + "/b" + ext, b));
    EXPECT_EQ(a, b);
  }
  std::string tga;
  readFile(dir + "/a.tga", tga);
  EXPECT_EQ(tga[2], 2) << "uncompressed true colour";
  EXPECT_EQ(uint8_t(tga[16]), 32);
  EXPECT_FALSE(writePicture(img, dir + "/a.gif", error));

  Stereo s;
  s.resize(30000);
  for (size_t i = 0; i < s.frames(); ++i) s.left[i] = s.right[i] = 0.3f * std::sin(i * 0.05f);
  ASSERT_TRUE(writeOgg(s, dir + "/a.ogg", 0.4f, "t", error)) << error;
  ASSERT_TRUE(writeOgg(s, dir + "/b.ogg", 0.4f, "t", error)) << error;
  std::string a, b;
  readFile(dir + "/a.ogg", a);
  readFile(dir + "/b.ogg", b);
  EXPECT_EQ(a, b);
  OggVorbis_File vf;
  ASSERT_EQ(ov_fopen((dir + "/a.ogg").c_str(), &vf), 0);
  EXPECT_EQ(ov_pcm_total(&vf, -1), 30000);
  ov_clear(&vf);
  EXPECT_FALSE(std::ifstream(dir + "/a.ogg.tmp").good()) << "no temporary file is left";
}

TEST_F(Files, IconsKeepEachSizeAsWindowsReadsThem) {
  Image small;
  small.width = small.height = 2;
  // Top row red and clear; bottom row half-transparent green and blue.
  small.rgba = {255, 0, 0, 255, 0, 0, 0, 0, 0, 255, 0, 128, 0, 0, 255, 255};
  Image large;
  large.width = large.height = 256;
  large.rgba.assign(256 * 256 * 4, 200);
  std::string error, ico;
  ASSERT_TRUE(writeIcon({small, large}, dir + "/a.ico", error)) << error;
  ASSERT_TRUE(readFile(dir + "/a.ico", ico));
  auto le = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | uint8_t(ico[at + i]);
    return v;
  };
  EXPECT_EQ(le(2, 2), 1u) << "an icon";
  ASSERT_EQ(le(4, 2), 2u);
  // The small one: a 32-bit bitmap whose height counts its mask, rows bottom up,
  // blue first, then the mask with the clear pixel set.
  EXPECT_EQ(le(6, 1), 2u);
  EXPECT_EQ(le(12, 2), 32u);
  const size_t bmp = le(18, 4);
  ASSERT_EQ(bmp, 6u + 2 * 16);
  EXPECT_EQ(le(14, 4), 40u + 16 + 2 * 4);
  EXPECT_EQ(le(bmp + 8, 4), 4u);
  EXPECT_EQ(ico.substr(bmp + 40, 8), std::string("\0\xff\0\x80\xff\0\0\xff", 8));
  EXPECT_EQ(le(bmp + 56, 4), 0u);
  EXPECT_EQ(le(bmp + 60, 1), 0x40u);
  // The large one: its size written as 0, PNG, running to the end of the file.
  EXPECT_EQ(le(22, 1), 0u);
  const size_t png = le(34, 4);
  EXPECT_EQ(png, bmp + le(14, 4));
  EXPECT_EQ(ico.substr(png, 4), "\x89PNG");
  EXPECT_EQ(png + le(30, 4), ico.size());
  small.width = 4;
  small.height = 1;
  EXPECT_FALSE(writeIcon({small}, dir + "/b.ico", error)) << "not square";
}

TEST(Compose, LayersBlendOverTheCanvasAndClip) {
  Image canvas;
  canvas.width = 2;
  canvas.height = 1;
  canvas.rgba = {0, 0, 0, 255, 100, 100, 100, 255};
  Image src;
  src.width = 2;
  src.height = 1;
  src.rgba = {255, 0, 0, 255, 255, 255, 255, 0};
  drawOver(canvas, src, {0, 0, 2, 1}, 1, 0);  // the second source pixel falls off the canvas
  EXPECT_EQ(canvas.rgba, (std::vector<uint8_t>{0, 0, 0, 255, 255, 0, 0, 255}));
  drawOver(canvas, src, {1, 0, 1, 1}, 0, 0);  // fully transparent: no change
  EXPECT_EQ(canvas.rgba[0], 0);
}

TEST_F(Files, ComposeReadsItsLayersAndReportsMistakes) {
  Image img;
  img.width = 4;
  img.height = 4;
  img.rgba.assign(64, 200);
  std::string error;
  ASSERT_TRUE(writePicture(img, dir + "/p.tga", error)) << error;
  Image out;
  std::vector<std::string> deps;
  ASSERT_TRUE(composeScreen("size 8 8\ndraw p.tga at 2 2\ndraw p.tga 0 0 2 2 at 0 0\n", dir, out, deps, error)) << error;
  EXPECT_EQ(out.width, 8);
  EXPECT_EQ(deps.size(), 1u) << "a picture is read once";
  EXPECT_EQ(out.rgba[(2 * 8 + 2) * 4], (200 * 200 + 127) / 255);
  EXPECT_EQ(out.rgba[(7 * 8 + 7) * 4], 0);
  EXPECT_FALSE(composeScreen("draw p.tga at 0 0\n", dir, out, deps, error));
  EXPECT_FALSE(composeScreen("size 8 8\ndraw missing.tga at 0 0\n", dir, out, deps, error));
  EXPECT_FALSE(composeScreen("size 8 8\ndraw p.tga at x 0\n", dir, out, deps, error));
  EXPECT_EQ(error.substr(0, 7), "line 2:");
  EXPECT_FALSE(composeScreen("", dir, out, deps, error));
}

TEST(Text, LineEndsBecomeCrLf) {
  EXPECT_EQ(toCrlf("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd");
  EXPECT_EQ(toCrlf(""), "");
}

}  // namespace
