#include "formatsettings.h"
#include "i18n.h"
#include "mocatalog.h"

#include <QCoreApplication>
#include <QFile>

#include <clocale>

#include <gtest/gtest.h>

namespace {

// Runs in the plain C locale, as CI does; catalogues must work there all the same.
class core_Translation : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::setlocale(LC_ALL, "C");
        SetCatalogueDirs({});
    }
    void TearDown() override
    {
        SetCatalogueDirs({});
        SetProgramLanguage(kLangGerman);
    }
};

TEST_F(core_Translation, switchingToEnglishAndBack_inTheCLocale)
{
    ASSERT_TRUE(SetProgramLanguage(kLangEnglish)) << CatalogueDirs().join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(ProgramLanguage(), kLangEnglish);
    EXPECT_EQ(ProgramLanguageCode(), QStringLiteral("en_US"));
    EXPECT_FALSE(CataloguePath().isEmpty());
    EXPECT_EQ(Tr("Abbrechen"), QStringLiteral("Cancel"));
    EXPECT_EQ(Tr("Erkannte Geräte:"), QStringLiteral("Detected devices:"));
    EXPECT_EQ(Tr("Kein solcher Text"), QStringLiteral("Kein solcher Text"));
    EXPECT_EQ(FmtDisplay().DecimalSeparator, QLatin1Char('.'));
    EXPECT_EQ(FmtDisplay().Locale.name(), QStringLiteral("en_US"));

    for (int german : {kLangGerman, 7, -1}) {
        SCOPED_TRACE(german);
        ASSERT_TRUE(SetProgramLanguage(kLangEnglish));
        EXPECT_TRUE(SetProgramLanguage(german));
        EXPECT_EQ(ProgramLanguage(), kLangGerman);
        EXPECT_EQ(ProgramLanguageCode(), QStringLiteral("de_DE"));
        EXPECT_EQ(Tr("Erkannte Geräte:"), QStringLiteral("Erkannte Geräte:"));
        EXPECT_EQ(FmtDisplay().DecimalSeparator, QLatin1Char(','));
        EXPECT_EQ(FmtDisplay().Locale.name(), QStringLiteral("de_DE"));
    }
}

TEST_F(core_Translation, qtsOwnTextsFollowTheProgramLanguage)
{
    // Qt's standard buttons and file dialog take their texts from Qt's catalogue.
    struct Case {
        const char* context;
        const char* source;
        const char* german;
    };
    const Case cases[] = {
        {"QPlatformTheme", "&Yes", "&Ja"},
        {"QPlatformTheme", "&No", "&Nein"},
        {"QFileDialog", "Look in:", "Suchen in:"},
        {"QFileDialog", "File &name:", "Datei&name:"},
    };
    auto translated = [](const Case& c) { return QCoreApplication::translate(c.context, c.source); };
    ASSERT_TRUE(SetProgramLanguage(kLangGerman));
    EXPECT_FALSE(QtCataloguePath().isEmpty());
    for (const Case& c : cases)
        EXPECT_EQ(translated(c), QString::fromUtf8(c.german)) << c.source;
    ASSERT_TRUE(SetProgramLanguage(kLangEnglish));
    EXPECT_TRUE(QtCataloguePath().isEmpty());
    for (const Case& c : cases)
        EXPECT_EQ(translated(c), QString::fromUtf8(c.source)) << c.source;
    ASSERT_TRUE(SetProgramLanguage(kLangGerman));
    EXPECT_EQ(translated(cases[0]), QStringLiteral("&Ja"));
}

