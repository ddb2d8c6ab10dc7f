/* The stb picture decoder and encoder compiled from their headers: the decoder
   with only the formats the program loads (its pictures are PNG, BMP and TGA),
   so a crafted file of another kind is refused before any decoder sees it. In
   sanitizer builds and the picture fuzz target this code is instrumented too. */
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image.h>
#include <stb_image_write.h>
