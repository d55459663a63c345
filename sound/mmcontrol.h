#pragma once
// The board window's music control, MMControl1: the settings and command
// strings the board's rules send (MusicControl), carried out in order by the
// sequencer, and the status tick on which the board restarts its tune.
// Every command returns at once and quietly, whatever becomes of it.
#include "ports.h"
#include "sequencer.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

namespace kiramoku {

// Open, Play, Pause and Close in any letter case, spaces around; else Unknown.
enum class MusicCommand { Open,
                          Play,
                          Pause,
                          Close,
                          Unknown };
MusicCommand ParseMusicCommand(const QString &command);

class MMControl : public QObject, public MusicControl {
    Q_OBJECT
public:
    static constexpr int DefaultUpdateInterval = 22000;  // ms; as long as the tune

    explicit MMControl(QObject *parent = nullptr)  // on the sound card
        : MMControl(SequencerOptions{}, parent)
    {
    }
    // On a sequencer set up by the caller (offline output, other SoundFonts).
    explicit MMControl(SequencerOptions options, QObject *parent = nullptr);

    // Nothing is notified and nothing shared (the synthesizer is the game's
    // own); Wait is kept as set, and the sequencer's order keeps its
    // promise: a later command always finds an "Open" done.
    void SetNotify(bool) override {}
    void SetWait(bool on) override { wait_ = on; }
    void SetShareable(bool) override {}
    // Only "Sequencer" (any letter case) or nothing opens tunes.
    void SetDeviceType(const QString &type) override { deviceType_ = type; }
    void SetFileName(const QString &path) override { fileName_ = path; }
    // Milliseconds into the tune where the next Play starts; used once.
    void SetFrom(qint32 position) override { from_ = position; }
    // Open, Play, Pause and Close in any letter case, spaces around; any
    // other command is heard and ignored.
    void SetCommand(const QString &command) override;

    bool Wait() const { return wait_; }
    QString DeviceType() const { return deviceType_; }
    QString FileName() const { return fileName_; }

    // Off, every command is taken and kept but nothing plays: within a second
    // no stream, synthesizer or SoundFont is kept. On again, the tune the
    // commands left open or playing opens and plays from its start. Switched
    // many times in a row, it ends as the last switch asked.
    void SetMusicOn(bool on);
    bool MusicOn() const { return musicOn_; }
    int CommandsHeard() const { return commandsHeard_; }  // unknown ones too

    // Milliseconds between status ticks; 0 or less stops them.
    int UpdateInterval() const { return updateInterval_; }
    void SetUpdateInterval(int ms);

    Sequencer &Device() { return sequencer_; }  // for tests and benchmarks

signals:
    // Every UpdateInterval ms from construction on, whatever the tune does.
    void StatusUpdate();

private:
    bool wait_ = false;
    QString deviceType_;
    QString fileName_;
    std::optional<qint32> from_;
    bool musicOn_ = true;
    TuneState requested_ = TuneState::Closed;  // what the commands asked, music on or off
    int commandsHeard_ = 0;
    int updateInterval_ = DefaultUpdateInterval;
    QTimer ticks_{this};  // a child, so that a look at the control finds its ticks
    Sequencer sequencer_;
};

// <folder of the executable>/../share/kiramoku/kira.mid, in the build tree
// and installed alike. Needs the application object.
QString FindTuneFile();

}  // namespace kiramoku
