// KResource: the engine's read-only file handle. A name is first offered to the
// archive list (a member may live inside a larger file at an offset), otherwise
// the plain file is opened. Every failure is a result code. One thread per handle.
#pragma once

#include <cstdint>
#include <cstdio>

#include "tools/KList.h"
#include "tools/KObjectListable.h"

enum KResourceMode { K_RES_CLOSED = 0, K_RES_READ = 1000 };
enum KResourceWhence { K_RES_BEGIN = 0, K_RES_CURRENT = 1, K_RES_END = 2 };
enum KResourceResult {
  K_RES_OK = 0,
  K_RES_STATE = 100,
  K_RES_MODE = 101,
  K_RES_PARAM = 102,
  K_RES_NOMEM = 103,
  K_RES_NOTFOUND = 104,
  K_RES_CREATERR = 105,
  K_RES_IOERR = 106,
  K_RES_BADFMT = 107,
};

class KResource : public KObjectListable {
public:
  KResource();
  virtual ~KResource();
  KResource(const KResource &) = delete;
  KResource &operator=(const KResource &) = delete;

  KResourceResult open(const char *lpszResName, KResourceMode nMode);
  // Archive hook: an archive holding `name` sets up `target` and returns K_RES_OK.
  virtual KResourceResult openResource(const char *name, KResource *target);
  void close();
  KResourceResult seek(KResourceWhence nWhence, int nPos);
  KResourceResult tell(int &nPos);
  KResourceResult read(void *lpBuffer, unsigned int nBytes);

  FILE *_lpFile = nullptr;
  bool _bFileInArchive = false;
  KResourceMode _nMode = K_RES_CLOSED;
  uint32_t _nBeginPos = 0;
  uint32_t _nSize = 0;

  static KList<KResource> _lArchives;
};
