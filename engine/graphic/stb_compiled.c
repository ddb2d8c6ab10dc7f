/* The stb picture decoder and encoder compiled from their headers, for builds
   whose code must all be instrumented (sanitizer builds, the picture fuzz
   target). The normal build links Debian's compiled libstb instead. */
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image.h>
#include <stb_image_write.h>
