// kiramoku_tunegen TABLE OUTPUT.mid: writes the note table (assets/tune/kira.tune)
// as a standard MIDI file, format 1, a track a voice, at build time. A table
// that does not add up (a bar's length, a voice's bars, the tune's promised
// length) stops the build with the line at fault; the file is checked by the
// reader the game uses before it plays a tune.
#include "tunecheck.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct TableError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Voice {
    std::string name;
    int channel = 0;  // 0..15
    int program = 0;  // 0..127
    int volume = 100;
    int pan = 64;
    int reverb = 40;
    int gate = 90;      // percent of a note's length that sounds
    int velocity = 85;  // the current loudness while reading its bars
    std::int64_t cursor = 0;
    int bars = 0;
    struct Event {
        std::int64_t tick;
        int order;  // at one tick: settings, then note-offs, then note-ons
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Event> events;
};

struct Table {
    std::uint32_t tempo = 500000;
    int division = 480;
    int beats = 4;
    int unit = 4;
    int bars = 0;
    double lengthMs = 0;
    std::vector<Voice> voices;
    std::int64_t BarTicks() const { return std::int64_t{beats} * 4 * division / unit; }
};

std::vector<std::string> Words(const std::string &text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

int Number(const std::string &word, int low, int high, const std::string &what)
{
    std::size_t used = 0;
    long value = 0;
    try {
        value = std::stol(word, &used);
    } catch (const std::exception &) {
        used = 0;
    }
    if (used != word.size() || value < low || value > high)
        throw TableError(what + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) + ", not '" + word + "'");
    return static_cast<int>(value);
}

int Velocity(const std::string &word)
{
    static const std::map<std::string, int> levels = {{"pp", 40}, {"p", 55}, {"mp", 70}, {"mf", 85}, {"f", 100}, {"ff", 115}};
    const auto it = levels.find(word);
    return it == levels.end() ? -1 : it->second;
}

int Pitch(const std::string &name)
{
    static const std::map<char, int> steps = {{'C', 0}, {'D', 2}, {'E', 4}, {'F', 5}, {'G', 7}, {'A', 9}, {'B', 11}};
    if (name.empty() || !steps.count(name[0]))
        throw TableError("'" + name + "' is not a note");
    int semitone = steps.at(name[0]);
    std::size_t at = 1;
    if (at < name.size() && (name[at] == '#' || name[at] == 'b')) {
        semitone += name[at] == '#' ? 1 : -1;
        ++at;
    }
    const int octave = Number(name.substr(at), -1, 9, "the octave of '" + name + "'");
    const int key = (octave + 1) * 12 + semitone;
    if (key < 0 || key > 127)
        throw TableError("'" + name + "' is outside the MIDI keys");
    return key;
}

std::int64_t Length(const std::string &text, int division)
{
    const bool dotted = !text.empty() && text.back() == '.';
    const std::string base = dotted ? text.substr(0, text.size() - 1) : text;
    const int fraction = Number(base, 1, 64, "a note length");
    const std::int64_t whole = std::int64_t{4} * division;
    std::int64_t ticks = whole / fraction;
    if (ticks * fraction != whole || ticks == 0)
        throw TableError("1/" + base + " of a whole note is not a whole number of ticks");
    if (dotted) {
        if (ticks % 2 != 0)
            throw TableError("a dotted 1/" + base + " is not a whole number of ticks");
        ticks += ticks / 2;
    }
    return ticks;
}

void ReadBar(Voice &voice, const std::string &bar, const Table &table)
{
    const std::int64_t start = voice.cursor;
    for (const std::string &word : Words(bar)) {
        if (const int level = Velocity(word); level >= 0) {
            voice.velocity = level;
            continue;
        }
        const auto slash = word.find('/');
        if (slash == std::string::npos)
            throw TableError("'" + word + "' is neither a note, a rest nor a loudness");
        const std::int64_t ticks = Length(word.substr(slash + 1), table.division);
        const std::string sound = word.substr(0, slash);
        if (sound != "r") {
            const std::int64_t sounding = std::max<std::int64_t>(1, ticks * voice.gate / 100);
            std::stringstream keys(sound);
            for (std::string name; std::getline(keys, name, '+');) {
                const auto key = static_cast<std::uint8_t>(Pitch(name));
                const auto channel = static_cast<std::uint8_t>(voice.channel);
                voice.events.push_back({voice.cursor, 2, {static_cast<std::uint8_t>(0x90 | channel), key, static_cast<std::uint8_t>(voice.velocity)}});
                voice.events.push_back({voice.cursor + sounding, 1, {static_cast<std::uint8_t>(0x80 | channel), key, 0}});
            }
        }
        voice.cursor += ticks;
    }
    const std::int64_t used = voice.cursor - start;
    if (used != table.BarTicks())
        throw TableError(voice.name + " bar " + std::to_string(voice.bars + 1) + " lasts " + std::to_string(used) + " ticks, a bar is " + std::to_string(table.BarTicks()));
    ++voice.bars;
}

