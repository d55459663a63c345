#include "runtimefolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace kiramoku {

bool RuntimeFolderUsable()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime)
        return true;
    struct stat folder {};
    return stat(runtime, &folder) == 0 && S_ISDIR(folder.st_mode) && folder.st_uid == geteuid()
           && access(runtime, W_OK | X_OK) == 0;
}

}  // namespace kiramoku
