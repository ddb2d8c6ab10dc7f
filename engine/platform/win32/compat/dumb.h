// The Windows build offers no tracker modules (Debian has no MinGW build of the
// module renderer): this is the subset of its interface the sound module names,
// and every reader reports an unreadable file, so loading a module fails the
// way a damaged one does and the stream reports its error.
#pragma once

struct DUH;
struct DUH_SIGRENDERER;
struct DUMBFILE;
struct DUMB_IT_SIGDATA;
struct DUMB_IT_SIGRENDERER;

typedef int (*dumb_it_callback)(void *data);

inline void dumb_register_stdfiles() {}
inline void dumb_exit() {}
inline int dumb_it_max_to_mix = 64;

inline DUMBFILE *dumbfile_open_memory(const char *, long) { return nullptr; }
inline int dumbfile_close(DUMBFILE *) { return 0; }
inline DUH *dumb_read_mod(DUMBFILE *) { return nullptr; }
inline DUH *dumb_read_s3m(DUMBFILE *) { return nullptr; }
inline DUH *dumb_read_xm(DUMBFILE *) { return nullptr; }
inline DUH *dumb_read_it(DUMBFILE *) { return nullptr; }
inline void unload_duh(DUH *) {}

// Never reached without a DUH; present so the module code compiles unchanged.
inline DUH_SIGRENDERER *dumb_it_start_at_order(DUH *, int, int) { return nullptr; }
inline void duh_end_sigrenderer(DUH_SIGRENDERER *) {}
inline DUMB_IT_SIGRENDERER *duh_get_it_sigrenderer(DUH_SIGRENDERER *) { return nullptr; }
inline DUMB_IT_SIGDATA *duh_get_it_sigdata(DUH *) { return nullptr; }
inline int dumb_it_sd_get_n_orders(DUMB_IT_SIGDATA *) { return 0; }
inline int dumb_it_callback_terminate(void *) { return 1; }
inline void dumb_it_set_loop_callback(DUMB_IT_SIGRENDERER *, dumb_it_callback, void *) {}
inline long duh_render(DUH_SIGRENDERER *, int, int, float, float, long, void *) { return 0; }
