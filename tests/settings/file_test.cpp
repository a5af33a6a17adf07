#include "programsettings.h"
#include "settingsform.h"
#include "settingsini.h"
#include "settingstestutil.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cmath>
#include <csignal>
#include <cstring>
#include <iostream>
#include <optional>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList schemaSections()
{
    QStringList s{"settings/General", "settings/Paths", "settings/SamplingData"};
    for (int n = 0; n < 12; ++n)
        s << QStringLiteral("settings/WinPos/Client_%1").arg(n);
    s << "settings/Connection/Main" << "settings/Connection/Bootloader" << "settings/MemoryMon" << "settings/Control"
      << "settings/ControlTest";
    return s;
}

class settings_File : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        BuildProgramSettings(form);
        ini = dir.filePath("SarvikControl.ini");
    }
    // Reads a file holding exactly the given text.
    void readText(const QByteArray& text)
    {
        writeFile(ini, text);
        form.ReadFromFile(ini);
    }
    QTemporaryDir dir;
    TFSettingsForm form;
    QString ini;
};

TEST_F(settings_File, firstStartWritesEverySectionInSchemaOrder)
{
    form.ReadFromFile(ini);  // no file yet: defaults
    EXPECT_TRUE(form.GetBool("General/ConfirmExit"));
    EXPECT_FALSE(QFile::exists(ini));

    form.SaveToFile(ini);
    const TSettingsIni saved(ini);
    EXPECT_EQ(saved.Sections(), schemaSections());
    const QString text = QString::fromUtf8(readFile(ini));
    EXPECT_TRUE(text.startsWith("[settings/General]\nLogging=0\nConfirmExit=1\nServiceModules=0\nProgLang=Deutsch\n"
                                "[settings/Paths]\nLog=\nConfig=\nAdjustLog=\nFirmware=\n"
                                "[settings/SamplingData]\nOutput=\nSamplingTpl=\nLogTpl=\nExtension=XLSX\n"
                                "[settings/WinPos/Client_0]\nTop=8\nLeft=8\nWidth=200\nHeight=100\nOpen=0\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("[settings/Connection/Main]\nUSB_VID=1155\nUSB_PID=41656\n"));
    EXPECT_TRUE(text.endsWith("[settings/ControlTest]\nFile=\nCycles=0\nPumpSetValue=0\nFlowLimitClose=0\n"
                              "FlowLimitOpen=1\nBufferLimit=1\nAsync=0\nWaitTime=3\n"));
    EXPECT_FALSE(text.contains("IniFile"));
    EXPECT_TRUE(text.contains("\nShowChart=1\n[settings/ControlTest]\n"));
    EXPECT_EQ(text.count('='), 92);  // 93 keys, the information node is not stored
}

struct TReadCase {
    const char* name;
    std::function<void(TFSettingsForm&)> before;
    QByteArray file;
    const char* path;
    QString expected;  // GetStr after the read
};

TEST_F(settings_File, readingTakesValuesDefaultsAndFallbacks)
{
    const QString out = dir.path();
    const TReadCase cases[] = {
        {"names without regard to case", nullptr, "[settings/general]\nlogging=1\n", "General/Logging", "True"},
        {"True is no integer: default", [](auto& f) { f.SetBool("General/Logging", true); },
         "[settings/General]\nLogging=True\n", "General/Logging", "False"},
        {"2 is yes", nullptr, "[settings/General]\nLogging=2\n", "General/Logging", "True"},
        {"blanks around = and comments", nullptr, "; mine\n[settings/General]\n# note\n  Logging = 1 \n",
         "General/Logging", "True"},
        {"first of duplicate keys", nullptr, "[settings/General]\nLogging=1\nLogging=0\n", "General/Logging", "True"},
        {"missing key: default", [](auto& f) { f.SetInt("WinPos/Client_1/Top", 99); }, "[settings/General]\n",
         "WinPos/Client_1/Top", "8"},
        {"hexadecimal 0x", nullptr, "[settings/WinPos/Client_1]\nTop=0x10\n", "WinPos/Client_1/Top", "16"},
        {"hexadecimal $", nullptr, "[settings/WinPos/Client_1]\nTop=$FF\n", "WinPos/Client_1/Top", "255"},
        {"no range check on reading", nullptr, "[settings/WinPos/Client_1]\nTop=-40\n", "WinPos/Client_1/Top", "-40"},
        {"empty integer: default", [](auto& f) { f.SetInt("MemoryMon/Len", 7); }, "[settings/MemoryMon]\nLen=\n",
         "MemoryMon/Len", "1"},
        {"choice in another case: default", [](auto& f) { f.SetStr("SamplingData/Extension", "XLS"); },
         "[settings/SamplingData]\nExtension=xlsx\n", "SamplingData/Extension", "XLSX"},
        {"choice by text", nullptr, "[settings/SamplingData]\nExtension=XLSM\n", "SamplingData/Extension", "XLSM"},
        {"empty output is read although the editor refuses it", [&](auto& f) { f.SetStr("SamplingData/Output", out); },
         "[settings/SamplingData]\nOutput=\n", "SamplingData/Output", ""},
        {"no existence check on reading", nullptr, "[settings/Paths]\nLog=/does/not/exist\n", "Paths/Log",
         "/does/not/exist"},
        {"UTF-8 text", nullptr, "[settings/Paths]\nFirmware=C:\\Daten\\Gr\xC3\xB6\xC3\x9F" "e.hex\n", "Paths/Firmware",
         QString::fromUtf8("C:\\Daten\\Größe.hex")},
        {"ANSI text of an older file", nullptr, "[settings/Paths]\nFirmware=Gr\xF6\xDF" "e\n", "Paths/Firmware",
         QString::fromUtf8("Größe")},
        {"float with point", nullptr, "[settings/ControlTest]\nBufferLimit=2.5E-3\n", "ControlTest/BufferLimit",
         "0.003"},
    };
    for (const auto& c : cases) {
        TFSettingsForm f;
        BuildProgramSettings(f);
        if (c.before)
            c.before(f);
        writeFile(ini, c.file);
        f.ReadFromFile(ini);
        EXPECT_EQ(f.GetStr(c.path), c.expected) << c.name;
    }
}

TEST_F(settings_File, yesIsWrittenBackAsOne)
{
    readText("[settings/General]\r\nLogging=2\r\n");
    form.SaveToFile(ini);
    // The file's own line breaks are kept.
    EXPECT_TRUE(readFile(ini).startsWith("[settings/General]\r\nLogging=1\r\nConfirmExit=1\r\n"));
}

TEST_F(settings_File, languageNameSwitchesTheTree)
{
    readText("[settings/General]\nProgLang=Englisch\n");
    EXPECT_EQ(form.language(), slDE);
    readText("[settings/General]\nProgLang=English\n");
    EXPECT_EQ(form.language(), slEN);
    EXPECT_EQ(form.root()->caption, "Settings");
    EXPECT_EQ(form.GetNodeByPath("General/Logging")->caption, "Log device communication");
    // A missing key keeps the language.
    readText("[settings/General]\n");
    EXPECT_EQ(form.language(), slEN);
    form.SaveToFile(ini);
    EXPECT_TRUE(readFile(ini).contains("ProgLang=English\n"));
}

TEST_F(settings_File, handWrittenKeysAndSectionsSurvive)
{
    writeFile(ini, "; written by hand\n"
                   "[settings/General]\n"
                   "Logging = 1\n"
                   "HandKey=abc\n"
                   "\n"
                   "[Custom]\n"
                   "foo=bar\n"
                   "\n"
                   "[settings/Paths]\n"
                   "Log=\n");
    form.ReadFromFile(ini);
    form.SaveToFile(ini);
    const QString text = QString::fromUtf8(readFile(ini));
    EXPECT_TRUE(text.startsWith("; written by hand\n"
                                "[settings/General]\n"
                                "Logging = 1\n"
                                "HandKey=abc\n"
                                "ConfirmExit=1\n"
                                "ServiceModules=0\n"
                                "ProgLang=Deutsch\n"
                                "\n"
                                "[Custom]\n"
                                "foo=bar\n"
                                "\n"
                                "[settings/Paths]\n"
                                "Log=\n"
                                "Config=\n"))
        << text.toStdString();
    QStringList expected = schemaSections();
    expected.insert(1, "Custom");
    EXPECT_EQ(TSettingsIni(ini).Sections(), expected);
}

TEST_F(settings_File, duplicateKeyUpdatesTheFirst)
{
    readText("[settings/General]\nlogging=1\nLogging=1\n");
    form.SetBool("General/Logging", false);
    form.SaveToFile(ini);
    EXPECT_TRUE(readFile(ini).startsWith("[settings/General]\nlogging=0\nLogging=1\n"));
}

TEST_F(settings_File, badNumberStopsTheReadAtThatNode)
{
    const QString error = errorOf([&] {
        readText("[settings/General]\nLogging=1\n"
                 "[settings/ControlTest]\nFlowLimitClose=2\nFlowLimitOpen=1,5\nBufferLimit=3\nAsync=1\nWaitTime=9\n");
    });
    EXPECT_TRUE(error.contains("'1,5'")) << error.toStdString();
    EXPECT_TRUE(form.GetBool("General/Logging"));
    EXPECT_EQ(double(form.GetFloat("ControlTest/FlowLimitClose")), 2.0);
    EXPECT_EQ(double(form.GetFloat("ControlTest/FlowLimitOpen")), 1.0);
    EXPECT_EQ(double(form.GetFloat("ControlTest/BufferLimit")), 1.0);
    EXPECT_FALSE(form.GetBool("ControlTest/Async"));
    EXPECT_EQ(form.GetInt("ControlTest/WaitTime"), 3);

    EXPECT_NE(errorOf([&] { readText("[settings/ControlTest]\nFlowLimitOpen=\n"); }), "<no error>");
}

TEST_F(settings_File, pointNumbersWhateverTheLocale)
{
    const std::string oldC = std::setlocale(LC_ALL, nullptr);
    const bool cGerman = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    const QLocale oldQt;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    readText("[settings/ControlTest]\nFlowLimitOpen=1.5\nBufferLimit=0.001\n");
    EXPECT_EQ(double(form.GetFloat("ControlTest/FlowLimitOpen")), 1.5);
    EXPECT_EQ(form.GetStr("ControlTest/FlowLimitOpen"), "1,500");  // shown with the locale's separator
    form.SetFloat("ControlTest/FlowLimitClose", 1e20L);
    form.SaveToFile(ini);
    const QByteArray text = readFile(ini);
    EXPECT_TRUE(text.contains("[settings/ControlTest]\nFlowLimitOpen=1.5\nBufferLimit=0.001\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nFlowLimitClose=1E20\n")) << text.toStdString();
    EXPECT_NE(errorOf([&] { readText("[settings/ControlTest]\nFlowLimitOpen=1,5\n"); }), "<no error>");

    QLocale::setDefault(oldQt);
    std::setlocale(LC_ALL, oldC.c_str());
    if (!cGerman)
        std::cout << "[ note ] de_DE.UTF-8 is not installed; only the Qt default locale was German\n";
}

TEST_F(settings_File, readAndDefaultsNotifyTheListener)
{
    QStringList told;
    bool loggingSeen = false;
    form.SetOnValueChanged([&](TValueNode& node) {
        told << node.ToString();
        if (node.ToString() == "settings/General/Logging")
            loggingSeen = static_cast<TBooleanNode&>(node).value;
    });
    readText("[settings/General]\nLogging=1\n");
    EXPECT_TRUE(loggingSeen);
    EXPECT_EQ(told.count("settings/General/Logging"), 1);
    EXPECT_TRUE(told.contains("settings/ControlTest/WaitTime"));  // missing keys: defaults are stored too
    readText("");
    EXPECT_FALSE(loggingSeen);
}

TEST_F(settings_File, lineBreaksInAValueCannotForgeKeys)
{
    form.SetStr("Paths/Firmware", "a\n[settings/General]\nLogging=1");
    form.SaveToFile(ini);
    TFSettingsForm again;
    BuildProgramSettings(again);
    again.ReadFromFile(ini);
    EXPECT_FALSE(again.GetBool("General/Logging"));
    EXPECT_EQ(again.GetStr("Paths/Firmware"), "a [settings/General] Logging=1");
}

TEST_F(settings_File, saveIntoMissingDirectoryFailsWithTheSystemText)
{
    const QString target = dir.filePath("nope/SarvikControl.ini");
    const QString error = errorOf([&] { form.SaveToFile(target); });
    EXPECT_TRUE(error.contains(QString::fromLocal8Bit(std::strerror(ENOENT)))) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("nope")));

    // A directory in the file's place is neither read as settings nor replaced.
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.ini"));
    EXPECT_NE(errorOf([&] { form.SaveToFile(dir.filePath("taken.ini")); }), "<no error>");
    EXPECT_TRUE(QFileInfo(dir.filePath("taken.ini")).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// A write that fails half way (file size limit) leaves the old file and no temporary file.
TEST_F(settings_File, failedWriteKeepsTheOldFile)
{
    const QByteArray old = "[settings/General]\nLogging=1\nHandKey=keep me\n";
    writeFile(ini, old);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 256;  // far less than the whole schema
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString error = errorOf([&] { form.SaveToFile(ini); });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(error.contains(QString::fromLocal8Bit(std::strerror(EFBIG)))) << error.toStdString();
    EXPECT_EQ(readFile(ini), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"SarvikControl.ini"});

    form.SaveToFile(ini);  // and a save without the limit works
    EXPECT_TRUE(readFile(ini).contains("HandKey=keep me\nConfirmExit=1\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"SarvikControl.ini"});
}

TEST_F(settings_File, saveThroughASymlinkKeepsTheLink)
{
    const QString real = dir.filePath("real.ini");
    writeFile(real, "[Custom]\nx=1\n");
    ASSERT_TRUE(QFile::link(real, ini));
    form.SaveToFile(ini);
    EXPECT_TRUE(QFileInfo(ini).isSymLink());
    EXPECT_TRUE(readFile(real).contains("[settings/General]"));
}

// A save killed before its rename leaves a temporary file; the next save clears the old ones
// and leaves alone what may still be another process's save in progress, or no temporary at all.
TEST_F(settings_File, saveClearsTemporariesLeftByAKilledSave)
{
    struct Case {
        const char* name;
        bool old;
        bool removed;
    };
    const Case cases[] = {
        {"SarvikControl.ini.tmp.a1B2c3", true, true},
        {"SarvikControl.ini.tmp.zZ9y8X", false, false},  // young: maybe a save running elsewhere
        {"SarvikControl.ini.tmp.short", true, false},
        {"SarvikControl.ini.tmp.toolong7", true, false},
        {"Other.ini.tmp.a1B2c3", true, false},
        {"SarvikControl.ini.bak", true, false},
    };
    const QDateTime longAgo = QDateTime::currentDateTime().addSecs(-3600);
    for (const Case& c : cases) {
        const QString path = dir.filePath(c.name);
        writeFile(path, "half a save");
        if (c.old) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            ASSERT_TRUE(f.setFileTime(longAgo, QFileDevice::FileModificationTime));
        }
    }
    form.SaveToFile(ini);
    for (const Case& c : cases)
        EXPECT_EQ(QFileInfo::exists(dir.filePath(c.name)), !c.removed) << c.name;
    EXPECT_TRUE(readFile(ini).contains("[settings/General]"));
}

// Damaged files found by fuzzing: what the program saves from them it reads back unchanged.
TEST_F(settings_File, savedFromADamagedFile_readsBackAsSaved)
{
    const QByteArray inputs[] = {
        QByteArray("[]se\xef" "e][]se\xef" "e]\r\r"),
        QByteArray("x=0\n\xef\xbb\xbf\xef\xbb\xbf"),
        QByteArray("\xef\xbb\xbf\xef\xbb\xbf[a]\r\nk=\xef\xbb\xbf\r\n"),
    };
    for (const QByteArray& input : inputs) {
        SCOPED_TRACE(input.toHex().toStdString());
        // The image alone, written and read again.
        writeFile(ini, input);
        const TSettingsIni image(ini);
        image.UpdateFile();
        EXPECT_EQ(TSettingsIni(ini).ToText(), image.ToText());

        writeFile(ini, input);
        TFSettingsForm first;
        BuildProgramSettings(first);
        first.ReadFromFile(ini);
        first.SaveToFile(ini);
        const QByteArray saved = readFile(ini);
        TFSettingsForm again;
        BuildProgramSettings(again);
        again.ReadFromFile(ini);
        again.SaveToFile(ini);
        EXPECT_EQ(readFile(ini).toStdString(), saved.toStdString());
    }
}

TEST_F(settings_File, ordinaryIniReaderSeesTheSections)
{
    form.SetStr("Paths/Firmware", QString::fromUtf8("C:\\Firmware\\Sarvik 100% Größe.hex"));
    form.SaveToFile(ini);
    const QString python = QStandardPaths::findExecutable("python3");
    ASSERT_FALSE(python.isEmpty()) << "python3 is installed by scripts/install-deps.sh";
    QProcess proc;
    proc.start(python, {QStringLiteral(SETTINGS_INI_CHECK_SCRIPT), ini});
    ASSERT_TRUE(proc.waitForFinished(60000));
    EXPECT_EQ(proc.exitCode(), 0) << proc.readAllStandardError().toStdString()
                                  << proc.readAllStandardOutput().toStdString();
}

// Runs save as a user without special rights and returns its error text ("<no error>" when it
// succeeded). As root the call runs in a child process that has dropped to "nobody": root may
// write any file and folder. Empty when that is impossible.
std::optional<QString> errorAsOrdinaryUser(const std::function<void()>& save)
{
    if (::geteuid() != 0)
        return errorOf(save);
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody)
        return std::nullopt;
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    int pipeFd[2];
    if (::pipe(pipeFd) != 0)
        return std::nullopt;
    std::cout.flush();
    const pid_t child = ::fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        ::close(pipeFd[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(2);
        const QByteArray text = errorOf(save).toUtf8();
        const bool written = ::write(pipeFd[1], text.constData(), static_cast<size_t>(text.size())) == text.size();
        ::_exit(written ? 0 : 3);
    }
    ::close(pipeFd[1]);
    QByteArray text;
    char buf[512];
    for (ssize_t n; (n = ::read(pipeFd[0], buf, sizeof buf)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        text.append(buf, n);
    }
    ::close(pipeFd[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return QString::fromUtf8(text);
}

TEST_F(settings_File, rightsOfFileAndFolderDecideHowTheFileIsSaved)
{
    const QByteArray old = "[settings/General]\nLogging=1\nHandKey=keep me\n";
    const QString permissionDenied = QString::fromLocal8Bit(std::strerror(EACCES));
    struct Case {
        const char* name;
        mode_t folder;
        mode_t file;
        bool saved;
    };
    const Case cases[] = {
        {"file read-only, folder writable: refused", 0777, 0644, false},
        {"file writable, folder read-only: saved in place", 0755, 0666, true},
        {"neither writable: refused", 0755, 0644, false},
        {"both writable: saved", 0777, 0666, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = dir.filePath(QString::fromUtf8(c.name).left(8).replace(QLatin1Char(' '), QLatin1Char('_')));
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString file = folder + QStringLiteral("/SarvikControl.ini");
        writeFile(file, old);
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), c.folder), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), c.file), 0);
        form.SetBool("General/ConfirmExit", true);

        const std::optional<QString> error = errorAsOrdinaryUser([&] { form.SaveToFile(file); });
        if (!error)
            GTEST_SKIP() << "running as root without a user to drop to";
        const QByteArray now = readFile(file);
        if (c.saved) {
            EXPECT_EQ(*error, QStringLiteral("<no error>"));
            EXPECT_TRUE(now.contains("HandKey=keep me\nConfirmExit=1\n")) << now.toStdString();
        } else {
            EXPECT_TRUE(error->contains(permissionDenied)) << error->toStdString();
            EXPECT_EQ(now, old);
        }
        EXPECT_EQ(QFileInfo(file).permissions() & QFileDevice::WriteOther,
                  (c.file & S_IWOTH) ? QFileDevice::WriteOther : QFileDevice::Permissions())
            << "the file keeps its mode";
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"SarvikControl.ini"});
    }
}

