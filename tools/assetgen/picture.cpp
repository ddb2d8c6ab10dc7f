// SVG to TGA/BMP for the asset generator: include expansion, rendering through
// librsvg and cairo, un-premultiplying, crops and the two file writers.
// Build-time tool code; single-threaded.
#include "picture.h"

#include <cairo.h>
#include <librsvg/rsvg.h>
#include <stb_image_write.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "fileutil.h"

namespace assetgen {

namespace {

const int kMaxIncludeDepth = 8;

bool endsWith(const std::string &s, const char *suffix) {
  const size_t n = std::strlen(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

void appendBytes(void *context, void *data, int size) {
  static_cast<std::string *>(context)->append(static_cast<const char *>(data), size);
}

}  // namespace

bool expandIncludeText(const std::string &text, const std::string &baseDir, std::string &out,
                       std::vector<std::string> &deps, std::string &error, int depth) {
  static const std::string kOpen = "<?include";
  size_t pos = 0;
  while (true) {
    const size_t at = text.find(kOpen, pos);
    if (at == std::string::npos) {
      out.append(text, pos, std::string::npos);
      return true;
    }
    out.append(text, pos, at - pos);
    const size_t end = text.find("?>", at);
    if (end == std::string::npos) {
      error = "include directive without ?>";
      return false;
    }
    const std::string body = text.substr(at + kOpen.size(), end - at - kOpen.size());
    const size_t f = body.find("file=\"");
    const size_t q = f == std::string::npos ? std::string::npos : body.find('"', f + 6);
    if (q == std::string::npos || q == f + 6) {
      error = "include directive needs file=\"...\"";
      return false;
    }
    const std::string name = body.substr(f + 6, q - f - 6);
    const std::string path = name[0] == '/' ? name : baseDir + "/" + name;
    if (!expandIncludes(path, out, deps, error, depth + 1)) return false;
    pos = end + 2;
  }
}

bool expandIncludes(const std::string &path, std::string &out, std::vector<std::string> &deps,
                    std::string &error, int depth) {
  if (depth > kMaxIncludeDepth) {
    error = "includes nested too deeply at " + path;
    return false;
  }
  std::string text;
  if (!readFile(path, text)) {
    error = "cannot read " + path;
    return false;
  }
  deps.push_back(path);
  return expandIncludeText(text, dirName(path), out, deps, error, depth);
}

bool renderSvg(const std::string &svg, int width, int height, const std::string &css,
               Image &out, std::string &error, bool scaleToFit) {
  if (width <= 0 || height <= 0 || width > 8192 || height > 8192) {
    error = "picture size out of range";
    return false;
  }
  GError *gerr = nullptr;
  RsvgHandle *handle = rsvg_handle_new_from_data(reinterpret_cast<const guint8 *>(svg.data()),
                                                 svg.size(), &gerr);
  if (!handle) {
    error = std::string("SVG does not parse: ") + (gerr ? gerr->message : "unknown error");
    if (gerr) g_error_free(gerr);
    return false;
  }
  bool ok = true;
  gdouble iw = 0, ih = 0;
  const bool sized = rsvg_handle_get_intrinsic_size_in_pixels(handle, &iw, &ih);
  const bool fits = scaleToFit ? sized && std::lround(iw) > 0 &&
                                     std::lround(iw) * height == std::lround(ih) * width
                               : sized && std::lround(iw) == width && std::lround(ih) == height;
  if (!fits) {
    error = "SVG size is " + std::to_string(std::lround(iw)) + "x" + std::to_string(std::lround(ih)) +
            (scaleToFit ? " not in the proportion of " : ", expected ") + std::to_string(width) + "x" +
            std::to_string(height);
    ok = false;
  }
  if (ok && !css.empty() &&
      !rsvg_handle_set_stylesheet(handle, reinterpret_cast<const guint8 *>(css.data()), css.size(),
                                  &gerr)) {
    error = std::string("bad stylesheet: ") + (gerr ? gerr->message : "unknown error");
    ok = false;
  }
  cairo_surface_t *surface = nullptr;
  if (ok) {
    surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t *cr = cairo_create(surface);
    const RsvgRectangle viewport = {0, 0, static_cast<double>(width), static_cast<double>(height)};
    if (!rsvg_handle_render_document(handle, cr, &viewport, &gerr)) {
      error = std::string("SVG does not render: ") + (gerr ? gerr->message : "unknown error");
      ok = false;
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
  }
  if (ok) {
    out.width = width;
    out.height = height;
    out.rgba.assign(static_cast<size_t>(width) * height * 4, 0);
    const unsigned char *base = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
      const uint32_t *row = reinterpret_cast<const uint32_t *>(base + static_cast<size_t>(y) * stride);
      uint8_t *dst = out.rgba.data() + static_cast<size_t>(y) * width * 4;
      for (int x = 0; x < width; ++x) {
        // cairo keeps premultiplied ARGB in native words; pictures want straight alpha.
        const uint32_t p = row[x];
        const unsigned a = p >> 24;
        unsigned r = (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = p & 0xff;
        if (a == 0) {
          r = g = b = 0;
        } else if (a < 255) {
          r = (r * 255 + a / 2) / a;
          g = (g * 255 + a / 2) / a;
          b = (b * 255 + a / 2) / a;
          if (r > 255) r = 255;
          if (g > 255) g = 255;
          if (b > 255) b = 255;
        }
        dst[x * 4 + 0] = static_cast<uint8_t>(r);
        dst[x * 4 + 1] = static_cast<uint8_t>(g);
        dst[x * 4 + 2] = static_cast<uint8_t>(b);
        dst[x * 4 + 3] = static_cast<uint8_t>(a);
      }
    }
  }
  if (surface) cairo_surface_destroy(surface);
  if (gerr) g_error_free(gerr);
  g_object_unref(handle);
  return ok;
}

bool cropStack(const Image &src, const std::vector<Rect> &rects, Image &out, std::string &error) {
  int w = 0, h = 0;
  for (const Rect &r : rects) {
    if (r.w <= 0 || r.h <= 0 || r.x < 0 || r.y < 0 || r.x > src.width - r.w ||
        r.y > src.height - r.h) {
      error = "crop " + std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.w) +
              "," + std::to_string(r.h) + " lies outside the picture";
      return false;
    }
    if (r.w > w) w = r.w;
    h += r.h;
  }
  out.width = w;
  out.height = h;
  out.rgba.assign(static_cast<size_t>(w) * h * 4, 0);
  int oy = 0;
  for (const Rect &r : rects) {
    for (int y = 0; y < r.h; ++y) {
      std::memcpy(out.rgba.data() + (static_cast<size_t>(oy + y) * w) * 4,
                  src.rgba.data() + (static_cast<size_t>(r.y + y) * src.width + r.x) * 4,
                  static_cast<size_t>(r.w) * 4);
    }
    oy += r.h;
  }
  return true;
}

void bleedColour(Image &img, int passes) {
  const int w = img.width, h = img.height;
  std::vector<uint8_t> known(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < known.size(); ++i) known[i] = img.rgba[i * 4 + 3] != 0;
  std::vector<size_t> fill;
  std::vector<uint8_t> colours;
  for (int pass = 0; pass < passes; ++pass) {
    fill.clear();
    colours.clear();
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const size_t i = static_cast<size_t>(y) * w + x;
        if (known[i]) continue;
        unsigned sum[3] = {0, 0, 0}, n = 0;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
            const size_t j = static_cast<size_t>(ny) * w + nx;
            if (!known[j]) continue;
            for (int c = 0; c < 3; ++c) sum[c] += img.rgba[j * 4 + c];
            ++n;
          }
        }
        if (n == 0) continue;
        fill.push_back(i);
        for (int c = 0; c < 3; ++c) colours.push_back(static_cast<uint8_t>((sum[c] + n / 2) / n));
      }
    }
    if (fill.empty()) break;
    for (size_t k = 0; k < fill.size(); ++k) {
      known[fill[k]] = 1;
      for (int c = 0; c < 3; ++c) img.rgba[fill[k] * 4 + c] = colours[k * 3 + c];
    }
  }
}

