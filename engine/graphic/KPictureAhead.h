// KPictureAhead: decodes picture files on a worker thread before they are asked
// for, so that a screen's first frame does not wait for decoding that could run
// while its window opens. While one exists, a picture it was given is handed to
// the first reader of that path (waiting if the worker is decoding it right then;
// one the worker has not reached yet is left to the reader). Any thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct KImage;

class KPictureAhead {
public:
  // Starts decoding the files (paths exactly as they will be read), in order.
  // Only one may exist at a time; a second one decodes nothing.
  explicit KPictureAhead(const std::vector<std::string> &paths);
  // Waits for the picture being decoded; pictures not yet read are dropped.
  ~KPictureAhead();
  KPictureAhead(const KPictureAhead &) = delete;
  KPictureAhead &operator=(const KPictureAhead &) = delete;

  // The picture read ahead for `path`, moved into `out` with `ok` saying whether
  // it decoded (what the reader itself would have got); false when there is none
  // to hand over, and the caller reads the file as usual.
  static bool take(const char *path, KImage &out, bool &ok);

  // Whether the picture for `path` is decoded and waiting for its reader.
  static bool ready(const char *path);

  struct Queue;  // the files, their states and the worker

private:
  std::shared_ptr<Queue> _queue;
};
