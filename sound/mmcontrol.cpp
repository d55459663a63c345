#include "mmcontrol.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace kiramoku {

MusicCommand ParseMusicCommand(const QString &command)
{
    const QString word = command.trimmed();
    auto is = [&word](const char *name) { return word.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    if (is("open"))
        return MusicCommand::Open;
    if (is("play"))
        return MusicCommand::Play;
    if (is("pause"))
        return MusicCommand::Pause;
    if (is("close"))
        return MusicCommand::Close;
    return MusicCommand::Unknown;
}

MMControl::MMControl(QObject *parent)
    : MMControl(SequencerOptions{}, parent)
{
}

MMControl::MMControl(SequencerOptions options, QObject *parent)
    : QObject(parent), sequencer_(std::move(options))
{
    setObjectName(QStringLiteral("MMControl1"));
    // A coarse timer may be 5 % late, a whole second on 22: the tune would
    // fall silent before each restart. A precise one keeps the loop tight.
    ticks_.setTimerType(Qt::PreciseTimer);
    connect(&ticks_, &QTimer::timeout, this, &MMControl::StatusUpdate);
    SetUpdateInterval(DefaultUpdateInterval);
}

MMControl::~MMControl() = default;

void MMControl::SetNotify(bool on)
{
    notify_ = on;
}

void MMControl::SetWait(bool on)
{
    wait_ = on;
}

void MMControl::SetShareable(bool on)
{
    shareable_ = on;
}

void MMControl::SetDeviceType(const QString &type)
{
    deviceType_ = type;
}

void MMControl::SetFileName(const QString &path)
{
    fileName_ = path;
}

void MMControl::SetFrom(qint32 position)
{
    from_ = position;
}

bool MMControl::OpensTunes() const
{
    return deviceType_.isEmpty() || deviceType_.compare(QLatin1String("Sequencer"), Qt::CaseInsensitive) == 0;
}

void MMControl::SetCommand(const QString &command)
{
    ++commandsHeard_;
    switch (ParseMusicCommand(command)) {
    case MusicCommand::Open:
        if (!OpensTunes())
            break;
        requested_ = TuneState::Ready;
        if (musicOn_)
            sequencer_.Open(QFile::encodeName(fileName_).toStdString());
        break;
    case MusicCommand::Play: {
        std::optional<std::int64_t> from;
        if (from_)
            from = *from_;
        from_.reset();
        if (requested_ != TuneState::Closed)
            requested_ = TuneState::Playing;
        if (musicOn_)
            sequencer_.Play(from);
        break;
    }
    case MusicCommand::Pause:
        if (requested_ == TuneState::Playing)
            requested_ = TuneState::Paused;
        if (musicOn_)
            sequencer_.Pause();
        break;
    case MusicCommand::Close:
        requested_ = TuneState::Closed;
        if (musicOn_)
            sequencer_.Close();
        break;
    case MusicCommand::Unknown:
        break;
    }
}

void MMControl::SetMusicOn(bool on)
{
    if (on == musicOn_)
        return;
    musicOn_ = on;
    if (!on) {
        // Quiet within a few hundredths of a second, not after the last
        // notes' release; then no stream, no synthesizer, no SoundFont.
        sequencer_.Release();
        return;
    }
    if (requested_ == TuneState::Closed)
        return;
    sequencer_.Open(QFile::encodeName(fileName_).toStdString());
    if (requested_ == TuneState::Playing)
        sequencer_.Play();
}

int MMControl::UpdateInterval() const
{
    return updateInterval_;
}

void MMControl::SetUpdateInterval(int ms)
{
    updateInterval_ = ms;
    if (ms > 0)
        ticks_.start(ms);
    else
        ticks_.stop();
}

QString FindTuneFile()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath()
                           + QStringLiteral("/../share/kiramoku/kira.mid"));
}

}  // namespace kiramoku
