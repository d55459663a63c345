#pragma once
// Reading the tune file from disk, before anything of the synthesizer is made.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kiramoku {

// The bytes of the tune file at `path`; nothing, and `why` in a few words,
// when it is missing, not a regular file, too large or unreadable.
std::optional<std::vector<std::uint8_t>> ReadTuneFile(const std::string &path, std::string &why);

} // namespace kiramoku
