#pragma once
// One malloc heap for the whole process, so that turning the music off gives
// the synthesizer's memory back to the system: glibc gives a new thread an
// arena of its own, and malloc_trim, which the music's release calls, does not
// return the free top of a thread's arena (see docs/design.md, One malloc heap).
#include <malloc.h>

namespace kiramoku {

// First thing in main, before any thread starts: a thread keeps the arena
// it was given. The one arena is the main one, which malloc_trim trims to its top.
inline void UseOneHeap()
{
    constexpr int Arenas = 1;
    mallopt(M_ARENA_MAX, Arenas);
}

}  // namespace kiramoku
