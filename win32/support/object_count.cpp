#include "support/object_count.h"

#include <atomic>

namespace tarnwick::win32 {

namespace {
std::atomic<long> g_objects{0};
}  // namespace

void AddObject() { ++g_objects; }
void ReleaseObject() { --g_objects; }
long LiveObjects() { return g_objects.load(); }

}  // namespace tarnwick::win32