TEST_F(settings_File, oneLineThatIsNoUtf8_leavesTheOthersAsTheyAre)
{
    // Hand-edited in an ANSI editor: one line in Windows-1252, the rest UTF-8 as written.
    QByteArray bytes = "[settings/General]\nLogging=1\n[settings/Paths]\n";
    bytes += "Firmware=C:\\M\xc3\xbcller\\fw.hex\n";            // UTF-8 "Müller"
    bytes += "Log=C:\\K\xf6ln \x80 \x93x\x94\n";                  // Windows-1252
    bytes += "[Custom]\nName=Stra\xc3\x9f" "e\n";                    // UTF-8 "Straße"
    readText(bytes);
    EXPECT_EQ(form.GetStr("Paths/Firmware"), QString::fromUtf8("C:\\Müller\\fw.hex"));
    EXPECT_EQ(form.GetStr("Paths/Log"), QString::fromUtf8("C:\\Köln € “x”"));

    form.SaveToFile(ini);
    const QByteArray written = readFile(ini);
    EXPECT_TRUE(written.contains("Firmware=C:\\M\xc3\xbcller\\fw.hex\n")) << "not encoded twice";
    EXPECT_TRUE(written.contains("Name=Stra\xc3\x9f" "e\n"));
    EXPECT_TRUE(written.contains(QString::fromUtf8("Log=C:\\Köln € “x”\n").toUtf8()));
    TFSettingsForm again;
    BuildProgramSettings(again);
    again.ReadFromFile(ini);
    EXPECT_EQ(again.GetStr("Paths/Firmware"), QString::fromUtf8("C:\\Müller\\fw.hex"));
    EXPECT_EQ(again.GetStr("Paths/Log"), QString::fromUtf8("C:\\Köln € “x”"));
}

