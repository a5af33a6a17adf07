#include "appcontext.h"
#include "i18n.h"
#include "programsettings.h"
#include "settingsform.h"
#include "sysmeld.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <memory>

namespace {

// One coloured run of a line read back from RTF.
struct TRun {
    QColor colour;
    QString text;
};
using TRtfLines = QList<QList<TRun>>;

// Reads back what SysMeldToRtf writes: the colour table and, per \par, the runs with their
// colours. Fails the test on unbalanced groups or a missing header.
TRtfLines readRtf(const QByteArray& rtf)
{
    TRtfLines lines;
    EXPECT_TRUE(rtf.startsWith("{\\rtf1")) << rtf.left(20).constData();
    const qsizetype tableStart = rtf.indexOf("{\\colortbl;");
    const qsizetype tableEnd = rtf.indexOf('}', tableStart);
    if (tableStart < 0 || tableEnd < 0) {
        ADD_FAILURE() << "no colour table";
        return lines;
    }
    QList<QColor> table{QColor()};  // entry 0: the reader's default
    static const QRegularExpression entry(QStringLiteral("\\\\red(\\d+)\\\\green(\\d+)\\\\blue(\\d+);"));
    const QString tableText = QString::fromLatin1(rtf.mid(tableStart, tableEnd - tableStart));
    for (auto it = entry.globalMatch(tableText); it.hasNext();) {
        const auto m = it.next();
        table.append(QColor(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()));
    }

    int depth = 0;
    for (qsizetype i = 0; i < tableStart; ++i)
        depth += rtf[i] == '{' ? 1 : rtf[i] == '}' ? -1 : 0;
    QList<TRun> line;
    QColor colour;
    auto appendText = [&](QChar c) {
        if (line.isEmpty() || line.last().colour != colour)
            line.append({colour, QString()});
        line.last().text += c;
    };
    for (qsizetype i = tableEnd + 1; i < rtf.size(); ++i) {
        const char c = rtf[i];
        if (c == '{' || c == '}') {
            depth += c == '{' ? 1 : -1;
        } else if (c == '\r' || c == '\n') {
        } else if (c != '\\') {
            appendText(QLatin1Char(c));
        } else if (i + 1 < rtf.size() && QByteArrayView("\\{}").contains(rtf[i + 1])) {
            appendText(QLatin1Char(rtf[++i]));
        } else {
            qsizetype j = i + 1;
            while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j])))
                ++j;
            const QByteArray word = rtf.mid(i + 1, j - i - 1);
            const qsizetype numStart = j;
            if (j < rtf.size() && rtf[j] == '-')
                ++j;
            while (j < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[j])))
                ++j;
            const int number = rtf.mid(numStart, j - numStart).toInt();
            if (j < rtf.size() && rtf[j] == ' ')
                ++j;
            if (word == "cf") {
                colour = table.value(number);
            } else if (word == "par") {
                lines.append(line);
                line.clear();
            } else if (word == "tab") {
                appendText(QLatin1Char('\t'));
            } else if (word == "u") {
                appendText(QChar(static_cast<char16_t>(number)));
                ++j;  // the "?" for readers without Unicode
            }
            i = j - 1;
        }
    }
    EXPECT_EQ(depth, 0) << "unbalanced groups";
    EXPECT_TRUE(line.isEmpty()) << "text after the last \\par";
    return lines;
}

const QRegularExpression kStamp(QStringLiteral("^\\d\\d\\.\\d\\d\\. \\d\\d:\\d\\d:\\d\\d:\\d\\d\\d "));

class core_sysmeld_Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        BuildProgramSettings(settings);
        settings.SetStr(QStringLiteral("Paths/Log"), dir.path());
        window = std::make_unique<TfSysMeld>(context);
        SetSysMeldWindow(window.get());
        SetStatusMessageHook([this](const QString& text, bool alarm) { status.append({text, alarm}); });
        window->SetSaveDialog([this](QWidget*, const QString& proposed) {
            proposedPath = proposed;
            ++dialogCalls;
            return chosenPath;
        });
    }
    void TearDown() override
    {
        SetStatusMessageHook({});
        SetSysMeldWindow(nullptr);
    }

    QString lineText(int n) const { return window->mem1->document()->findBlockByNumber(n).text(); }
    QColor lineColour(int n) const
    {
        const QTextBlock block = window->mem1->document()->findBlockByNumber(n);
        return block.begin().fragment().charFormat().foreground().color();
    }

    QTemporaryDir dir;
    TFSettingsForm settings;
    TAppContext context{settings};
    std::unique_ptr<TfSysMeld> window;
    QList<std::pair<QString, bool>> status;
    QString chosenPath;
    QString proposedPath;
    int dialogCalls = 0;
};

