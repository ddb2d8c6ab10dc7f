// The gallery: the camera's pictures from "<documents>/Pabrix" as big
// thumbnails, newest first, six a page with arrows; a click shows one whole,
// with the print button (when printing is on) and the bin, which asks twice
// like the menu's way out before the file goes. Home and Escape go back a step.
// Application thread only; pictures are decoded on a worker (galleryFiles.h).
#pragma once

void doGallery();
