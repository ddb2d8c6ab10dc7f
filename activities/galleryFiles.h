// The gallery's files: which pictures in the camera's folder are the program's
// own, newest first, a page of them at a time, and a worker that decodes and
// shrinks them so the screen never waits for a file. The listing and paging are
// plain functions (any thread); the loader's worker only reads and decodes,
// everything else is the application thread's.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Whether `name` is one the camera writes: "Pabrix YYYY-MM-DD HH-MM-SS.png",
// or with " (2)" .. " (99)" before ".png".
bool isCameraPictureName(const std::string &name);

// The camera's pictures in `folder` (regular files with its names only, no
// links, nothing in sub-folders), newest first: by the time in the name, then
// by the number after it. Empty when the folder is missing or unreadable.
std::vector<std::string> listCameraPictures(const std::string &folder);

// Pictures a page shows, and the pages `count` pictures fill (at least one).
constexpr int kGalleryPerPage = 6;
inline int galleryPages(size_t count) {
  return count == 0 ? 1 : int((count + kGalleryPerPage - 1) / kGalleryPerPage);
}

// Removes the picture `name` from `folder`: only a name the camera writes, and
// only a regular file. True when it is gone.
bool removeCameraPicture(const std::string &folder, const std::string &name);

// A picture shrunk to fit a box, its aspect kept (never enlarged): pixels are
// 32-bit, red in the lowest byte, opaque. Empty (width 0) when it could not be read.
struct sFittedPicture {
  int key = 0;  // what the screen asked it for
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

// Reads the picture file at `path` and shrinks it (area average) to fit
// maxWidth × maxHeight. False, with `out` empty, for a file that is not a
// readable PNG.
bool loadFittedPicture(const std::string &path, int maxWidth, int maxHeight, sFittedPicture &out);

// Loads pictures on one worker thread, in the order asked; the screen takes the
// finished ones a few a frame and makes its textures from them itself.
class PictureLoader {
public:
  PictureLoader();
  ~PictureLoader();
  PictureLoader(const PictureLoader &) = delete;
  PictureLoader &operator=(const PictureLoader &) = delete;

  void request(int key, const std::string &path, int maxWidth, int maxHeight);
  // Drops every request not yet started (a page turned, the screen left).
  void cancel();
  // Moves one finished picture into `out`; false when none is ready.
  bool take(sFittedPicture &out);

private:
  struct Job {
    int key;
    std::string path;
    int maxWidth, maxHeight;
  };
  void run();

  std::mutex _lock;
  std::condition_variable _wake;
  std::deque<Job> _jobs;
  std::deque<sFittedPicture> _done;
  unsigned _generation = 0;  // bumped by cancel(): a job started before it is dropped
  bool _quit = false;
  std::thread _worker;
};
