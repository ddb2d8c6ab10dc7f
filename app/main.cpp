// Entry point of Pabrix. The shell is being assembled; for now it only says so.
#include <cstdio>

int main() {
  std::puts("Pabrix: the application shell is not built yet.");
  return 0;
}
