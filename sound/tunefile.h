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
    // Holds the tune at `path`, read and checked unless it is the file read
    // last, unchanged by a stat (the same file, size and times). False, and
    // `why` in a few words, when there is no tune we can play there.
    bool Load(const std::string &path, std::string &why);
    const std::vector<std::uint8_t> &Bytes() const { return bytes_; }
    const TuneCheck &Check() const { return check_; }
    int Reads() const { return reads_; }  // files read so far

private:
    std::string path_;
    std::vector<std::int64_t> stamp_;
    std::vector<std::uint8_t> bytes_;
    TuneCheck check_;
    int reads_ = 0;
};

}  // namespace kiramoku