struct TFloatTextCase {
    long double value;
    const char* text;
};

TEST(settings_IniNumbers, floatsInGeneralFormatWithPoint)
{
    const TFloatTextCase cases[] = {{0, "0"},          {1, "1"},        {0.001L, "0.001"}, {1.5L, "1.5"},
                                    {-2.25L, "-2.25"}, {1e20L, "1E20"}, {1e-7L, "1E-7"},  {0.1L + 0.2L, "0.3"},
                                    {123456789012345678.0L, "1.23456789012346E17"}};
    for (const auto& c : cases) {
        EXPECT_EQ(FloatToIniText(c.value), c.text);
        long double back = 0;
        EXPECT_TRUE(IniTextToFloat(c.text, back)) << c.text;
    }
    long double v = 0;
    EXPECT_TRUE(IniTextToFloat(FloatToIniText(HUGE_VALL), v));
    EXPECT_TRUE(std::isinf(v));
    for (const char* bad : {"1,5", "", "nan", "1.5x", "1.000,5", "abc"})
        EXPECT_FALSE(IniTextToFloat(bad, v)) << bad;
    EXPECT_TRUE(IniTextToFloat(" 2.5 ", v));
    EXPECT_EQ(double(v), 2.5);
}

TEST(settings_IniNumbers, integersDecimalOrHex)
{
    const struct {
        const char* text;
        bool ok;
        qint32 value;
    } cases[] = {{"42", true, 42},          {"-7", true, -7},          {"0x1F", true, 31},
                 {"$ff", true, 255},        {"$FFFFFFFF", true, -1},   {"2147483647", true, 2147483647},
                 {"-2147483648", true, -2147483647 - 1},              {"2147483648", false, 0},
                 {"True", false, 0},        {"", false, 0},            {"1.5", false, 0},
                 {"0x", false, 0},          {"$100000000", false, 0}};
    for (const auto& c : cases) {
        qint32 v = 0;
        EXPECT_EQ(IniTextToInteger(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

}  // namespace
