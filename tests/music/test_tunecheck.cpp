// The tune file check: what it lets through to the synthesizer and what it
// refuses, the timing it reads, and the tune the build writes.
#include "midibytes.h"
#include "musictest.h"
#include "tunecheck.h"

#include <fluidsynth.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <set>

using namespace kiramoku;
using namespace kiramoku::test;

namespace {

TuneCheck Check(const QByteArray &bytes)
{
    return CheckTune({reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())});
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A synthesizer of its own, its memory not locked (a test may not lock it).
struct Synth {
    fluid_settings_t *settings = new_fluid_settings();
    fluid_synth_t *synth = (fluid_settings_setint(settings, "synth.lock-memory", 0), new_fluid_synth(settings));
    ~Synth() { delete_fluid_synth(synth), delete_fluid_settings(settings); }
};

// What the player hands the synthesizer while the tune plays: the programs
// chosen, the notes begun and still held, the ticks of the first note and of
// the last release.
struct Heard {
    fluid_player_t *player = nullptr;
    std::set<int> programs{};
    std::map<std::pair<int, int>, int> sounding{};  // (channel, key) -> notes held
    int notes = 0, firstNote = -1, lastRelease = -1;
};

int Hear(void *data, fluid_midi_event_t *event)
{
    Heard &heard = *static_cast<Heard *>(data);
    const int type = fluid_midi_event_get_type(event), tick = fluid_player_get_current_tick(heard.player);
    const std::pair note{fluid_midi_event_get_channel(event), fluid_midi_event_get_key(event)};
    if (type == 0xC0)
        heard.programs.insert(note.second);  // a program change's number is its first data byte
    if (type == 0x90 && fluid_midi_event_get_velocity(event) > 0) {
        ++heard.sounding[note];
        heard.firstNote = heard.notes++ > 0 ? heard.firstNote : tick;
    } else if ((type == 0x80 || type == 0x90) && heard.sounding[note] > 0) {
        --heard.sounding[note];
        heard.lastRelease = tick;
    }
    return FLUID_OK;
}

Heard PlayThrough(const QByteArray &tune)
{
    fluid_set_log_function(FLUID_ERR, nullptr, nullptr);
    Synth s;
    fluid_settings_setstr(s.settings, "player.timing-source", "sample");  // read as the player is made
    Heard heard{new_fluid_player(s.synth)};
    fluid_player_set_playback_callback(heard.player, Hear, &heard);
    fluid_player_add_mem(heard.player, tune.constData(), std::size_t(tune.size()));
    fluid_player_play(heard.player);
    std::vector<float> left(512), right(512);
    for (int block = 0; block < 60 * 44100 / 512 && fluid_player_get_status(heard.player) == FLUID_PLAYER_PLAYING; ++block)
        fluid_synth_write_float(s.synth, 512, left.data(), 0, 1, right.data(), 0, 1);
    delete_fluid_player(std::exchange(heard.player, nullptr));
    return heard;
}

}  // namespace

