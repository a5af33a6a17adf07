// A settings save killed at any point leaves the old file or the new one, complete and
// readable: a child process saves over and over and is killed at random moments.

#include "programsettings.h"
#include "settingsform.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace {

const QString kKey = QStringLiteral("WinPos/Client_1/Top");

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The file a save of number n writes over a start file written by the same settings.
QByteArray expectedSave(const QString& dir, qint32 n)
{
    const QString path = QDir(dir).filePath(QStringLiteral("expected.ini"));
    QFile::remove(path);
    TFSettingsForm form;
    BuildProgramSettings(form);
    form.SetInt(kKey, n);
    form.SaveToFile(path);
    return readAll(path);
}

}  // namespace

TEST(settings_KillDuringSave, everyKillLeavesTheOldOrTheNewFileWhole)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("SarvikControl.ini"));
    {
        TFSettingsForm form;
        BuildProgramSettings(form);
        form.SetInt(kKey, 0);
        form.SaveToFile(file);
    }
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    SCOPED_TRACE(testing::Message() << "seed " << seed);

    qint32 last = 0;
    int changed = 0;
    constexpr int kRounds = 25;
    for (int round = 1; round <= kRounds; ++round) {
        const qint32 first = round * 1000000;
        QProcess saver;
        saver.start(QStringLiteral(SETTINGS_SAVE_LOOP), {file, QString::number(first)});
        ASSERT_TRUE(saver.waitForStarted(10000));
        ASSERT_TRUE(saver.waitForReadyRead(10000)) << "round " << round;
        // Anywhere from before the first save to a few dozen saves in.
        QThread::usleep(2000 + random.bounded(30000));
        ::kill(static_cast<pid_t>(saver.processId()), SIGKILL);
        ASSERT_TRUE(saver.waitForFinished(10000));

        TFSettingsForm form;
        BuildProgramSettings(form);
        form.ReadFromFile(file);
        const qint32 value = form.GetInt(kKey);
        ASSERT_TRUE(value == last || (value >= first && value < first + 1000000)) << "round " << round << ": " << value;
        EXPECT_EQ(readAll(file), expectedSave(dir.path(), value)) << "round " << round << ": file not whole";
        if (value != last)
            ++changed;
        last = value;
    }
    // Kills before the first save prove nothing; enough rounds must have saved.
    EXPECT_GE(changed, 5);
}
