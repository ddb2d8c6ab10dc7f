// KPictureAhead: one worker decodes the queued files in order; each entry moves
// from queued to decoding to done, and to taken when a reader has it. The queue is
// guarded by one mutex; the worker decodes outside it.
#include "graphic/KPictureAhead.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "graphic/KImageCodec.h"

namespace {
enum class State { Queued, Decoding, Done, Taken };
}  // namespace

struct KPictureAhead::Queue {
  struct Entry {
    std::string path;
    State state = State::Queued;
    KImage image;
    bool ok = false;
  };
  std::mutex lock;
  std::condition_variable decoded;
  std::vector<Entry> entries;
  bool stopping = false;
  std::thread worker;

  void run() {
    for (Entry &e : entries) {
      {
        std::lock_guard<std::mutex> hold(lock);
        if (stopping) return;
        if (e.state != State::Queued) continue;  // a reader came first and reads it itself
        e.state = State::Decoding;
      }
      KImage image;
      const bool ok = KImageCodec::readFileNow(e.path.c_str(), image);
      std::lock_guard<std::mutex> hold(lock);
      e.image = std::move(image);
      e.ok = ok;
      e.state = State::Done;
      decoded.notify_all();
    }
  }
};

namespace {
std::mutex gActiveLock;
std::shared_ptr<KPictureAhead::Queue> gActive;  // the queue readers look in
}  // namespace

KPictureAhead::KPictureAhead(const std::vector<std::string> &paths) {
  std::lock_guard<std::mutex> hold(gActiveLock);
  if (gActive || paths.empty()) return;
  _queue = std::make_shared<Queue>();
  _queue->entries.resize(paths.size());
  for (size_t i = 0; i < paths.size(); ++i) _queue->entries[i].path = paths[i];
  // The entries are fixed from here on: the worker and readers only change states.
  Queue *q = _queue.get();
  try {
    q->worker = std::thread([q] { q->run(); });
  } catch (const std::system_error &) {
    _queue.reset();  // no thread to be had: every picture is read where it is used
    return;
  }
  gActive = _queue;
}

KPictureAhead::~KPictureAhead() {
  if (!_queue) return;
  {
    std::lock_guard<std::mutex> hold(gActiveLock);
    gActive.reset();
  }
  {
    std::lock_guard<std::mutex> hold(_queue->lock);
    _queue->stopping = true;
  }
  _queue->worker.join();
}

namespace {
std::shared_ptr<KPictureAhead::Queue> active() {
  std::lock_guard<std::mutex> hold(gActiveLock);
  return gActive;
}
}  // namespace

bool KPictureAhead::ready(const char *path) {
  std::shared_ptr<Queue> q = active();
  if (!q || !path) return false;
  std::lock_guard<std::mutex> hold(q->lock);
  for (const Queue::Entry &e : q->entries)
    if (e.path == path && e.state == State::Done) return true;
  return false;
}

bool KPictureAhead::take(const char *path, KImage &out, bool &ok) {
  std::shared_ptr<Queue> q = active();
  if (!q || !path) return false;
  std::unique_lock<std::mutex> hold(q->lock);
  for (Queue::Entry &e : q->entries) {
    if (e.path != path || e.state == State::Taken) continue;
    const bool mine = e.state != State::Queued;
    if (mine) q->decoded.wait(hold, [&e] { return e.state == State::Done; });
    e.state = State::Taken;
    if (!mine) return false;
    out = std::move(e.image);
    ok = e.ok;
    return true;
  }
  return false;
}
