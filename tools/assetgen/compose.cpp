// Screen pictures for the documentation. Build-time tool code; single-threaded.
#include "compose.h"

#include <stb_image.h>

#include <map>
#include <memory>

#include "textscan.h"

namespace assetgen {

void drawOver(Image &canvas, const Image &src, Rect from, int dx, int dy) {
  for (int y = 0; y < from.h; ++y) {
    const int sy = from.y + y, ty = dy + y;
    if (sy < 0 || sy >= src.height || ty < 0 || ty >= canvas.height) continue;
    for (int x = 0; x < from.w; ++x) {
      const int sx = from.x + x, tx = dx + x;
      if (sx < 0 || sx >= src.width || tx < 0 || tx >= canvas.width) continue;
      const uint8_t *s = &src.rgba[(static_cast<size_t>(sy) * src.width + sx) * 4];
      uint8_t *d = &canvas.rgba[(static_cast<size_t>(ty) * canvas.width + tx) * 4];
      const unsigned a = s[3];
      for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>((s[c] * a + d[c] * (255 - a) + 127) / 255);
      d[3] = 255;
    }
  }
}

bool composeScreen(const std::string &script, const std::string &dataDir, Image &out,
                   std::vector<std::string> &deps, std::string &error) {
  std::map<std::string, Image> cache;
  const std::vector<std::string> lines = cleanLines(script);
  out = Image();
  for (size_t ln = 0; ln < lines.size(); ++ln) {
    const std::vector<std::string> w = words(lines[ln]);
    if (w.empty()) continue;
    auto fail = [&](const std::string &what) {
      error = "line " + std::to_string(ln + 1) + ": " + what;
      return false;
    };
    std::vector<int> v;
    for (size_t i = (w[0] == "draw" ? 2 : 1); i < w.size(); ++i) {
      int n = 0;
      if (w[i] == "at") continue;
      if (!toInt(w[i], n) || n < -4096 || n > 4096) return fail("'" + w[i] + "' is not a coordinate");
      v.push_back(n);
    }
    if (w[0] == "size") {
      if (v.size() != 2 || v[0] <= 0 || v[1] <= 0) return fail("size takes a width and a height");
      out.width = v[0];
      out.height = v[1];
      out.rgba.assign(static_cast<size_t>(v[0]) * v[1] * 4, 0);
      for (size_t i = 3; i < out.rgba.size(); i += 4) out.rgba[i] = 255;
    } else if (w[0] == "draw") {
      if (out.width == 0) return fail("draw before size");
      if (w.size() < 2 || (v.size() != 2 && v.size() != 6)) return fail("draw FILE [x1 y1 x2 y2] at X Y");
      const std::string path = dataDir + "/" + w[1];
      auto it = cache.find(path);
      if (it == cache.end()) {
        int iw = 0, ih = 0, comp = 0;
        std::unique_ptr<unsigned char, void (*)(void *)> px(stbi_load(path.c_str(), &iw, &ih, &comp, 4),
                                                            stbi_image_free);
        if (!px) return fail("cannot read " + path);
        Image img;
        img.width = iw;
        img.height = ih;
        img.rgba.assign(px.get(), px.get() + static_cast<size_t>(iw) * ih * 4);
        deps.push_back(path);
        it = cache.emplace(path, std::move(img)).first;
      }
      const Image &src = it->second;
      Rect r{0, 0, src.width, src.height};
      if (v.size() == 6) r = Rect{v[0], v[1], v[2] - v[0], v[3] - v[1]};
      drawOver(out, src, r, v[v.size() - 2], v[v.size() - 1]);
    } else {
      return fail("unknown word '" + w[0] + "'");
    }
  }
  if (out.width == 0) {
    error = "no size given";
    return false;
  }
  return true;
}

}  // namespace assetgen
