#include "windows/Module.h"

#include <atomic>

namespace tolvan::windows {
namespace {

HMODULE g_module = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

}  // namespace

HMODULE ThisModule() { return g_module; }
void SetThisModule(HMODULE module) { g_module = module; }
void AddObject() { ++g_objects; }
void ReleaseObject() { --g_objects; }
void LockModule(bool lock) {
  if (lock) {
    ++g_locks;
  } else {
    --g_locks;
  }
}
bool CanUnload() { return g_objects == 0 && g_locks == 0; }
long LiveObjects() { return g_objects; }

}  // namespace tolvan::windows
