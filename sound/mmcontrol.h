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

    // Nothing is notified or shared; the sequencer's order keeps Wait's promise.
    void SetNotify(bool) override {}
    void SetWait(bool on) override { wait_ = on; }
    void SetShareable(bool) override {}
    // Only "Sequencer" (any letter case) or nothing opens tunes.
    void SetDeviceType(const QString &type) override { deviceType_ = type; }
    void SetFileName(const QString &path) override { fileName_ = path; }
    // Milliseconds into the tune where the next Play starts; used once.
    void SetFrom(qint32 position) override { from_ = position; }
    // Open, Play, Pause, Close in any letter case, spaces around; else ignored.
    void SetCommand(const QString &command) override;

    bool Wait() const { return wait_; }
    QString DeviceType() const { return deviceType_; }
    QString FileName() const { return fileName_; }

    // Off, commands are kept but nothing plays or stays loaded; on again, the
    // tune they left open or playing opens and plays from its start.
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
