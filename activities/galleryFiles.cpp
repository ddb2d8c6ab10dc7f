// The gallery's files (see galleryFiles.h): the camera's own names, newest
// first; removal; and the worker that decodes and shrinks pictures.
#include "activities/galleryFiles.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "graphic/KImageCodec.h"

namespace fs = std::filesystem;

namespace {

// "dddd-dd-dd dd-dd-dd": '#' stands for a digit.
bool matchesStamp(const std::string &s, size_t at) {
  static const char kShape[] = "####-##-## ##-##-##";
  if (s.size() < at + sizeof kShape - 1) return false;
  for (size_t i = 0; i + 1 < sizeof kShape; i++) {
    const char c = s[at + i];
    if (kShape[i] == '#' ? !std::isdigit((unsigned char)c) : c != kShape[i]) return false;
  }
  return true;
}

// The number after the time (" (n)"), 1 without one; 0 for anything else.
int copyNumber(const std::string &name) {
  const size_t tail = 7 + 19;  // "Pabrix " and the time
  const std::string rest = name.substr(tail, name.size() - tail - 4);
  if (rest.empty()) return 1;
  if (rest.size() < 4 || rest.size() > 5 || rest.compare(0, 2, " (") != 0 || rest.back() != ')')
    return 0;
  int n = 0;
  for (size_t i = 2; i + 1 < rest.size(); i++) {
    if (!std::isdigit((unsigned char)rest[i])) return 0;
    n = n * 10 + (rest[i] - '0');
  }
  return n >= 2 && n <= 99 && rest[2] != '0' ? n : 0;
}

}  // namespace

bool isCameraPictureName(const std::string &name) {
  if (name.size() < 7 + 19 + 4 || name.compare(0, 7, "Pabrix ") != 0) return false;
  if (name.compare(name.size() - 4, 4, ".png") != 0 || !matchesStamp(name, 7)) return false;
  return copyNumber(name) > 0;
}

std::vector<std::string> listCameraPictures(const std::string &folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    std::error_code kind;
    if (!isCameraPictureName(name) || it->is_symlink(kind) || !it->is_regular_file(kind)) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
    const int stamp = a.compare(7, 19, b, 7, 19);
    return stamp != 0 ? stamp > 0 : copyNumber(a) > copyNumber(b);
  });
  return names;
}

bool removeCameraPicture(const std::string &folder, const std::string &name) {
  if (!isCameraPictureName(name)) return false;
  const fs::path path = fs::path(folder) / name;
  std::error_code error;
  if (fs::is_symlink(path, error) || !fs::is_regular_file(path, error)) return false;
  return fs::remove(path, error) && !error;
}

bool loadFittedPicture(const std::string &path, int maxWidth, int maxHeight, sFittedPicture &out) {
  out.width = out.height = 0;
  out.pixels.clear();
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes;
  if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  KImage image;
  if (bytes.empty() || bytes.size() > KImageCodec::kMaxFileBytes ||
      !KImageCodec::decode(bytes.data(), bytes.size(), K_IMAGE_PNG, image) || image.width <= 0 ||
      image.height <= 0 || maxWidth <= 0 || maxHeight <= 0)
    return false;
  const double scale = std::min({1.0, double(maxWidth) / image.width, double(maxHeight) / image.height});
  const int w = std::max(1, int(image.width * scale)), h = std::max(1, int(image.height * scale));
  out.pixels.assign(size_t(w) * size_t(h), 0);
  for (int y = 0; y < h; y++) {
    const int y0 = y * image.height / h, y1 = std::max(y0 + 1, (y + 1) * image.height / h);
    for (int x = 0; x < w; x++) {
      const int x0 = x * image.width / w, x1 = std::max(x0 + 1, (x + 1) * image.width / w);
      uint32_t sum[3] = {0, 0, 0};
      for (int sy = y0; sy < y1; sy++)
        for (int sx = x0; sx < x1; sx++)
          for (int c = 0; c < 3; c++) sum[c] += image.pixel(sx, sy)[c];
      const uint32_t n = uint32_t((y1 - y0) * (x1 - x0));
      out.pixels[size_t(y) * w + x] = (sum[0] / n) | ((sum[1] / n) << 8) | ((sum[2] / n) << 16) | 0xFF000000u;
    }
  }
  out.width = w;
  out.height = h;
  return true;
}

PictureLoader::PictureLoader() : _worker(&PictureLoader::run, this) {}

PictureLoader::~PictureLoader() {
  {
    std::lock_guard<std::mutex> hold(_lock);
    _quit = true;
    _jobs.clear();
  }
  _wake.notify_all();
  _worker.join();
}

void PictureLoader::request(int key, const std::string &path, int maxWidth, int maxHeight) {
  {
    std::lock_guard<std::mutex> hold(_lock);
    _jobs.push_back(Job{key, path, maxWidth, maxHeight});
  }
  _wake.notify_one();
}

void PictureLoader::cancel() {
  std::lock_guard<std::mutex> hold(_lock);
  _jobs.clear();
  _done.clear();
  _generation++;
}

bool PictureLoader::take(sFittedPicture &out) {
  std::lock_guard<std::mutex> hold(_lock);
  if (_done.empty()) return false;
  out = std::move(_done.front());
  _done.pop_front();
  return true;
}

void PictureLoader::run() {
  std::unique_lock<std::mutex> hold(_lock);
  for (;;) {
    _wake.wait(hold, [this] { return _quit || !_jobs.empty(); });
    if (_quit) return;
    const Job job = _jobs.front();
    _jobs.pop_front();
    const unsigned generation = _generation;
    hold.unlock();
    sFittedPicture picture;
    picture.key = job.key;
    loadFittedPicture(job.path, job.maxWidth, job.maxHeight, picture);  // empty when unreadable
    hold.lock();
    if (generation == _generation && !_quit) _done.push_back(std::move(picture));
  }
}
