// Entry point of Pabrix. There are no command-line options: the arguments are
// ignored and everything configurable lives in the preferences file.
#include "app/shell.h"

int main() { return runPabrix(); }
