// The number of allocations made through the global operator new so far, in a
// test program that links CountingNew.cpp (which replaces that operator), to
// show a piece of code allocates nothing.
#pragma once

long allocationCount();
