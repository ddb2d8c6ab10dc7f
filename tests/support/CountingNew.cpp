// The global operator new and delete replaced by ones that count allocations
// (CountingNew.h). In a file of its own, linked only into the tests that count:
// compiled beside other code, the replacement draws warnings on every use.
#include "support/CountingNew.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> allocations{0};
}

void *operator new(std::size_t n) {
  allocations++;
  if (void *p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }

long allocationCount() { return allocations.load(); }