class TestTuneCheck : public QObject {
    Q_OBJECT

private slots:
    // What the check lets through, with the notes it counts, and what it
    // refuses, with why.
    void theCheckAcceptsWhatTheSynthesizerCanPlay_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("notes");
        QTest::addColumn<QString>("reason");  // empty: accepted
        const QByteArray head = Header(0, 1, 480);
        // One track of `events`, then `then` (its end unless given).
        const auto track = [&head](std::initializer_list<int> events, const QByteArray &then = EndOfTrack) {
            return head + Track(Bytes(events) + then);
        };
        const QByteArray pad = head + Track(OneNote());  // padded to a size with bytes after the track
        QTest::newRow("the smallest tune") << head + Track(OneNote()) << 1 << "";
        QTest::newRow("running status between notes, one on key 127") << track({0x00, 0x90, 0x45, 0x60, 0x10, 0x7F, 0x60, 0x10, 0x45, 0x00}) << 2 << "";
        QTest::newRow("velocity 0 is no note, 1 is one") << track({0x00, 0x90, 0x45, 0x00, 0x00, 0x90, 0x47, 0x01}) << 1 << "";
        QTest::newRow("one data byte after a program or a pressure") << track({0x00, 0xC0, 0x4D, 0x00, 0xD0, 0x40, 0x00, 0x90, 0x45, 0x60}) << 1 << "";
        QTest::newRow("a pitch bend on the sixteenth channel") << track({0x00, 0xEF, 0x00, 0x40}, OneNote()) << 1 << "";
        QTest::newRow("unknown chunks named from space to tilde") << head + " KR~" + BigEndian(3, 4) + "abc" + Track(OneNote()) << 1 << "";
        QTest::newRow("bytes after the last track") << head + Track(OneNote()) + "trailing" << 1 << "";
        QTest::newRow("bytes after the end inside the track") << head + Track(OneNote() + Bytes({0x12, 0x34})) << 1 << "";
        QTest::newRow("a system-exclusive message") << track({0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, OneNote()) << 1 << "";
        QTest::newRow("a long text meta event") << track({0x00, 0xFF, 0x01, 0x82, 0x00}, QByteArray(256, 'x') + OneNote()) << 1 << "";
        QTest::newRow("meta events of each fixed length, and type 127")
            << track({0x00, 0xFF, 0x54, 0x05, 0x60, 0, 0, 0, 0, 0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8, 0x00, 0xFF, 0x59, 0x02, 0, 0,
                      0x00, 0xFF, 0x7F, 0x00}, OneNote()) << 1 << "";
        QTest::newRow("the fastest tempo: 4096 ticks a quarter, a quarter in 125 µs") << Header(0, 1, 4096) + Track(Bytes({0x00}) + Tempo(125) + OneNote()) << 1 << "";
        QTest::newRow("as many tracks as the player holds") << Header(1, MaxTuneTracks, 480) + Track(EndOfTrack).repeated(MaxTuneTracks) << 0 << "";
        QTest::newRow("as large as allowed") << pad + QByteArray(int(MaxTuneBytes) - pad.size(), '\0') << 1 << "";
        QTest::newRow("a byte larger") << pad + QByteArray(int(MaxTuneBytes) - pad.size() + 1, '\0') << -1 << "larger than 1048576 bytes";
        QTest::newRow("an empty file") << QByteArray() << -1 << "not a MIDI file (no MThd header)";
        QTest::newRow("a header cut short") << head.left(10) << -1 << "the header is cut off";
        QTest::newRow("a RIFF wrapper") << "RIFF" + head << -1 << "not a MIDI file (no MThd header)";
        QTest::newRow("a header of the wrong length") << "MThd" + BigEndian(7, 4) + head.mid(8) + "x" + Track(OneNote()) << -1 << "the header has the wrong length";
        QTest::newRow("format 2") << Header(2, 1, 480) + Track(OneNote()) << -1 << "format 2 (only 0 and 1 are played)";
        QTest::newRow("no tracks") << Header(1, 0, 480) << -1 << "0 tracks (1 to 128 are played)";
        QTest::newRow("more tracks than the player holds") << Header(1, MaxTuneTracks + 1, 480) << -1 << "129 tracks (1 to 128 are played)";
        QTest::newRow("format 0 with two tracks") << Header(0, 2, 480) + Track(OneNote()) + Track(OneNote()) << -1 << "format 0 with more than one track";
        QTest::newRow("SMPTE timing") << Header(0, 1, 0xE728) + Track(OneNote()) << -1 << "SMPTE timing";
        QTest::newRow("a division of zero") << Header(0, 1, 0) + Track(OneNote()) << -1 << "a division of 0 ticks per quarter note";
        QTest::newRow("fewer tracks than promised") << Header(1, 2, 480) + Track(OneNote()) << -1 << "ends before track 2 of 2";
        QTest::newRow("a track longer than the file") << head + Track(OneNote()).chopped(2) << -1 << "a chunk runs past the end of the file";
        QTest::newRow("a note cut off") << track({0x00, 0x90, 0x45}, {}) << -1 << "track 1: a channel event is cut off";
        QTest::newRow("running status with nothing to run on") << track({0x00, 0x45, 0x60}) << -1 << "track 1: data byte where an event should start";
        QTest::newRow("running status after a meta event")
            << track({0x00, 0x90, 0x45, 0x60, 0x00, 0xFF, 0x06, 0x00, 0x00, 0x47, 0x60}) << -1 << "track 1: data byte where an event should start";
        QTest::newRow("running status after a system-exclusive message")
            << track({0x00, 0x90, 0x45, 0x60, 0x00, 0xF0, 0x01, 0xF7, 0x00, 0x47, 0x60}) << -1 << "track 1: data byte where an event should start";
        QTest::newRow("a data byte above 127") << track({0x00, 0x90, 0x45, 0x80}) << -1 << "track 1: a channel event's data byte is out of range";
        QTest::newRow("a tempo of zero") << head + Track(Bytes({0x00}) + Tempo(0) + OneNote()) << -1 << "track 1: a tempo of 0";
        QTest::newRow("a tempo a microsecond too fast") << Header(0, 1, 0x7FFF) + Track(Bytes({0x00}) + Tempo(999) + OneNote())
                                                        << -1 << "track 1: a tempo too fast (over 32768 ticks a millisecond)";
        QTest::newRow("a tempo of two bytes") << track({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1}, OneNote()) << -1 << "track 1: a meta event has the wrong length";
        QTest::newRow("an end of track with a length") << track({0x00, 0xFF, 0x2F, 0x01, 0x00}, {}) << -1 << "track 1: a meta event has the wrong length";
        QTest::newRow("a time step of five bytes") << track({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 0x45, 0x60}) << -1 << "track 1: a time step is cut off or longer than 4 bytes";
        QTest::newRow("a system message inside a track") << track({0x00, 0xF1, 0x00}) << -1 << "track 1: a system message that has no place in a file";
        QTest::newRow("a system-exclusive message longer than its track")
            << track({0x00, 0xF0, 0x7F, 0x01}) << -1 << "track 1: a system-exclusive message runs past the end of its track";
        QTest::newRow("a meta event of the wrong kind") << track({0x00, 0xFF, 0x80, 0x00}) << -1 << "track 1: a meta event has no valid type";
        QTest::newRow("a track with a tempo and no end") << head + Track(Bytes({0x00}) + Tempo(400000) + Bytes({0x00, 0x90, 0x45, 0x60})) << -1 << "track 1: no end-of-track event";
        const QByteArray far = Bytes({0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00}).repeated(3);  // text events 2^28 - 1 ticks apart
        QTest::newRow("ticks beyond the player's reach") << head + Track(far + EndOfTrack) << -1 << "track 1: runs on too far (past tick 268435456)";
        QTest::newRow("the second track at fault") << Header(1, 2, 480) + Track(OneNote()) + Track(Bytes({0x00, 0xF1})) << -1
                                                   << "track 2: a system message that has no place in a file";
        QTest::newRow("a chunk named with 31") << head + "\x1FKRM" + BigEndian(0, 4) + Track(OneNote()) << -1 << "a chunk with an unreadable name";
        QTest::newRow("a chunk named with 127") << head + "KRM\x7F" + BigEndian(0, 4) + Track(OneNote()) << -1 << "a chunk with an unreadable name";
        // clang-format on
    }

