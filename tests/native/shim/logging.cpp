#include "logging.h"

namespace qlog {

namespace {
bool g_capturing = false;
std::vector<CRecord> g_records;
}  // namespace

void StartCapture() {
  g_records.clear();
  g_capturing = true;
}

std::vector<CRecord> StopCapture() {
  g_capturing = false;
  return std::move(g_records);
}

bool Capturing() { return g_capturing; }

void Write(NativeLevel level, std::string text) { g_records.push_back({level, std::move(text)}); }

}  // namespace qlog