bool writePicture(const Image &img, const std::string &path, std::string &error) {
  std::string bytes;
  int ok = 0;
  if (endsWith(path, ".tga")) {
    // Uncompressed: every loader reads it, and the bytes stay the same from build to build.
    stbi_write_tga_with_rle = 0;
    ok = stbi_write_tga_to_func(appendBytes, &bytes, img.width, img.height, 4, img.rgba.data());
  } else if (endsWith(path, ".bmp")) {
    std::vector<uint8_t> rgb(static_cast<size_t>(img.width) * img.height * 3);
    for (size_t i = 0, n = static_cast<size_t>(img.width) * img.height; i < n; ++i) {
      rgb[i * 3 + 0] = img.rgba[i * 4 + 0];
      rgb[i * 3 + 1] = img.rgba[i * 4 + 1];
      rgb[i * 3 + 2] = img.rgba[i * 4 + 2];
    }
    ok = stbi_write_bmp_to_func(appendBytes, &bytes, img.width, img.height, 3, rgb.data());
  } else if (endsWith(path, ".png")) {
    ok = stbi_write_png_to_func(appendBytes, &bytes, img.width, img.height, 4, img.rgba.data(),
                                img.width * 4);
  } else {
    error = "unknown picture format for " + path;
    return false;
  }
  if (!ok) {
    error = "cannot encode " + path;
    return false;
  }
  return writeFileAtomic(path, bytes.data(), bytes.size(), error);
}

