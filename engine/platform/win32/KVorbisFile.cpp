// The vorbisfile subset of codec/vorbis/vorbisfile.h on stb_vorbis.
#include "vorbis/vorbisfile.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Reads the whole source; false when it cannot be read (an empty file included).
bool readAll(void *source, const ov_callbacks &cb, std::vector<unsigned char> &out) {
  if (!cb.read_func) return false;
  unsigned char chunk[65536];
  for (;;) {
    size_t got = cb.read_func(chunk, 1, sizeof chunk, source);
    if (got == 0) break;
    out.insert(out.end(), chunk, chunk + got);
  }
  return !out.empty();
}

size_t fileRead(void *ptr, size_t size, size_t nmemb, void *f) {
  return fread(ptr, size, nmemb, static_cast<FILE *>(f));
}
int fileSeek(void *f, ogg_int64_t offset, int whence) {
  return fseek(static_cast<FILE *>(f), (long)offset, whence);
}
int fileClose(void *f) { return fclose(static_cast<FILE *>(f)); }
long fileTell(void *f) { return ftell(static_cast<FILE *>(f)); }

}  // namespace

int ov_open_callbacks(void *datasource, OggVorbis_File *vf, const char *initial, long ibytes,
                      ov_callbacks callbacks) {
  if (!vf) return OV_EFAULT;
  memset(vf, 0, sizeof *vf);
  std::vector<unsigned char> bytes;
  if (initial && ibytes > 0) bytes.assign(initial, initial + ibytes);
  if (!readAll(datasource, callbacks, bytes)) return OV_EREAD;
  // Like the original, a failed open leaves the source to the caller.
  auto *copy = static_cast<unsigned char *>(malloc(bytes.size()));
  if (!copy) return OV_EFAULT;
  memcpy(copy, bytes.data(), bytes.size());
  int error = 0;
  stb_vorbis *decoder = stb_vorbis_open_memory(copy, (int)bytes.size(), &error, nullptr);
  if (!decoder) {
    free(copy);
    return OV_ENOTVORBIS;
  }
  const stb_vorbis_info info = stb_vorbis_get_info(decoder);
  vf->datasource = datasource;
  vf->callbacks = callbacks;
  vf->data = copy;
  vf->dataLength = (long)bytes.size();
  vf->decoder = decoder;
  vf->vi.channels = info.channels;
  vf->vi.rate = (long)info.sample_rate;
  return 0;
}

int ov_open(FILE *f, OggVorbis_File *vf, const char *initial, long ibytes) {
  return ov_open_callbacks(f, vf, initial, ibytes, {fileRead, fileSeek, fileClose, fileTell});
}

int ov_clear(OggVorbis_File *vf) {
  if (!vf) return 0;
  if (vf->decoder) stb_vorbis_close(vf->decoder);
  free(vf->data);
  if (vf->decoder && vf->callbacks.close_func) vf->callbacks.close_func(vf->datasource);
  memset(vf, 0, sizeof *vf);
  return 0;
}

vorbis_info *ov_info(OggVorbis_File *vf, int) {
  return vf && vf->decoder ? &vf->vi : nullptr;
}

long ov_read(OggVorbis_File *vf, char *buffer, int length, int bigendianp, int word, int sgned,
             int *bitstream) {
  if (!vf || !vf->decoder || !buffer || length < 0) return OV_EINVAL;
  if (bigendianp != 0 || word != 2 || sgned != 1) return OV_EINVAL;
  if (bitstream) *bitstream = 0;
  const int channels = vf->vi.channels;
  const int shorts = length / 2 / channels * channels;
  if (shorts == 0) return 0;
  const int frames = stb_vorbis_get_samples_short_interleaved(
      vf->decoder, channels, reinterpret_cast<short *>(buffer), shorts);
  return (long)frames * channels * 2;
}

ogg_int64_t ov_pcm_total(OggVorbis_File *vf, int) {
  if (!vf || !vf->decoder) return OV_EINVAL;
  return (ogg_int64_t)stb_vorbis_stream_length_in_samples(vf->decoder);
}

int ov_pcm_seek(OggVorbis_File *vf, ogg_int64_t pos) {
  if (!vf || !vf->decoder || pos < 0) return OV_EINVAL;
  if (pos == 0) return stb_vorbis_seek_start(vf->decoder) ? 0 : OV_EREAD;
  return stb_vorbis_seek(vf->decoder, (unsigned int)pos) ? 0 : OV_EINVAL;
}

int ov_time_seek(OggVorbis_File *vf, double pos) {
  if (!vf || !vf->decoder || pos < 0) return OV_EINVAL;
  return ov_pcm_seek(vf, (ogg_int64_t)(pos * (double)vf->vi.rate + 0.5));
}
