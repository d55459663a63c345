#include "oneheap.h"

#include <malloc.h>

namespace kiramoku {

namespace {
constexpr int Arenas = 1;  // the main arena, which malloc_trim trims to its top
}

void UseOneHeap()
{
    mallopt(M_ARENA_MAX, Arenas);
}

}  // namespace kiramoku