TEST_F(core_Translation, countedMessages_followThePluralRule)
{
    SetCatalogueDirs({QStringLiteral(CORE_FIXTURE_LOCALE)});
    struct Case {
        long n;
        const char* german;
        const char* english;
    };
    const Case cases[] = {
        {0, "%d Datensätze geladen", "%d records loaded"},
        {1, "%d Datensatz geladen", "%d record loaded"},
        {2, "%d Datensätze geladen", "%d records loaded"},
        {-1, "%d Datensätze geladen", "%d records loaded"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        ASSERT_TRUE(SetProgramLanguage(kLangGerman));
        EXPECT_EQ(TrN("%d Datensatz geladen", "%d Datensätze geladen", c.n), QString::fromUtf8(c.german));
        ASSERT_TRUE(SetProgramLanguage(kLangEnglish));
        EXPECT_EQ(TrN("%d Datensatz geladen", "%d Datensätze geladen", c.n), QString::fromUtf8(c.english));
    }
    // Not in the catalogue, or left empty there: the German source text.
    EXPECT_EQ(TrN("Ein Gerät", "%d Geräte", 3), QStringLiteral("%d Geräte"));
    EXPECT_EQ(Tr("Übersetzung fehlt"), QStringLiteral("Übersetzung fehlt"));
}

TEST_F(core_Translation, missingCatalogue_keepsGermanAndSaysSo)
{
    SetCatalogueDirs({QStringLiteral("/nonexistent")});
    EXPECT_FALSE(SetProgramLanguage(kLangEnglish));
    EXPECT_EQ(Tr("Abbrechen"), QStringLiteral("Abbrechen"));
    EXPECT_TRUE(CataloguePath().isEmpty());
}

TEST(core_MoCatalog, damagedFiles_areRejectedWithoutReadingOutside)
{
    QFile file(QStringLiteral(CORE_FIXTURE_LOCALE "/en/LC_MESSAGES/sarvikcontrol.mo"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    TMoCatalog catalogue;
    ASSERT_TRUE(catalogue.LoadData(good));
    EXPECT_EQ(catalogue.Lookup("Abbrechen"), QStringLiteral("Cancel"));

    auto withWord = [&good](int offset, quint32 value) {
        QByteArray d = good;
        for (int i = 0; i < 4; ++i)
            d[offset + i] = char((value >> (8 * i)) & 0xff);
        return d;
    };
    struct Case {
        const char* name;
        QByteArray data;
    };
    const Case cases[] = {
        {"empty", QByteArray()},
        {"header cut", good.left(20)},
        {"wrong magic", withWord(0, 0x12345678U)},
        {"unknown revision", withWord(4, 0x00020000U)},
        {"huge count", withWord(8, 0x7fffffffU)},
        {"table offset outside", withWord(12, quint32(good.size()))},
        {"strings cut off", good.left(good.size() - 8)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(catalogue.LoadData(c.data, QStringLiteral("x.mo")));
        EXPECT_TRUE(catalogue.IsEmpty());
        EXPECT_FALSE(catalogue.ErrorText().isEmpty());
        EXPECT_TRUE(catalogue.Lookup("Abbrechen").isNull());
    }
}

TEST(core_Format, notationsFormatAndParseAsTheirSettingsSay)
{
    EXPECT_EQ(FmtPoint().DecimalSeparator, QLatin1Char('.'));
    EXPECT_EQ(FmtComma().DecimalSeparator, QLatin1Char(','));
    EXPECT_NE(FmtComma().ThousandSeparator, QLatin1Char(','));

    struct Case {
        const TFormatSettings& fmt;
        const char* pattern;
        QVariantList args;
        const char* expected;
    };
    const Case cases[] = {
        {FmtPoint(), "%.2f", {3.14159}, "3.14"},
        {FmtComma(), "%.2f l/min", {3.14159}, "3,14 l/min"},
        {FmtDevice(), "%2.2d:%2.2d m:s", {5, 7}, "05:07 m:s"},
        {FmtComma(), "%5.1f|%-4d|%4s|%x|%%", {-2.26, 42, QStringLiteral("ab"), 255}, " -2,3|42  |  ab|ff|%"},
        {FmtPoint(), "%s (%s)", {QStringLiteral("[Sarvik2V2]"), QStringLiteral("/dev/ttyACM7")}, "[Sarvik2V2] (/dev/ttyACM7)"},
        {FmtPoint(), "%d of %d", {1}, "1 of %d"},
        {FmtPoint(), "%.3s|%c|%ld", {QStringLiteral("Sarvik"), QStringLiteral("Xy"), 12}, "Sar|X|12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(c.fmt.Format(QString::fromUtf8(c.pattern), c.args), QString::fromUtf8(c.expected));
    }
    EXPECT_EQ(FmtComma().FormatFloat(1.005, 1), QStringLiteral("1,0"));
    EXPECT_EQ(FmtDevice().FormatDate(QDate(2024, 12, 31)), QStringLiteral("31.12.2024"));
    EXPECT_EQ(FmtDevice().FormatTime(QTime(7, 5, 9)), QStringLiteral("07:05:09"));
    EXPECT_EQ(FmtDevice().FormatTime(QTime(7, 5, 9), false), QStringLiteral("07:05"));
    QDate date;
    ASSERT_TRUE(FmtDevice().ParseDate(QStringLiteral("01.02.2025"), date));
    EXPECT_EQ(date, QDate(2025, 2, 1));
    QTime time;
    ASSERT_TRUE(FmtDevice().ParseTime(QStringLiteral("23:59:58"), time));
    EXPECT_EQ(time, QTime(23, 59, 58));
    EXPECT_FALSE(FmtDevice().ParseDate(QStringLiteral("31.02.2025"), date));
}

TEST(core_Format, parseFloat_acceptsOnlyItsOwnNotation)
{
    struct Case {
        const TFormatSettings& fmt;
        const char* text;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {FmtPoint(), " 1.25 ", true, 1.25},
        {FmtPoint(), "-3e2", true, -300.0},
        {FmtComma(), "1,25", true, 1.25},
        {FmtPoint(), "1,25", false, 0},
        {FmtComma(), "1.000,5", false, 0},
        {FmtPoint(), "", false, 0},
        {FmtPoint(), "12abc", false, 0},
        {FmtPoint(), "nan", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        double v = -1;
        EXPECT_EQ(c.fmt.ParseFloat(QString::fromUtf8(c.text), v), c.ok);
        if (c.ok)
            EXPECT_DOUBLE_EQ(v, c.value);
        else
            EXPECT_EQ(v, -1);
    }
}

}  // namespace

TEST(core_Format, longTimeFormatCarriesNoTimeZone)
{
    for (const char* name : {"de_DE", "en_US"}) {
        const TFormatSettings fmt = TFormatSettings::FromLocale(QLocale(QString::fromLatin1(name)));
        const QString shown = fmt.Locale.toString(QTime(13, 2, 0), fmt.QtPattern(fmt.LongTimeFormat));
        EXPECT_FALSE(fmt.LongTimeFormat.contains(QLatin1Char('t'))) << name << " " << fmt.LongTimeFormat.toStdString();
        EXPECT_TRUE(shown.startsWith(QStringLiteral("13:02:00")) || shown.startsWith(QStringLiteral("1:02:00")))
            << name << " " << shown.toStdString();
        EXPECT_FALSE(shown.contains(QStringLiteral("UTC"))) << name << " " << shown.toStdString();
    }
}
