/* The stb decoders and encoder compiled once for the Windows build (Debian ships
   them compiled only for Linux): pictures in and out, and Ogg Vorbis. The
   decoder reads only the formats the program loads (as stb_compiled.c). */
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#include <stb_vorbis.h> /* without STB_VORBIS_HEADER_ONLY: the decoder itself */
