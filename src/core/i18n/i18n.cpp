#include "i18n.h"

#include "formatsettings.h"
#include "mocatalog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>

#include <memory>

Q_LOGGING_CATEGORY(lcI18n, "sarvik.core.i18n")

namespace {

struct TTranslation {
    int language = kLangGerman;
    TMoCatalog catalogue;
    QString cataloguePath;
    QStringList dirs;  // empty = defaults
    // Qt's own texts (standard buttons, file dialog) in the program language.
    std::unique_ptr<QTranslator> qtCatalogue;
    QString qtCataloguePath;
};

TTranslation& translation()
{
    static TTranslation t;
    return t;
}

QStringList defaultDirs()
{
    QStringList dirs;
    const QString env = qEnvironmentVariable("SARVIK_LOCALE_DIR");
    if (!env.isEmpty())
        dirs << env;
    if (QCoreApplication::instance()) {
        dirs << QDir(QCoreApplication::applicationDirPath())
                    .absoluteFilePath(QStringLiteral("../") + QStringLiteral(SARVIK_LOCALE_DIR_RELATIVE));
    }
    dirs << QStringLiteral(SARVIK_LOCALE_DIR_INSTALLED) << QStringLiteral(SARVIK_LOCALE_DIR_BUILD);
    return dirs;
}

// The catalogue directory names of a language code, most specific first.
QStringList languageDirs(const QString& code)
{
    return {code, code.section(QLatin1Char('_'), 0, 0)};
}

QString findCatalogue(const QString& code)
{
    const QString file = QStringLiteral("/LC_MESSAGES/") + QLatin1String(kTextDomain) + QStringLiteral(".mo");
    for (const QString& dir : CatalogueDirs()) {
        for (const QString& lang : languageDirs(code)) {
            const QString path = QDir::cleanPath(dir + QLatin1Char('/') + lang + file);
            if (QFileInfo(path).isFile())
                return path;
        }
    }
    return {};
}

// Qt's catalogue ("qt_de.qm" loads the ones of its modules) from Qt's translation directory or
// a "translations" directory beside the program.
void applyQtCatalogue(TTranslation& t, const QString& code)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (t.qtCatalogue) {
        if (app)
            QCoreApplication::removeTranslator(t.qtCatalogue.get());
        t.qtCatalogue.reset();
        t.qtCataloguePath.clear();
    }
    // Qt's source texts are English.
    if (!app || code.startsWith(QLatin1String("en")))
        return;
    QStringList dirs{QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                     QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("translations"))};
    auto translator = std::make_unique<QTranslator>();
    for (const QString& dir : dirs) {
        if (translator->load(QStringLiteral("qt_") + code, dir)) {
            t.qtCataloguePath = translator->filePath();
            QCoreApplication::installTranslator(translator.get());
            t.qtCatalogue = std::move(translator);
            return;
        }
    }
    qCWarning(lcI18n) << "no Qt catalogue for" << code << "in" << dirs;
}

// German and English both use plural=(n != 1).
int pluralForm(long n)
{
    return n == 1 ? 0 : 1;
}

}  // namespace

QString Tr(const char* msgid)
{
    const TTranslation& t = translation();
    if (t.language != kLangGerman) {
        const QString text = t.catalogue.Lookup(QByteArray(msgid));
        if (!text.isNull())
            return text;
    }
    return QString::fromUtf8(msgid);
}

QString TrN(const char* singular, const char* plural, long n)
{
    const TTranslation& t = translation();
    if (t.language != kLangGerman) {
        const QString text = t.catalogue.LookupPlural(QByteArray(singular), pluralForm(n));
        if (!text.isNull())
            return text;
    }
    return QString::fromUtf8(pluralForm(n) == 0 ? singular : plural);
}

bool SetProgramLanguage(int language)
{
    TTranslation& t = translation();
    if (language != kLangEnglish)
        language = kLangGerman;
    t.language = language;
    t.catalogue.Clear();
    t.cataloguePath.clear();
    SetDisplayLocale(ProgramLanguageCode());
    applyQtCatalogue(t, ProgramLanguageCode());
    if (language == kLangGerman)
        return true;

    const QString path = findCatalogue(ProgramLanguageCode());
    if (path.isEmpty()) {
        qCWarning(lcI18n) << "no catalogue for" << ProgramLanguageCode() << "in" << CatalogueDirs();
        return false;
    }
    if (!t.catalogue.Load(path)) {
        qCWarning(lcI18n) << t.catalogue.ErrorText();
        return false;
    }
    t.cataloguePath = path;
    return true;
}

int ProgramLanguage()
{
    return translation().language;
}

QString ProgramLanguageCode()
{
    return translation().language == kLangEnglish ? QStringLiteral("en_US") : QStringLiteral("de_DE");
}

QStringList CatalogueDirs()
{
    const TTranslation& t = translation();
    return t.dirs.isEmpty() ? defaultDirs() : t.dirs;
}

void SetCatalogueDirs(const QStringList& dirs)
{
    translation().dirs = dirs;
}

QString FindCatalogue(const QString& code)
{
    return findCatalogue(code);
}

QString CataloguePath()
{
    return translation().cataloguePath;
}

QString QtCataloguePath()
{
    return translation().qtCataloguePath;
}