Voice &FindVoice(Table &table, const std::string &name)
{
    const auto voice = std::find_if(table.voices.begin(), table.voices.end(), [&](const Voice &v) { return v.name == name; });
    return voice != table.voices.end() ? *voice : throw TableError("no voice named '" + name + "'");
}

void ReadVoice(Table &table, const std::vector<std::string> &w)
{
    if (w.size() != 14)
        throw TableError("a voice line is: voice NAME channel C program P volume V pan P reverb R gate G");
    Voice voice;
    voice.name = w[1];
    const std::vector<std::pair<std::string, std::pair<int *, std::pair<int, int>>>> fields = {
        {"channel", {&voice.channel, {1, 16}}}, {"program", {&voice.program, {1, 128}}}, {"volume", {&voice.volume, {0, 127}}}, {"pan", {&voice.pan, {0, 127}}}, {"reverb", {&voice.reverb, {0, 127}}}, {"gate", {&voice.gate, {1, 100}}}};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto &[key, target] = fields[i];
        if (w[2 + 2 * i] != key)
            throw TableError("expected '" + key + "' in the voice line, found '" + w[2 + 2 * i] + "'");
        *target.first = Number(w[3 + 2 * i], target.second.first, target.second.second, key);
    }
    voice.channel -= 1;  // the table counts channels and programs from 1, the file from 0
    voice.program -= 1;
    for (const Voice &other : table.voices) {
        if (other.name == voice.name || other.channel == voice.channel)
            throw TableError("voice '" + voice.name + "' repeats a name or a channel");
    }
    const auto ch = static_cast<std::uint8_t>(voice.channel);
    auto control = [&](int number, int value) {
        voice.events.push_back({0, 0, {static_cast<std::uint8_t>(0xB0 | ch), static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(value)}});
    };
    voice.events.push_back({0, 0, {static_cast<std::uint8_t>(0xC0 | ch), static_cast<std::uint8_t>(voice.program)}});
    control(7, voice.volume);
    control(10, voice.pan);
    control(11, 127);  // expression full: loudness comes from velocities
    control(91, voice.reverb);
    control(93, 0);  // no chorus
    table.voices.push_back(std::move(voice));
}

Table ReadTable(const std::string &path)
{
    std::ifstream in(path);
    if (!in)
        throw TableError("cannot read " + path);
    Table table;
    int lineNumber = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        try {
            line = line.substr(0, line.find('#'));
            const auto bar = line.find('|');
            if (bar != std::string::npos) {
                const auto head = Words(line.substr(0, bar));
                if (head.size() != 1)
                    throw TableError("a music line starts with one voice name");
                Voice &voice = FindVoice(table, head[0]);
                std::stringstream bars(line.substr(bar + 1));
                for (std::string one; std::getline(bars, one, '|');) {
                    if (!Words(one).empty())
                        ReadBar(voice, one, table);
                }
                continue;
            }
            const auto w = Words(line);
            if (w.empty())
                continue;
            const bool settingsDone = !table.voices.empty();
            auto setting = [&](std::size_t words) {
                if (w.size() != words)
                    throw TableError("'" + w[0] + "' takes " + std::to_string(words - 1) + " value(s)");
                if (settingsDone)
                    throw TableError("'" + w[0] + "' must come before the voices");
            };
            if (w[0] == "tempo") {
                setting(2);
                table.tempo = static_cast<std::uint32_t>(Number(w[1], 1, 0xFFFFFF, "tempo"));
            } else if (w[0] == "division") {
                setting(2);
                table.division = Number(w[1], 1, 0x7FFF, "division");
            } else if (w[0] == "time") {
                setting(2);
                const auto slash = w[1].find('/');
                if (slash == std::string::npos)
                    throw TableError("time is BEATS/UNIT, e.g. 2/4");
                table.beats = Number(w[1].substr(0, slash), 1, 32, "beats in a bar");
                table.unit = Number(w[1].substr(slash + 1), 1, 32, "the beat's unit");
                if ((table.unit & (table.unit - 1)) != 0)
                    throw TableError("the beat's unit must be 1, 2, 4, 8, 16 or 32");
            } else if (w[0] == "bars") {
                setting(2);
                table.bars = Number(w[1], 1, 10000, "bars");
            } else if (w[0] == "length") {
                setting(2);
                table.lengthMs = Number(w[1], 1, 3600000, "length");
            } else if (w[0] == "voice") {
                ReadVoice(table, w);
            } else {
                throw TableError("unknown statement '" + w[0] + "'");
            }
        } catch (const TableError &e) {
            throw TableError(path + ":" + std::to_string(lineNumber) + ": " + e.what());
        }
    }
    if (table.voices.empty() || table.bars == 0 || table.lengthMs == 0)
        throw TableError(path + ": needs bars, length and at least one voice");
    for (const Voice &voice : table.voices) {
        if (voice.bars != table.bars)
            throw TableError(path + ": " + voice.name + " has " + std::to_string(voice.bars) + " bars, the tune " + std::to_string(table.bars));
    }
    return table;
}

