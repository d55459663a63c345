#include "mmcontrol.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace kiramoku {

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

void MMControl::SetCommand(const QString &command)
{
    ++commandsHeard_;
    const auto is = [word = command.trimmed()](const char *name) { return word.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    if (is("open") && (deviceType_.isEmpty() || deviceType_.compare(QLatin1String("Sequencer"), Qt::CaseInsensitive) == 0)) {
        requested_ = TuneState::Ready;
        if (musicOn_)
            sequencer_.Open(QFile::encodeName(fileName_).toStdString());
    } else if (is("play")) {
        requested_ = requested_ == TuneState::Closed ? requested_ : TuneState::Playing;
        if (musicOn_)
            sequencer_.Play(from_ ? std::optional<std::int64_t>(*from_) : std::nullopt);
        from_.reset();
    } else if (is("pause")) {
        requested_ = requested_ == TuneState::Playing ? TuneState::Paused : requested_;
        if (musicOn_)
            sequencer_.Pause();
    } else if (is("close")) {
        requested_ = TuneState::Closed;
        if (musicOn_)
            sequencer_.Close();
    }
}

void MMControl::SetMusicOn(bool on)
{
    if (on == musicOn_)
        return;
    musicOn_ = on;
    if (!on)
        return sequencer_.Release();  // quiet at once, not after the notes' release
    if (requested_ == TuneState::Closed)
        return;
    sequencer_.Open(QFile::encodeName(fileName_).toStdString());
    if (requested_ == TuneState::Playing)
        sequencer_.Play();
}

void MMControl::SetUpdateInterval(int ms)
{
    updateInterval_ = ms;
    ms > 0 ? ticks_.start(ms) : ticks_.stop();
}

QString FindTuneFile()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/kiramoku/kira.mid"));
}

}  // namespace kiramoku
