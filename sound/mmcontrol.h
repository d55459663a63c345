#pragma once
// The board window's music control, MMControl1: the settings and command
// strings the board's rules send (see MusicControl), played on the sequencer,
// and the periodic status tick on which the board restarts its tune.
//
// Every command returns at once and quietly, whatever becomes of it. The
// sequencer carries the commands out in the order given on its own thread;
// so "Open" has always been done when the "Play" after it is.
#include "ports.h"
#include "sequencer.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

namespace kiramoku {

// The commands the control knows, read in any letter case and with any
// surrounding spaces; anything else is Unknown and ignored.
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

    // The control on the sound card.
    explicit MMControl(QObject *parent = nullptr);
    // The control on a sequencer set up by the caller (an offline output for
    // tests and benchmarks, other SoundFonts).
    explicit MMControl(SequencerOptions options, QObject *parent = nullptr);
    // Closes the tune and the device; waits at most Sequencer::ShutdownWait.
    ~MMControl() override;

    // Kept as the board sets them. Notification: the control raises no
    // completion events either way. Wait: commands are carried out in order,
    // so a later command always finds an "Open" done; nothing waits on the
    // caller's thread. Shareable: the synthesizer is the game's own anyway.
    void SetNotify(bool on) override;
    void SetWait(bool on) override;
    void SetShareable(bool on) override;
    // "Sequencer" in any letter case (or nothing) opens MIDI tunes; any other
    // device type leaves "Open" without effect.
    void SetDeviceType(const QString &type) override;
    void SetFileName(const QString &path) override;
    // Milliseconds into the tune where the next "Play" starts; used once.
    void SetFrom(qint32 position) override;
    void SetCommand(const QString &command) override;

    bool Notify() const { return notify_; }
    bool Wait() const { return wait_; }
    bool Shareable() const { return shareable_; }
    QString DeviceType() const { return deviceType_; }
    QString FileName() const { return fileName_; }

    // Music off: the control still takes every command and keeps the
    // board's settings, but plays nothing: within a second the sound output
    // is closed and the synthesizer and its SoundFont are gone. Turned on again, it opens and plays the tune the
    // board's commands left open or playing, from its start. Switched many
    // times in a row, it ends as the last switch asked, without playing
    // the states in between.
    void SetMusicOn(bool on);
    bool MusicOn() const { return musicOn_; }
    // What the board's commands have asked of the tune, whether the music
    // is on or off, and how many commands came (unknown ones included).
    TuneState Requested() const { return requested_; }
    int CommandsHeard() const { return commandsHeard_; }

    // Milliseconds between status ticks; 0 or less stops them.
    int UpdateInterval() const;
    void SetUpdateInterval(int ms);

    // The sequencer behind the control, for tests and benchmarks to look in.
    Sequencer &Device() { return sequencer_; }

signals:
    // Every UpdateInterval ms from construction on, whatever the tune is doing.
    void StatusUpdate();

private:
    bool OpensTunes() const;
    bool notify_ = false;
    bool wait_ = false;
    bool shareable_ = false;
    QString deviceType_;
    QString fileName_;
    std::optional<qint32> from_;
    bool musicOn_ = true;
    TuneState requested_ = TuneState::Closed;
    int commandsHeard_ = 0;
    int updateInterval_ = DefaultUpdateInterval;
    QTimer ticks_{this};  // a child, so that a look at the control finds its ticks
    Sequencer sequencer_;
};

// Where the tune lives: <folder of the executable>/../share/kiramoku/kira.mid,
// in the build tree and once installed alike. Needs the application object.
QString FindTuneFile();

}  // namespace kiramoku