TEST_F(core_sysmeld_Window, startsHiddenAndEmpty)
{
    EXPECT_TRUE(window->isHidden());
    EXPECT_EQ(window->LineCount(), 0);
    EXPECT_EQ(window->FClientID, ciSysMeld);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(core_sysmeld_Window, fullListDropsTheOldestLine)
{
    for (int n = 0; n < TfSysMeld::kMaxLines + 1; ++n)
        window->AddSysMeldLine(QStringLiteral("m%1").arg(n, 4, 10, QLatin1Char('0')), Qt::black, true);
    EXPECT_EQ(window->LineCount(), TfSysMeld::kMaxLines);
    EXPECT_TRUE(lineText(0).endsWith(QStringLiteral(" m0001"))) << lineText(0).toStdString();
    EXPECT_TRUE(lineText(TfSysMeld::kMaxLines - 1).endsWith(QStringLiteral(" m1001")));

    // A message with line breaks of its own may not push the list past the limit either.
    window->AddSysMeldLine(QStringLiteral("a\r\nb\nc"), Qt::black, true);
    EXPECT_EQ(window->LineCount(), TfSysMeld::kMaxLines);
    EXPECT_EQ(lineText(TfSysMeld::kMaxLines - 1), QStringLiteral("c"));
}

QString rectText(const QRect& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

TEST_F(core_sysmeld_Window, alarmPopUp_keepsClearOfTheErrorPanel_andShowsTheNewestLineFromItsStart)
{
    // The error panel's place in screen coordinates; the stored window position lies on it.
    const QRect panel(10, 30, 440, 120);
    window->SetKeepClearArea([panel] { return panel; });
    settings.SetInt(WinPosPath(ciSysMeld, "Left"), 8);
    settings.SetInt(WinPosPath(ciSysMeld, "Top"), 8);
    for (int n = 0; n < 60; ++n)
        window->AddSysMeldLine(QStringLiteral("Zeile %1").arg(n), Qt::black, true);
    ShowSysMessage(QStringLiteral("Luftstrom blockiert, ") + QString(300, QLatin1Char('x')), true);
    ASSERT_TRUE(window->isVisible());
    EXPECT_FALSE(window->frameGeometry().intersects(panel)) << rectText(window->frameGeometry()).toStdString();

    QScrollBar* h = window->mem1->horizontalScrollBar();
    QScrollBar* v = window->mem1->verticalScrollBar();
    ASSERT_GT(h->maximum(), 0) << "the line is wider than the list";
    EXPECT_EQ(h->value(), 0) << "the newest line from its start";
    EXPECT_EQ(v->value(), v->maximum()) << "the newest line in view";
    EXPECT_TRUE(window->mem1->textCursor().block().text().contains(QStringLiteral("ALARM: Luftstrom")));

    // Hidden and shown again by the next alarm, a window the user moved clear stays where it is.
    window->hide();
    window->move(panel.right() + 40, 300);
    const QPoint clear = window->pos();
    ShowSysMessage(QStringLiteral("Motorstörung"), true);
    EXPECT_EQ(window->pos(), clear);
}

TEST_F(core_sysmeld_Window, helpersColourTheLineAndOnlyAlarmsShowTheWindow)
{
    struct Case {
        const char* what;
        std::function<void()> call;
        QString line;
        QColor colour;
        bool alarm;
    };
    const Case cases[] = {
        {"alarm", [] { ShowSysMessage(QStringLiteral("Pumpe blockiert"), true); },
         QStringLiteral("ALARM: Pumpe blockiert"), Qt::red, true},
        {"message", [] { ShowSysMessage(QStringLiteral("Verbunden"), false); }, QStringLiteral("Verbunden"),
         Qt::black, false},
        {"info", [] { ShowSysInfo(QStringLiteral("Info")); }, QStringLiteral("Info"), Qt::black, false},
        {"colour", [] { ShowSysMessageColor(QStringLiteral("Gerät: TIM"), Qt::blue); },
         QStringLiteral("Gerät: TIM"), Qt::blue, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        window->hide();
        window->btnClearClick();
        status.clear();

        c.call();

        ASSERT_EQ(window->LineCount(), 1);
        const QString text = lineText(0);
        EXPECT_TRUE(kStamp.match(text).hasMatch()) << text.toStdString();
        EXPECT_EQ(text.mid(20), c.line);
        EXPECT_EQ(lineColour(0), c.colour);
        EXPECT_EQ(window->isVisible(), c.alarm);
        ASSERT_EQ(status.size(), 1);
        EXPECT_EQ(status[0].second, c.alarm);
        EXPECT_FALSE(status[0].first.startsWith(QStringLiteral("ALARM")));
    }
}

TEST_F(core_sysmeld_Window, emptyTextOnlyClearsTheStatusPanel)
{
    ShowSysMessage(QString(), true);
    ShowSysInfo(QString());
    EXPECT_EQ(window->LineCount(), 0);
    EXPECT_TRUE(window->isHidden());
    EXPECT_EQ(status.size(), 2);
}

TEST_F(core_sysmeld_Window, helpersWithoutWindowOrHookDoNotCrash)
{
    SetSysMeldWindow(nullptr);
    ShowSysMessage(QStringLiteral("früh"), true);
    EXPECT_EQ(status.size(), 1);
    SetStatusMessageHook({});
    ShowSysMessage(QStringLiteral("früh"), true);
    ShowSysMessageColor(QStringLiteral("früh"), Qt::blue);
    ShowSysInfo(QStringLiteral("früh"));
    EXPECT_EQ(window->LineCount(), 0);

    // A destroyed window is forgotten rather than used.
    SetSysMeldWindow(window.get());
    window.reset();
    ShowSysMessage(QStringLiteral("spät"), true);
    EXPECT_EQ(SysMeldWindow(), nullptr);
}

TEST_F(core_sysmeld_Window, escapeAndCloseButtonOnlyHide)
{
    for (const char* how : {"escape", "button"}) {
        SCOPED_TRACE(how);
        ShowSysMessage(QStringLiteral("Alarm"), true);
        ASSERT_TRUE(window->isVisible());
        if (QByteArrayView(how) == "escape")
            QTest::keyClick(window->mem1, Qt::Key_Escape);
        else
            window->btnClose->click();
        EXPECT_TRUE(window->isHidden());
        EXPECT_GE(window->LineCount(), 1);
    }
}

TEST_F(core_sysmeld_Window, saveOfEmptyListReportsAlarmWithoutDialog)
{
    window->btnSave->click();
    EXPECT_EQ(dialogCalls, 0);
    ASSERT_EQ(status.size(), 1);
    EXPECT_EQ(status[0], std::make_pair(QStringLiteral("Keine Systemmeldungen vorhanden"), true));
}

TEST_F(core_sysmeld_Window, saveWritesRtfWithTheColoursAndReportsTheFile)
{
    ShowSysInfo(QStringLiteral("Info {a} \\b\tc"));
    ShowSysMessage(QStringLiteral("Gerät ÄÖÜß µ€ 😀"), true);
    ShowSysMessageColor(QStringLiteral("blau"), Qt::blue);
    chosenPath = QDir(dir.path()).filePath(QStringLiteral("meldungen.rtf"));
    status.clear();

    window->btnSave->click();

    EXPECT_EQ(dialogCalls, 1);
    EXPECT_TRUE(QRegularExpression(QRegularExpression::anchoredPattern(
                                       QRegularExpression::escape(dir.path() + QStringLiteral("/SarvikControl_")) +
                                       QStringLiteral("\\d{14}\\.RTF")))
                    .match(proposedPath)
                    .hasMatch())
        << proposedPath.toStdString();
    ASSERT_EQ(status.size(), 1);
    EXPECT_EQ(status[0],
              std::make_pair(QStringLiteral("Systemmeldungen in Datei %1 gespeichert").arg(chosenPath), false));

    QFile file(chosenPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray rtf = file.readAll();
    for (char c : rtf)
        ASSERT_LT(static_cast<unsigned char>(c), 0x80) << "RTF must be 7-bit";
    const TRtfLines lines = readRtf(rtf);
    ASSERT_EQ(lines.size(), 3);
    const std::pair<QString, QColor> expected[] = {
        {QStringLiteral("Info {a} \\b\tc"), Qt::black},
        {QStringLiteral("ALARM: Gerät ÄÖÜß µ€ 😀"), Qt::red},
        {QStringLiteral("blau"), Qt::blue},
    };
    for (int n = 0; n < 3; ++n) {
        SCOPED_TRACE(n);
        ASSERT_EQ(lines[n].size(), 1);
        EXPECT_EQ(lines[n][0].text, lineText(n));
        EXPECT_EQ(lines[n][0].text.mid(20), expected[n].first);
        EXPECT_EQ(lines[n][0].colour, expected[n].second);
    }
}

TEST_F(core_sysmeld_Window, cancelledOrFailedSaveReportsNotSaved)
{
    ShowSysInfo(QStringLiteral("x"));
    const QString paths[] = {QString(), QDir(dir.path()).filePath(QStringLiteral("fehlt/x.rtf"))};
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        chosenPath = path;
        status.clear();
        window->btnSave->click();
        ASSERT_EQ(status.size(), 1);
        EXPECT_EQ(status[0], std::make_pair(QStringLiteral("Systemmeldungen nicht gespeichert"), true));
        EXPECT_TRUE(window->FStatusAlarm);
    }
}

TEST_F(core_sysmeld_Window, switchLanguageRetranslatesCaptionAndButtons)
{
    ASSERT_TRUE(SetProgramLanguage(kLangEnglish));
    window->SwitchLanguage();
    const QStringList english{window->windowTitle(), window->btnSave->text(), window->btnClear->text(),
                              window->btnClose->text()};
    SetProgramLanguage(kLangGerman);
    window->SwitchLanguage();
    EXPECT_EQ(english, QStringList({"System messages", "Save", "Clear", "Close"}));
    EXPECT_EQ(window->btnClear->text(), QStringLiteral("Löschen"));
}

}  // namespace
