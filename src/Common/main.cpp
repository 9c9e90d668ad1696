#include <malloc.h>

#include "Common/StartupRules.h"
#include "Common/wWndMain.h"

namespace {

// Large blocks (decoded pictures, carousel canvases) are mapped on their own
// and go back to the system when freed: without a fixed threshold glibc
// raises it at the first such free and keeps later pictures in a heap that
// cannot shrink. Two arenas serve every thread; by default each download
// worker keeps an arena of its own at its peak.
void LimitMallocRetention() {
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  mallopt(M_ARENA_MAX, 2);
}

}  // namespace

int main(int argc, char** argv) {
  LimitMallocRetention();
  return wWinMain(CommandLineTail(argc, argv));
}