    void theCheckAcceptsWhatTheSynthesizerCanPlay()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, notes);
        QFETCH(QString, reason);
        const TuneCheck check = Check(file);
        QCOMPARE(QString::fromStdString(check.reason), reason);
        QCOMPARE(check.accepted, reason.isEmpty());
        QCOMPARE(check.accepted ? check.notes : -1, notes);
        QCOMPARE(check.accepted || check.tempos.empty(), true);  // a refused file hands on no tempo
    }

    void positionsConvertBetweenTicksAndMilliseconds_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qint64>("tick");
        QTest::addColumn<double>("ms");
        // 480 ticks a quarter; a quarter at 120 a minute (the default), at 240
        // a minute from tick 480, at 60 a minute from tick 720; the end at tick 960.
        const QByteArray changing = Header(0, 1, 480)
                                    + Track(Bytes({0x00}) + Tempo(500000) + Bytes({0x83, 0x60}) + Tempo(250000) + Bytes({0x81, 0x70})
                                            + Tempo(1000000) + Bytes({0x81, 0x70}) + EndOfTrack.mid(1));
        QTest::newRow("the start") << changing << qint64(0) << 0.0;
        QTest::newRow("before the tempo change") << changing << qint64(240) << 250.0;
        QTest::newRow("at the tempo change") << changing << qint64(480) << 500.0;
        QTest::newRow("after the tempo change") << changing << qint64(672) << 600.0;
        QTest::newRow("after the second change") << changing << qint64(840) << 875.0;
        QTest::newRow("the end") << changing << qint64(960) << 1125.0;
        const QByteArray plain = Header(0, 1, 96) + Track(Bytes({0x00, 0x90, 0x45, 0x60, 0x81, 0x40, 0x80, 0x45, 0x00}) + EndOfTrack);
        QTest::newRow("no tempo given: 120 a minute") << plain << qint64(96) << 500.0;
        QTest::newRow("no tempo given, far on") << Header(0, 1, 96) + Track(Bytes({0xBA, 0xCC, 0x00, 0xFF, 0x01, 0x00, 0x83, 0x60, 0xFF, 0x2F, 0x00}))
                                                << qint64(960000) << 5000000.0;
        QTest::newRow("one tick a quarter") << Header(0, 1, 1) + Track(Bytes({0x00, 0x90, 0x45, 0x60, 0x01, 0x80, 0x45, 0x00}) + EndOfTrack) << qint64(1) << 500.0;
        // Two tracks change the tempo at the same tick: the later track's holds.
        const QByteArray clash = Header(1, 2, 480) + Track(Bytes({0x00}) + Tempo(1000000) + EndOfTrack)
                                 + Track(Bytes({0x00}) + Tempo(250000) + Bytes({0x83, 0x60, 0xFF, 0x2F, 0x00}));
        QTest::newRow("the later track's tempo at one tick") << clash << qint64(480) << 250.0;
        // The first track's change comes later in the tune than the second's.
        const QByteArray crossed = Header(1, 2, 480) + Track(Bytes({0x83, 0x60}) + Tempo(250000) + EndOfTrack)
                                   + Track(Bytes({0x00}) + Tempo(1000000) + Bytes({0x85, 0x50, 0xFF, 0x2F, 0x00}));
        QTest::newRow("changes in tune order, not track order") << crossed << qint64(720) << 1125.0;
        // clang-format on
    }

    void positionsConvertBetweenTicksAndMilliseconds()
    {
        QFETCH(QByteArray, file);
        QFETCH(qint64, tick);
        QFETCH(double, ms);
        const TuneCheck check = Check(file);
        QVERIFY2(check.accepted, check.reason.c_str());
        QCOMPARE(check.MillisecondsAt(tick), ms);
        QCOMPARE(check.TickAt(ms), tick);
    }

    void aPositionPastTheEndIsTheEnd()
    {
        const TuneCheck check = Check(Header(0, 1, 480) + Track(OneNote()));
        QCOMPARE(check.endTick, 480);
        QCOMPARE(check.TickAt(60000.0), 480);
        QCOMPARE(check.TickAt(-5.0), 0);
        QCOMPARE(Check({}).MillisecondsAt(480), 0.0);  // a refused file has no time
    }

    // What the player actually sends: one status period long, the four
    // instruments (all in the SoundFont), the first notes at the very start
    // (no silence before the loop point) and every note released before the
    // end (nothing cut off when the tune restarts).
    void theBuiltTuneLoopsCleanlyOnFourInstrumentsOfTheSoundFont()
    {
        const QByteArray tune = ReadAll(BuiltTune());
        const TuneCheck check = Check(tune);
        QVERIFY2(check.accepted, check.reason.c_str());
        QCOMPARE(check.DurationMs(), double(MMControl::DefaultUpdateInterval));
        QCOMPARE(check.tracks, 5);
        QVERIFY(check.notes > 100);
        const Heard heard = PlayThrough(tune);
        // General MIDI's shakuhachi 78, shamisen 107, koto 108, taiko 117, counted from 0.
        const std::set<int> instruments{77, 106, 107, 116};
        QCOMPARE(heard.programs, instruments);
        QCOMPARE(heard.notes, check.notes);
        QCOMPARE(heard.firstNote, 0);
        for (const auto &[note, held] : heard.sounding)
            QVERIFY2(held == 0, qPrintable(QStringLiteral("channel %1 key %2 never released").arg(note.first).arg(note.second)));
        QVERIFY(heard.lastRelease < check.endTick);
        // The last notes lead right up to the loop point: at most an eighth of silence.
        QVERIFY2(check.endTick - heard.lastRelease <= check.division / 2, qPrintable(QString::number(heard.lastRelease)));

        Synth s;
        const int id = fluid_synth_sfload(s.synth, DefaultSoundFonts().front().c_str(), 1);
        for (int program : instruments)
            QVERIFY2(id != FLUID_FAILED && fluid_sfont_get_preset(fluid_synth_get_sfont_by_id(s.synth, id), 0, program),
                     qPrintable(QString::number(program)));
    }

    // The note table as it is writes the built tune, byte for byte; each
    // mistake in it stops the writer with a message and no tune.
    void theNoteTableWritesTheSameTuneAndItsMistakesStopTheBuild_data()
    {
        // clang-format off
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message");
        QTest::newRow("the table as it is") << "" << "" << "";
        QTest::newRow("a bar a sixteenth too long") << "shakuhachi | mf A4/4 B4/8 A4/8 " << "shakuhachi | mf A4/4 B4/8 A4/8 A4/16" << "kira.tune:";
        QTest::newRow("a voice one bar short") << "| D4/4. r/8" << "" << "has 15 bars";
        QTest::newRow("a tempo that misses 22 s") << "tempo 687500" << "tempo 687000" << "not the promised 22000";
        QTest::newRow("a note that does not exist") << "| mf A4/4 B4/8 A4/8 " << "| mf H4/4 B4/8 A4/8 " << "not a note";
        QTest::newRow("a voice never declared") << "voice taiko " << "voice drum " << "no voice named 'taiko'";
        // clang-format on
    }

    void theNoteTableWritesTheSameTuneAndItsMistakesStopTheBuild()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, message);
        QString table = QString::fromUtf8(ReadAll(QStringLiteral(KIRAMOKU_TUNE_TABLE)));
        QVERIFY(table.contains(from));
        table.replace(table.indexOf(from), from.size(), to);
        QTemporaryDir dir;
        QFile changed(dir.filePath(QStringLiteral("kira.tune")));
        QVERIFY(changed.open(QIODevice::WriteOnly) && changed.write(table.toUtf8()) > 0);
        changed.close();
        const QString out = dir.filePath(QStringLiteral("kira.mid"));
        QProcess writer;
        writer.start(QStringLiteral(KIRAMOKU_TUNEGEN), {changed.fileName(), out});
        QVERIFY(writer.waitForFinished());
        const QString said = QString::fromUtf8(writer.readAllStandardError());
        QCOMPARE(writer.exitCode(), message.isEmpty() ? 0 : 1);
        QVERIFY2(said.contains(message), qPrintable(said));
        QCOMPARE(QFile::exists(out), message.isEmpty());
        if (message.isEmpty())
            QCOMPARE(ReadAll(out), ReadAll(BuiltTune()));
    }
};

QTEST_GUILESS_MAIN(TestTuneCheck)
#include "test_tunecheck.moc"
