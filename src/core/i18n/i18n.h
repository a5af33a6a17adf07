#pragma once
// Run-time translation of the German source texts (gettext catalogues compiled by msgfmt).
// Every user-visible text is written in German in the sources and marked with Tr, TrN or
// TrNoop; xgettext collects them with the keywords Tr, TrN:1,2 and TrNoop.
// User-interface thread only.

#include <QString>
#include <QStringList>

constexpr int kLangGerman = 0;
constexpr int kLangEnglish = 1;

// Text domain: the catalogue files are <dir>/<lang>/LC_MESSAGES/sarvikcontrol.mo.
inline constexpr const char* kTextDomain = "sarvikcontrol";

// The translation of msgid in the program language; msgid itself when there is none.
QString Tr(const char* msgid);
// Counted message (ngettext): singular for n == 1, plural otherwise, translated.
QString TrN(const char* singular, const char* plural, long n);
// Marks a text for the catalogue without translating it (tables of texts; Tr them when shown).
constexpr const char* TrNoop(const char* msgid) { return msgid; }

// 0 German ("de_DE"), 1 English ("en_US"); any other value counts as 0. Also sets FmtDisplay
// to the language's locale and installs Qt's own catalogue of the language (button and file
// dialog texts; none for English, Qt's source language). False when the language's catalogue could not be loaded; the
// texts then stay German.
bool SetProgramLanguage(int language);
int ProgramLanguage();
// "de_DE" or "en_US".
QString ProgramLanguageCode();

// Where catalogues are looked for, in order. Default: $SARVIK_LOCALE_DIR, the installed
// location beside the program, the installation prefix, the build tree.
QStringList CatalogueDirs();
// Replaces the search list (tests, packaging); an empty list restores the default.
void SetCatalogueDirs(const QStringList& dirs);
// Path of the catalogue the current language uses; empty for German or when none was found.
QString CataloguePath();

// The catalogue file the program would load for a language code ("en_US"), or empty.
QString FindCatalogue(const QString& code);
// Path of Qt's catalogue in use; empty for English or when none was found.
QString QtCataloguePath();
