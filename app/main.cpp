// Entry point of Pabrix. There are no command-line options: the arguments are
// ignored and everything configurable lives in the preferences file. Here the
// program puts the shell and the activities together.
#include "activities/gallery.h"
#include "activities/garden.h"
#include "activities/misterMonster.h"
#include "activities/pabglow.h"
#include "app/shell.h"

int main() { return runPabrix({doPabglow, doMyGarden, doMisterMonster, doGallery}); }
