#include "tunefile.h"

#include <sys/stat.h>

#include <fstream>

namespace kiramoku {

// Anything but a regular file of a sensible size is refused before it is
// read: a directory, a device that never ends, a fifo that would block. The
// read itself is bounded too, in case the file grows meanwhile; a file
// changed during the read has new times, so the next Load reads it again.
bool TuneFile::Load(const std::string &path, std::string &why)
{
    struct stat info {};
    const std::string file = "the tune file " + path;
    const char *refused = path.empty() || ::stat(path.c_str(), &info) != 0 ? " is missing"
                          : !S_ISREG(info.st_mode)                         ? " is not a regular file"
                          : std::uint64_t(info.st_size) > MaxTuneBytes     ? " is too large"
                                                                           : nullptr;
    if (refused) {
        why = file + refused;
        return false;
    }
    const std::vector<std::int64_t> stamp{std::int64_t(info.st_dev), std::int64_t(info.st_ino), info.st_size, info.st_mtim.tv_sec,
                                          info.st_mtim.tv_nsec, info.st_ctim.tv_sec, info.st_ctim.tv_nsec};
    if (path != path_ || stamp != stamp_) {
        std::ifstream in(path, std::ios::binary);
        std::vector<std::uint8_t> bytes(MaxTuneBytes + 1);
        in.read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (in.bad() || (in.fail() && !in.eof())) {
            why = file + " cannot be read";
            return false;
        }
        ++reads_;
        bytes.resize(static_cast<std::size_t>(in.gcount()));
        bytes.shrink_to_fit();
        check_ = CheckTune(bytes);
        bytes_ = std::move(bytes);
        path_ = path;
        stamp_ = stamp;
    }
    if (!check_.accepted)
        why = file + " is not a tune we can play: " + check_.reason;
    return check_.accepted;
}

}  // namespace kiramoku
