// The Windows build's Ogg Vorbis decoder: the subset of the vorbisfile interface
// that the sound module uses, served by stb_vorbis (Debian has no MinGW build of
// libvorbis). The whole file is read into memory when it is opened, so seeks are
// exact and the data source is never touched again until the close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

typedef int64_t ogg_int64_t;

struct ov_callbacks {
  size_t (*read_func)(void *ptr, size_t size, size_t nmemb, void *datasource);
  int (*seek_func)(void *datasource, ogg_int64_t offset, int whence);
  int (*close_func)(void *datasource);
  long (*tell_func)(void *datasource);
};

struct vorbis_info {
  int version;
  int channels;
  long rate;
  long bitrate_upper;
  long bitrate_nominal;
  long bitrate_lower;
  long bitrate_window;
};

struct stb_vorbis;

struct OggVorbis_File {
  void *datasource;
  ov_callbacks callbacks;
  unsigned char *data;  // the whole encoded file
  long dataLength;
  stb_vorbis *decoder;
  vorbis_info vi;
};

// Error results, as the interface numbers them.
constexpr int OV_FALSE = -1;
constexpr int OV_EREAD = -128;
constexpr int OV_EFAULT = -129;
constexpr int OV_EINVAL = -131;
constexpr int OV_ENOTVORBIS = -132;

// ov_open reads the FILE to its end; ov_clear closes it (as the original does).
int ov_open(FILE *f, OggVorbis_File *vf, const char *initial, long ibytes);
int ov_open_callbacks(void *datasource, OggVorbis_File *vf, const char *initial, long ibytes,
                      ov_callbacks callbacks);
int ov_clear(OggVorbis_File *vf);
vorbis_info *ov_info(OggVorbis_File *vf, int link);
// Only 16-bit signed little-endian output is offered (word 2, sgned 1, bigendian 0).
long ov_read(OggVorbis_File *vf, char *buffer, int length, int bigendianp, int word, int sgned,
             int *bitstream);
ogg_int64_t ov_pcm_total(OggVorbis_File *vf, int i);
int ov_pcm_seek(OggVorbis_File *vf, ogg_int64_t pos);
int ov_time_seek(OggVorbis_File *vf, double pos);
