// The preset editor's field checks: duration grammar, decimal rounding and the messages with
// their numbers in the display notation.

#include "i18n.h"
#include "presetfields.h"
#include "qtprinters.h"

#include <gtest/gtest.h>

namespace {

class presets_Fields : public ::testing::Test {
protected:
    void SetUp() override { SetProgramLanguage(kLangGerman); }
};

struct TTimeCase {
    const char* text;
    qint64 seconds;
};

TEST_F(presets_Fields, timeText_grammar)
{
    const TTimeCase cases[] = {
        {"2h", 7200},         {"12:35 h:m", 12 * 3600 + 35 * 60}, {"05:30 m:s", 330}, {"1:30", 90},
        {"90", 90},           {"25:00 h:m", 90000},               {"30:00", 1800},    {"1h30m", 5400},
        {"45 m", 2700},       {"10 s", 10},                       {"", 0},            {"1H 2M", 3720},
    };
    for (const TTimeCase& c : cases) {
        qint64 seconds = -1;
        EXPECT_TRUE(TimeTextSeconds(QString::fromUtf8(c.text), seconds)) << c.text;
        EXPECT_EQ(seconds, c.seconds) << c.text;
    }
    for (const char* invalid : {"1,5h", "abc", "12-30", "1.5"}) {
        qint64 seconds = 0;
        EXPECT_FALSE(TimeTextSeconds(QString::fromUtf8(invalid), seconds)) << invalid;
    }
}

TEST_F(presets_Fields, timeText_rangeMessages)
{
    struct TCase {
        const char* text;
        qint64 min;
        qint64 max;
        const char* message;  // empty: accepted
    };
    const TCase cases[] = {
        {"2h", 0, 86400, ""},
        {"25:00 h:m", 0, 86400, "Wert muss kleiner oder gleich 24:00 h:m sein"},
        {"24:00", 1500, 3600000, "Wert muss größer oder gleich 25:00 m:s sein"},
        {"x1", 0, 86400, "Kein gültiger Zeitwert"},
        // 1193047 h would wrap in 32 bits to 31:40 m:s and pass as a delay.
        {"1193047h", 0, 86400, "Wert muss kleiner oder gleich 24:00 h:m sein"},
        // Far beyond 64 bits as well.
        {"99999999999999999999999999h", 0, 86400, "Wert muss kleiner oder gleich 24:00 h:m sein"},
    };
    for (const TCase& c : cases) {
        qint64 seconds = -1;
        QString message = QStringLiteral("old");
        const bool ok = ParseTimeText(QString::fromUtf8(c.text), c.min, c.max, seconds, message);
        EXPECT_EQ(ok, *c.message == 0) << c.text;
        EXPECT_EQ(message, QString::fromUtf8(c.message)) << c.text;
    }
}

TEST_F(presets_Fields, floatField_roundsHalvesToEven_andNamesTheLimitWithTwoDecimals)
{
    struct TCase {
        const char* text;
        double max;
        int decimals;
        double value;
        const char* message;
    };
    const TCase cases[] = {
        {"0,125", 1.9, 2, 0.12, ""},
        {"0,375", 1.9, 2, 0.38, ""},
        {"0,115", 1.9, 2, 0.12, ""},  // a typed tie stays a tie although 0.115 is below it in binary
        {"1,90", 1.9, 2, 1.9, ""},
        {"1,95", 1.9, 2, 0, "Wert muss kleiner oder gleich 1,90 sein"},
        {"0,04", 1.9, 2, 0, "Wert muss größer oder gleich 0,05 sein"},
        {"12,25", 5000, 1, 12.2, ""},
        {"12,35", 5000, 1, 12.4, ""},
        {"5000,1", 5000, 1, 0, "Wert muss kleiner oder gleich 5000,00 sein"},
        {"1,2,3", 1.9, 2, 0, "Keine gültige Zahl"},
        {"", 1.9, 2, 0, "Keine gültige Zahl"},
    };
    for (const TCase& c : cases) {
        double value = -1;
        QString message;
        const double min = c.decimals == 2 ? 0.05 : 0.5;
        const bool ok = CheckFloatField(QString::fromUtf8(c.text), min, c.max, c.decimals, value, message);
        EXPECT_EQ(message, QString::fromUtf8(c.message)) << c.text;
        EXPECT_EQ(ok, *c.message == 0) << c.text;
        if (ok) {
            EXPECT_DOUBLE_EQ(value, c.value) << c.text;
        } else {
            EXPECT_EQ(value, -1) << c.text << ": a refused text leaves the value alone";
        }
    }
}

TEST_F(presets_Fields, intField_messages)
{
    struct TCase {
        const char* text;
        int value;
        const char* message;
    };
    const TCase cases[] = {
        {"60", 60, ""},
        {"0", 0, ""},
        {"240", 240, ""},
        {"241", 0, "Wert muss kleiner oder gleich 240 sein"},
        {"-1", 0, "Wert muss größer oder gleich 0 sein"},
        {"6x", 0, "Nur Zeichen \"0123456789-\" möglich!"},
        // Digits beyond every integer type are too large, not a wrong character.
        {"99999999999999999999", 0, "Wert muss kleiner oder gleich 240 sein"},
    };
    for (const TCase& c : cases) {
        int value = -1;
        QString message;
        const bool ok = CheckIntField(QString::fromUtf8(c.text), 0, 240, value, message);
        EXPECT_EQ(message, QString::fromUtf8(c.message)) << c.text;
        EXPECT_EQ(ok, *c.message == 0) << c.text;
        EXPECT_EQ(value, ok ? c.value : -1) << c.text;
    }
}

TEST_F(presets_Fields, englishMessages_comeFromTheCatalogue)
{
    if (!SetProgramLanguage(kLangEnglish))
        GTEST_SKIP() << "no English catalogue in this build";
    double value = 0;
    QString message;
    EXPECT_FALSE(CheckFloatField(QStringLiteral("1.95"), 0.05, 1.9, 2, value, message));
    EXPECT_EQ(message, QStringLiteral("Value must be less than or equal to 1.90"));
    SetProgramLanguage(kLangGerman);
}

}  // namespace