namespace {

void putLe(std::string &out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += char((value >> (8 * i)) & 0xFF);
}

// One icon picture as Windows stores it: a 32-bit bitmap (rows bottom up, blue
// first, straight alpha) followed by its one-bit mask (set where transparent),
// each row padded to four bytes; the header counts both halves in its height.
std::string iconBitmap(const Image &img) {
  const int w = img.width, h = img.height, maskRow = (w + 31) / 32 * 4;
  std::string out;
  putLe(out, 40, 4);
  putLe(out, uint32_t(w), 4);
  putLe(out, uint32_t(2 * h), 4);
  putLe(out, 1, 2);   // planes
  putLe(out, 32, 2);  // bits per pixel
  putLe(out, 0, 4);   // uncompressed
  putLe(out, uint32_t(w * h * 4 + maskRow * h), 4);
  out.append(16, '\0');  // resolution and palette: unused
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      const uint8_t *p = img.rgba.data() + (static_cast<size_t>(y) * w + x) * 4;
      out += char(p[2]);
      out += char(p[1]);
      out += char(p[0]);
      out += char(p[3]);
    }
  }
  for (int y = h - 1; y >= 0; --y) {
    std::string row(maskRow, '\0');
    for (int x = 0; x < w; ++x)
      if (img.rgba[(static_cast<size_t>(y) * w + x) * 4 + 3] == 0) row[x / 8] |= char(0x80 >> (x % 8));
    out += row;
  }
  return out;
}

}  // namespace

bool writeIcon(const std::vector<Image> &images, const std::string &path, std::string &error) {
  if (images.empty() || images.size() > 16) {
    error = "an icon holds 1 to 16 pictures";
    return false;
  }
  std::string head, body;
  putLe(head, 0, 2);
  putLe(head, 1, 2);  // an icon, not a cursor
  putLe(head, uint32_t(images.size()), 2);
  size_t offset = 6 + 16 * images.size();
  for (const Image &img : images) {
    if (img.width != img.height || img.width < 1 || img.width > 256 ||
        img.rgba.size() != static_cast<size_t>(img.width) * img.height * 4) {
      error = "an icon picture must be square, 1 to 256 pixels";
      return false;
    }
    std::string data;
    if (img.width == 256) {
      if (!stbi_write_png_to_func(appendBytes, &data, img.width, img.height, 4, img.rgba.data(),
                                  img.width * 4)) {
        error = "cannot encode " + path;
        return false;
      }
    } else {
      data = iconBitmap(img);
    }
    head += char(img.width == 256 ? 0 : img.width);  // 0 stands for 256
    head += char(img.height == 256 ? 0 : img.height);
    putLe(head, 0, 2);  // no palette, reserved
    putLe(head, 1, 2);
    putLe(head, 32, 2);
    putLe(head, uint32_t(data.size()), 4);
    putLe(head, uint32_t(offset), 4);
    offset += data.size();
    body += data;
  }
  head += body;
  return writeFileAtomic(path, head.data(), head.size(), error);
}

bool parseRect(const std::string &s, Rect &r) {
  char tail = 0;
  return std::sscanf(s.c_str(), "%d,%d,%d,%d%c", &r.x, &r.y, &r.w, &r.h, &tail) == 4 && r.w > 0 &&
         r.h > 0;
}

bool parseSize(const std::string &s, int &w, int &h) {
  char tail = 0;
  return std::sscanf(s.c_str(), "%dx%d%c", &w, &h, &tail) == 2 && w > 0 && h > 0;
}

}  // namespace assetgen
