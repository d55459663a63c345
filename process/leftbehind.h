#pragma once
// Threads of ours that a hung sound server keeps from ending. A sound server
// that is frozen, or that takes connections and never answers, holds a
// thread inside its library for as long as it likes; the program does not
// wait for it. Once such a thread is left behind, the process ends at the
// end of main without running the static destructors under it.
namespace kiramoku {

// Called instead of joining a thread that did not end in time.
void NoteThreadLeftBehind();
bool ThreadsLeftBehind();

// At the end of main, with the status to end with: when a thread was left
// behind, flushes the output, says so in one line and ends the process at
// once (std::_Exit); otherwise returns `status` for main to return.
int FinishProcess(int status);

}  // namespace kiramoku
