// assetgen: renders one data file of the program from its editable source.
//   assetgen picture SVG OUT WxH [--css TEXT] [--crop x,y,w,h]... [--scaled] [--depfile F]
//   assetgen sfx RECIPE OUT.ogg
//   assetgen music SCORE OUT.ogg SOUNDFONT
//   assetgen ini IN OUT              (copies with CR LF line ends)
//   assetgen compose LAYERS OUT.png DATADIR   (a screen picture for the documentation)
//   assetgen icon SVG OUT.png SIZE   (a desktop icon: the square drawing scaled)
//   assetgen icon SVG OUT.svg        (the scalable icon: includes resolved, checked)
//   assetgen icon SVG OUT.ico        (the Windows program's icon, every size it shows)
// One output per run, so the build can rebuild exactly what changed. Exit 1 with a
// message naming the source on any error; nothing half-written is left behind.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audio.h"
#include "compose.h"
#include "fileutil.h"
#include "music.h"
#include "picture.h"
#include "score.h"
#include "synth.h"

using namespace assetgen;

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: assetgen picture SVG OUT WxH [--css TEXT] [--crop x,y,w,h]... [--scaled] [--depfile F]\n"
               "       assetgen sfx RECIPE OUT.ogg\n"
               "       assetgen music SCORE OUT.ogg SOUNDFONT\n"
               "       assetgen ini IN OUT\n"
               "       assetgen compose LAYERS OUT.png DATADIR\n"
               "       assetgen icon SVG OUT.png SIZE | assetgen icon SVG OUT.svg|OUT.ico\n"
               "       assetgen measure FILE.ogg...\n");
  return 2;
}

int failed(const std::string &source, const std::string &error) {
  std::fprintf(stderr, "assetgen: %s: %s\n", source.c_str(), error.c_str());
  return 1;
}

int picture(int argc, char **argv) {
  if (argc < 5) return usage();
  const std::string svgPath = argv[2], out = argv[3];
  int w = 0, h = 0;
  if (!parseSize(argv[4], w, h)) return failed(svgPath, std::string("bad size ") + argv[4]);
  std::string css, depfile;
  std::vector<Rect> crops;
  bool scaled = false;
  for (int i = 5; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--scaled")) {
      scaled = true;  // a whole drawing enlarged (the print sheets), not its own size
      continue;
    }
    if (i + 1 >= argc) return usage();
    if (!std::strcmp(argv[i], "--css")) {
      css += argv[++i];
      css += "\n";
    } else if (!std::strcmp(argv[i], "--crop")) {
      Rect r;
      if (!parseRect(argv[++i], r)) return failed(svgPath, std::string("bad crop ") + argv[i]);
      crops.push_back(r);
    } else if (!std::strcmp(argv[i], "--depfile")) {
      depfile = argv[++i];
    } else {
      return usage();
    }
  }
  std::string svg, error;
  std::vector<std::string> deps;
  if (!expandIncludes(svgPath, svg, deps, error)) return failed(svgPath, error);
  Image img;
  if (!renderSvg(svg, w, h, css, img, error, scaled)) return failed(svgPath, error);
  if (!crops.empty()) {
    Image cropped;
    if (!cropStack(img, crops, cropped, error)) return failed(svgPath, error);
    img = std::move(cropped);
  }
  if (out.size() > 4 && out.compare(out.size() - 4, 4, ".tga") == 0) bleedColour(img, 3);
  if (!writePicture(img, out, error)) return failed(svgPath, error);
  if (!depfile.empty() && !writeDepfile(depfile, out, deps, error)) return failed(svgPath, error);
  return 0;
}

int sfx(int argc, char **argv) {
  if (argc != 4) return usage();
  std::string text, error;
  if (!readFile(argv[2], text)) return failed(argv[2], "cannot read");
  Recipe r;
  if (!parseRecipe(text, r, error)) return failed(argv[2], error);
  Stereo s;
  renderRecipe(r, s);
  if (!writeOgg(s, argv[3], 0.5f, "", error)) return failed(argv[2], error);
  return 0;
}

