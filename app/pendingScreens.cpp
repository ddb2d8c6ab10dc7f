// Screens that are linked in later: until their real definitions are part of the
// program, choosing them on the menu returns to the menu at once.
#include "app/shell.h"

__attribute__((weak)) void doMyGarden() {}
__attribute__((weak)) void doMisterMonster() {}
