#pragma once
// One malloc heap for the whole process, so that turning the music off gives
// the synthesizer's memory back to the system.
//
// The synthesizer and its SoundFont are made and freed on the sequencer's
// thread, and glibc gives a new thread an arena of its own. malloc_trim,
// which the music's release calls, returns the free pages inside every
// arena, but not the free top of a thread's arena; free() gives that back
// only beyond a threshold malloc raises after the SoundFont's large blocks.
// With an arena per thread, a game whose music M turned off kept about 6 MB
// it no longer used; with the one main arena, malloc_trim returns its top.
// The game's threads allocate little, and small blocks come from each
// thread's own cache without the arena's lock.
namespace kiramoku {

// First thing in main, before any thread starts: a thread keeps the arena
// it was given.
void UseOneHeap();

}  // namespace kiramoku