int music(int argc, char **argv) {
  if (argc != 5) return usage();
  std::string text, error;
  if (!readFile(argv[2], text)) return failed(argv[2], "cannot read");
  Score score;
  if (!parseScore(text, score, error)) return failed(argv[2], error);
  Stereo s;
  if (!renderScore(score, argv[4], s, error)) return failed(argv[2], error);
  if (!writeOgg(s, argv[3], 0.4f, score.title, error)) return failed(argv[2], error);
  return 0;
}

// Prints the peak, the momentary and the integrated loudness of finished sound files.
int measureFiles(int argc, char **argv) {
  if (argc < 3) return usage();
  for (int i = 2; i < argc; ++i) {
    Stereo s;
    std::string error;
    if (!readOgg(argv[i], s, error)) return failed(argv[i], error);
    const Levels lv = measure(s);
    const double lufs = integratedLoudness(s);
    std::printf("%s: %.2f s, peak %.1f dBFS, momentary loudness %.1f LUFS", argv[i],
                double(s.frames()) / kSampleRate, lv.peakDb, momentaryLoudness(s));
    if (lufs > -199.0) std::printf(", integrated loudness %.1f LUFS", lufs);
    std::printf("\n");
  }
  return 0;
}

int ini(int argc, char **argv) {
  if (argc != 4) return usage();
  std::string text, error;
  if (!readFile(argv[2], text)) return failed(argv[2], "cannot read");
  const std::string out = toCrlf(text);
  if (!writeFileAtomic(argv[3], out.data(), out.size(), error)) return failed(argv[2], error);
  return 0;
}

int compose(int argc, char **argv) {
  if (argc != 5) return usage();
  std::string text, error;
  if (!readFile(argv[2], text)) return failed(argv[2], "cannot read");
  Image img;
  std::vector<std::string> deps;
  if (!composeScreen(text, argv[4], img, deps, error)) return failed(argv[2], error);
  if (!writePicture(img, argv[3], error)) return failed(argv[2], error);
  return 0;
}

// The sizes Windows shows a program's icon at: title bar and lists, the
// taskbar, the desktop, Explorer's larger views.
const int kWindowsIconSizes[] = {16, 24, 32, 48, 64, 256};

bool endsWith(const std::string &s, const char *suffix) {
  const size_t n = std::strlen(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// The desktop icons. The scalable one is the source itself with its includes
// resolved, so it stands alone once installed; it is rendered once first so a
// drawing the desktop could not show is refused here rather than shipped.
int icon(int argc, char **argv) {
  if (argc != 4 && argc != 5) return usage();
  const std::string svgPath = argv[2], out = argv[3];
  const bool scalable = endsWith(out, ".svg"), windows = endsWith(out, ".ico");
  if ((scalable || windows) != (argc == 4)) return usage();
  int size = argc == 4 ? 256 : std::atoi(argv[4]);
  if (size < 16 || size > 1024) return failed(svgPath, "bad icon size " + std::to_string(size));
  std::string svg, error;
  std::vector<std::string> deps;
  if (!expandIncludes(svgPath, svg, deps, error)) return failed(svgPath, error);
  Image img;
  if (windows) {
    std::vector<Image> sizes;
    for (int s : kWindowsIconSizes) {
      if (!renderSvg(svg, s, s, "", img, error, true)) return failed(svgPath, error);
      sizes.push_back(img);
    }
    if (!writeIcon(sizes, out, error)) return failed(svgPath, error);
    return 0;
  }
  if (!renderSvg(svg, size, size, "", img, error, true)) return failed(svgPath, error);
  if (scalable) {
    if (!writeFileAtomic(out, svg.data(), svg.size(), error)) return failed(svgPath, error);
    return 0;
  }
  if (!writePicture(img, out, error)) return failed(svgPath, error);
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) return usage();
  const std::string cmd = argv[1];
  if (cmd == "picture") return picture(argc, argv);
  if (cmd == "sfx") return sfx(argc, argv);
  if (cmd == "music") return music(argc, argv);
  if (cmd == "ini") return ini(argc, argv);
  if (cmd == "compose") return compose(argc, argv);
  if (cmd == "icon") return icon(argc, argv);
  if (cmd == "measure") return measureFiles(argc, argv);
  return usage();
}
