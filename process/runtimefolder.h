#pragma once
// The session's runtime folder, where the sound server and the game's own
// socket live.
namespace kiramoku {

// Whether XDG_RUNTIME_DIR is a folder of this user's that it may write (or
// is not set at all, when each library finds its own place).
bool RuntimeFolderUsable();

}  // namespace kiramoku