void PutBigEndian(std::vector<std::uint8_t> &out, std::uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutVariableLength(std::vector<std::uint8_t> &out, std::uint32_t value)
{
    std::uint8_t groups[4];
    int count = 0;
    do {
        groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0 && count < 4);
    for (int i = count - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(groups[i] | (i > 0 ? 0x80 : 0)));
}

std::vector<std::uint8_t> Meta(std::uint8_t type, const std::vector<std::uint8_t> &data)
{
    std::vector<std::uint8_t> bytes = {0xFF, type};
    PutVariableLength(bytes, static_cast<std::uint32_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

// One track chunk: the events in time order, closed by its end at `endTick`.
void PutTrack(std::vector<std::uint8_t> &file, std::vector<Voice::Event> events, std::int64_t endTick)
{
    std::stable_sort(events.begin(), events.end(), [](const Voice::Event &a, const Voice::Event &b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    events.push_back({endTick, 3, Meta(0x2F, {})});
    std::vector<std::uint8_t> body;
    std::int64_t now = 0;
    for (const Voice::Event &event : events) {
        if (event.tick > endTick)
            throw TableError("an event falls after the end of the tune");
        PutVariableLength(body, static_cast<std::uint32_t>(event.tick - now));
        body.insert(body.end(), event.bytes.begin(), event.bytes.end());
        now = event.tick;
    }
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    PutBigEndian(file, static_cast<std::uint32_t>(body.size()), 4);
    file.insert(file.end(), body.begin(), body.end());
}

std::vector<std::uint8_t> WriteMidi(const Table &table)
{
    const std::int64_t endTick = table.BarTicks() * table.bars;
    std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd'};
    PutBigEndian(file, 6, 4);
    PutBigEndian(file, 1, 2);
    PutBigEndian(file, static_cast<std::uint32_t>(table.voices.size() + 1), 2);
    PutBigEndian(file, static_cast<std::uint32_t>(table.division), 2);

    const int unitPower = std::countr_zero(static_cast<unsigned>(table.unit));  // a power of two
    std::vector<std::uint8_t> tempo;
    PutBigEndian(tempo, table.tempo, 3);
    PutTrack(file,
             {{0, 0, Meta(0x03, {'k', 'i', 'r', 'a'})},
              {0, 0, Meta(0x58, {static_cast<std::uint8_t>(table.beats), static_cast<std::uint8_t>(unitPower), 24, 8})},
              {0, 0, Meta(0x51, tempo)}},
             endTick);
    for (const Voice &voice : table.voices) {
        std::vector<Voice::Event> events = voice.events;
        events.insert(events.begin(), {0, 0, Meta(0x03, {voice.name.begin(), voice.name.end()})});
        PutTrack(file, std::move(events), endTick);
    }
    return file;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: kiramoku_tunegen TABLE OUTPUT.mid\n");
        return 2;
    }
    try {
        const Table table = ReadTable(argv[1]);
        const std::vector<std::uint8_t> midi = WriteMidi(table);
        const kiramoku::TuneCheck check = kiramoku::CheckTune(midi);
        if (!check.accepted)
            throw TableError("the written tune does not pass the game's own check: " + check.reason);
        if (std::abs(check.DurationMs() - table.lengthMs) > 0.001)
            throw TableError(std::string(argv[1]) + ": the tune lasts " + std::to_string(check.DurationMs()) + " ms, not the promised " + std::to_string(table.lengthMs));

        // Written beside the target and renamed, so a failed run leaves no half file.
        const std::filesystem::path out(argv[2]);
        const std::filesystem::path part = out.string() + ".part";
        std::filesystem::create_directories(out.parent_path());
        {
            std::ofstream file(part, std::ios::binary | std::ios::trunc);
            file.write(reinterpret_cast<const char *>(midi.data()), static_cast<std::streamsize>(midi.size()));
            if (!file)
                throw TableError("cannot write " + part.string());
        }
        std::filesystem::rename(part, out);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "kiramoku_tunegen: %s\n", e.what());
        return 1;
    }
    return 0;
}
