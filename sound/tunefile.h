#pragma once
// The tune file, read and checked once a run, and again only when the file
// changed: a restart of the same tune reads nothing and parses nothing.
#include "tunecheck.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kiramoku {

class TuneFile {
public:
    // Makes the tune at `path` the one held: read and checked unless it is
    // the file read last, unchanged (the same file, size and times by a
    // stat). False, and `why` in a few words, when the file is missing, not
    // a regular file, too large, unreadable or not a tune we can play.
    bool Load(const std::string &path, std::string &why);
    const std::vector<std::uint8_t> &Bytes() const { return bytes_; }
    const TuneCheck &Check() const { return check_; }
    // Files read so far.
    int Reads() const { return reads_; }
    // Lets the bytes go; the next Load reads the file again.
    void Forget();

private:
    struct Stamp {
        std::uint64_t device = 0, inode = 0;
        std::int64_t size = -1, modifiedNs = 0, changedNs = 0;
        bool operator==(const Stamp &) const = default;
    };
    std::string path_;
    Stamp stamp_;
    std::vector<std::uint8_t> bytes_;
    TuneCheck check_;
    int reads_ = 0;
};

}  // namespace kiramoku
