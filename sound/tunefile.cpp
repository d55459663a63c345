#include "tunefile.h"

#include <sys/stat.h>

#include <fstream>

namespace kiramoku {

namespace {
constexpr std::int64_t NsPerSecond = 1'000'000'000;
}

// Anything but a regular file of a sensible size is refused before it is
// read: a directory, a device that never ends, a fifo that would block. The
// read itself is bounded too, in case the file grows meanwhile; a file
// changed during the read has new times, so the next Load reads it again.
bool TuneFile::Load(const std::string &path, std::string &why)
{
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        why = "the tune file " + path + " is missing";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        why = "the tune file " + path + " is not a regular file";
        return false;
    }
    if (static_cast<std::uint64_t>(info.st_size) > MaxTuneBytes) {
        why = "the tune file " + path + " is too large";
        return false;
    }
    const Stamp stamp{info.st_dev, info.st_ino, info.st_size,
                      info.st_mtim.tv_sec * NsPerSecond + info.st_mtim.tv_nsec,
                      info.st_ctim.tv_sec * NsPerSecond + info.st_ctim.tv_nsec};
    if (path != path_ || stamp != stamp_) {
        Forget();
        std::ifstream in(path, std::ios::binary);
        std::vector<std::uint8_t> bytes(MaxTuneBytes + 1);
        in.read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (in.bad() || (in.fail() && !in.eof())) {
            why = "the tune file " + path + " cannot be read";
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
        why = "the tune file " + path + " is not a tune we can play: " + check_.reason;
    return check_.accepted;
}

void TuneFile::Forget()
{
    path_.clear();
    stamp_ = {};
    bytes_ = {};
    check_ = {};
}

}  // namespace kiramoku
