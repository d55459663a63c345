#include "tunefile.h"

#include "tunecheck.h"

#include <filesystem>
#include <fstream>

namespace kiramoku {

// Anything but a regular file of a sensible size is refused before it is
// read: a directory, a device that never ends, a fifo that would block. The
// read itself is bounded too, in case the file grows meanwhile.
std::optional<std::vector<std::uint8_t>> ReadTuneFile(const std::string &path, std::string &why)
{
    std::error_code error;
    const std::filesystem::path file(path);
    if (path.empty() || !std::filesystem::exists(file, error)) {
        why = "the tune file " + path + " is missing";
        return std::nullopt;
    }
    if (!std::filesystem::is_regular_file(file, error)) {
        why = "the tune file " + path + " is not a regular file";
        return std::nullopt;
    }
    const auto size = std::filesystem::file_size(file, error);
    if (error || size > MaxTuneBytes) {
        why = "the tune file " + path + " is too large";
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> bytes(MaxTuneBytes + 1);
    in.read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad() || (in.fail() && !in.eof())) {
        why = "the tune file " + path + " cannot be read";
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

} // namespace kiramoku
