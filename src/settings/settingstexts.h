#pragma once
// The settings module's own text table (one column per language) and its error type. This is
// not the program's translation catalogue: the tree must speak its texts without it.

#include <QString>

#include <initializer_list>
#include <stdexcept>

enum TSettingsLanguage : int { slDE = 0, slEN = 1, slFR = 2, slES = 3 };

constexpr int kSettingsLanguageCount = 4;

// Rows of the text table.
enum class TSettingsText : int {
    LangDeutsch,
    LangEnglish,
    LangFrancais,
    LangEspanol,
    Save,
    Close,
    Settings,
    SettingsSaved,
    DuplicateIdentifier,
    NoSubnode,
    ReallyClose,
    CannotReturnType,
    CannotSetType,
    IllegalPosition,
    CannotAccess,
    TextTooLong,
    IntTooLarge,
    IntTooSmall,
    InvalidInteger,
    FloatTooLarge,
    FloatTooSmall,
    InvalidFloat,
    CoordNotInteger,
    TooManyParameters,
    PathTooLong,
    CoordinatesTwice,
    OutOfRange,
    OnlyNegativeY,
    NoFieldWithX,
    CannotAccessAs,
    BaudRate,
    Timeout,
    ReadInterval,
    LogCommunication,
    NamedInvalidInteger,
    InvalidSelection,
    FileMissing,
    DirMissing,
};

// German-only texts that do not follow the language.
inline constexpr const char* kTextNoCaption = "Mindestens eine Beschreibung muss angegeben werden";
inline constexpr const char* kTextNegativeLanguage = "Sprachindex muss >= 0 sein";
inline constexpr const char* kTextBadItemCount = "Ungültige Anzahl an Elementen";

// The row's text in the language; an index beyond the table falls back to German.
QString SettingsText(TSettingsText id, int lang);

// The name of a language as that language writes it ("Deutsch", "English", ...); empty when the
// number names no language of the table.
QString LanguageName(int lang);

// Fills the printf-like placeholders "%s", "%d" and "%.*f" of a table text in order with
// already formatted arguments.
QString FillText(const QString& pattern, std::initializer_list<QString> args);

// SettingsText + FillText.
QString SettingsMessage(TSettingsText id, int lang, std::initializer_list<QString> args = {});

// "%.*f" with the decimal separator of the default locale (the system's unless the program
// set another one).
QString FormatFixed(long double value, int decimals);

// Every failure of the tree that is not a rejected value.
class ESettingsError : public std::runtime_error {
public:
    explicit ESettingsError(const QString& message)
        : std::runtime_error(message.toStdString()), FMessage(message)
    {
    }
    const QString& message() const noexcept { return FMessage; }

private:
    QString FMessage;
};

[[noreturn]] void RaiseSettingsError(TSettingsText id, int lang, std::initializer_list<QString> args = {});
[[noreturn]] void RaiseSettingsError(const QString& message);

// The conversion error of a settings-file number that is not written with "." (German in the
// German tree, English otherwise); where names the key.
QString FloatConversionMessage(const QString& text, const QString& where, int lang);
