#pragma once
// The session's runtime folder, where the sound server and the game's own
// socket live.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace kiramoku {

// Whether XDG_RUNTIME_DIR is a folder of this user's that it may write (or
// is not set at all, when each library finds its own place).
inline bool RuntimeFolderUsable()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime)
        return true;
    struct stat folder {};
    return stat(runtime, &folder) == 0 && S_ISDIR(folder.st_mode) && folder.st_uid == geteuid()
           && access(runtime, W_OK | X_OK) == 0;
}

}  // namespace kiramoku
