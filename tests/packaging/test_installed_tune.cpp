// Run by check-install.sh from the games/ folder of an install prefix, never
// from the build tree: the program's lookup finds the tune installed beside
// it, and the game's own sequencer opens that file.
#include "audiooutput.h"
#include "mmcontrol.h"
#include "sequencer.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

using namespace kiramoku;

class InstalledTuneTest : public QObject {
    Q_OBJECT

private slots:
    void theTuneIsLookedForInsideTheInstallPrefix()
    {
        const QString prefix = qEnvironmentVariable("KIRAMOKU_INSTALL_PREFIX");
        QVERIFY2(!prefix.isEmpty(), "KIRAMOKU_INSTALL_PREFIX names the prefix");
        QCOMPARE(QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath(),
                 QFileInfo(prefix + QStringLiteral("/games")).canonicalFilePath());
        const QFileInfo tune(FindTuneFile());
        QVERIFY2(tune.isFile(), qPrintable(tune.filePath()));
        QCOMPARE(tune.canonicalFilePath(), QFileInfo(prefix + QStringLiteral("/share/kiramoku/kira.mid")).canonicalFilePath());
    }

    void theInstalledTuneOpensInTheGamesSequencer()
    {
        SequencerOptions options;
        options.output = std::make_shared<OfflineAudioOutput>();
        Sequencer sequencer(options);
        sequencer.Open(FindTuneFile().toStdString());
        QVERIFY(sequencer.WaitUntilIdle(std::chrono::seconds(20)));
        const Sequencer::Status status = sequencer.Snapshot();
        QVERIFY(status.synthReady);
        QCOMPARE(status.state, TuneState::Ready);
        QCOMPARE(status.opens, 1);
        QVERIFY(status.tuneMs > 1000);
    }
};

QTEST_GUILESS_MAIN(InstalledTuneTest)
#include "test_installed_tune.moc"
