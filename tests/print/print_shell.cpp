// The rest of the shell for running the monster builder and its printing without
// the rest of the program (the shared globals and services are in
// support/shell_standin.cpp): music is silent; the window and pictures come from
// the real factory. Test thread only.
#include "app/shell.h"

void playMusic(const char *) {}
