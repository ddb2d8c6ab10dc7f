// KResource: read-only file handle over a plain file or an archive member (a
// slice of an archive's stream at _nBeginPos, _nSize bytes long). Every failure
// is a result code. No locking: one thread per handle; the archive list is only
// changed at start-up.
#include "tools/KResource.h"

#include <cerrno>
#include <climits>
#include <cstdio>

#include "tools/KPlatformServices.h"

KList<KResource> KResource::_lArchives;

KResource::KResource() {}

KResource::~KResource() {
  close();
  // An archive destroyed while still listed must not leave a dangling member.
  if (_lpListNext != nullptr) {
    for (KResource *a = _lArchives.getHead(); a; a = _lArchives.getNext(a)) {
      if (a == this) {
        _lArchives.remove(this);
        break;
      }
    }
  }
}

KResourceResult KResource::openResource(const char *, KResource *) { return K_RES_STATE; }

KResourceResult KResource::open(const char *lpszResName, KResourceMode nMode) {
  if (_nMode != K_RES_CLOSED) return K_RES_STATE;
  if (nMode != K_RES_READ) return K_RES_PARAM;
  if (!lpszResName) return K_RES_PARAM;

  for (KResource *a = _lArchives.getHead(); a; a = _lArchives.getNext(a)) {
    if (a->openResource(lpszResName, this) == K_RES_OK) {
      // The archive sets up the stream and the slice; the handle must also be
      // open for reading, and reading starts at the member's first byte.
      _nMode = nMode;
      if (_lpFile) fseeko(_lpFile, off_t(_nBeginPos), SEEK_SET);
      return K_RES_OK;
    }
  }

  FILE *f = kplatform::openRegularFile(lpszResName);
  if (!f) return K_RES_NOTFOUND;
  _lpFile = f;
  _bFileInArchive = false;
  _nMode = nMode;
  _nBeginPos = 0;
  _nSize = 0;
  return K_RES_OK;
}

void KResource::close() {
  if (_nMode == K_RES_CLOSED && _lpFile == nullptr) return;
  if (_lpFile && !_bFileInArchive) fclose(_lpFile);
  _lpFile = nullptr;
  _bFileInArchive = false;
  _nMode = K_RES_CLOSED;
  _nBeginPos = 0;
  _nSize = 0;
}

KResourceResult KResource::seek(KResourceWhence nWhence, int nPos) {
  if (_nMode != K_RES_READ || !_lpFile) return K_RES_STATE;
  // 64-bit arithmetic: begin + size + pos must not wrap. A position before the
  // start of the stream is refused by fseeko and leaves the position as it was.
  switch (nWhence) {
    case K_RES_BEGIN:
      fseeko(_lpFile, off_t(_nBeginPos) + nPos, SEEK_SET);
      break;
    case K_RES_CURRENT:
      fseeko(_lpFile, off_t(nPos), SEEK_CUR);
      break;
    case K_RES_END:
      if (_nSize != 0)
        fseeko(_lpFile, off_t(_nBeginPos) + off_t(_nSize) - nPos, SEEK_SET);
      else
        fseeko(_lpFile, off_t(nPos), SEEK_END);
      break;
    default:
      return K_RES_PARAM;
  }
  return K_RES_OK;
}

KResourceResult KResource::tell(int &nPos) {
  if (_nMode != K_RES_READ || !_lpFile) return K_RES_STATE;
  off_t pos = ftello(_lpFile);
  // A position the int result cannot hold (files of 2 GiB and more) is an
  // error, never a wrapped size reported as success.
  if (pos < 0) return K_RES_IOERR;
  off_t rel = pos - off_t(_nBeginPos);
  if (rel < INT_MIN || rel > INT_MAX) return K_RES_IOERR;
  nPos = int(rel);
  return K_RES_OK;
}

KResourceResult KResource::read(void *lpBuffer, unsigned int nBytes) {
  if (_nMode == K_RES_CLOSED || !_lpFile) return K_RES_STATE;
  if (_nMode != K_RES_READ) return K_RES_MODE;
  if (!lpBuffer) return K_RES_IOERR;
  size_t want = nBytes;
  if (_nSize != 0) {
    // An archive member ends at its size: bytes beyond belong to other members.
    off_t pos = ftello(_lpFile);
    off_t end = off_t(_nBeginPos) + off_t(_nSize);
    off_t left = (pos < 0 || pos >= end) ? 0 : end - pos;
    if (off_t(want) > left) want = size_t(left);
  }
  size_t got = want ? fread(lpBuffer, 1, want, _lpFile) : 0;
  if (got < nBytes) return K_RES_IOERR;
  return K_RES_OK;
}
