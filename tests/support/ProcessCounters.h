// What a process holds, for the soak tests: kernel handles, committed private
// memory, and GDI and USER objects. Each counter asks the documented call
// first and falls back where that call does not answer (see the .cpp).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace qtest {

unsigned long HandleCount();
unsigned long long PrivateBytes();
unsigned long GdiObjectCount();
unsigned long UserObjectCount();

bool RunningOnWine();

struct CCounts {
  long long handles = 0;
  long long privateBytes = 0;
  long long gdiObjects = 0;
  long long userObjects = 0;
};

// The GUI counters are slower to read; they are read only when asked for.
CCounts Measure(bool withGui = false);

// Most that a soak may grow by after its warm-up.
struct CGrowthBounds {
  long long handles = 4;
  long long privateBytes = 512 * 1024;
  long long gdiObjects = 2;
  long long userObjects = 2;
};

// Runs call warmUp times, measures, runs it iterations times, measures again,
// prints both counts under name (the figures a soak reports) and expects the
// growth within bounds. Growth beyond them is judged by a second such window:
// a leak grows in it again, a one-time growth of the system's own does not.
void ExpectFlatUnderLoad(const std::string& name, int warmUp, int iterations, const std::function<void()>& call,
                         bool withGui = false, const CGrowthBounds& bounds = CGrowthBounds());

}  // namespace qtest
