#include "settingstexts.h"

#include <QLocale>

#include <array>
#include <cmath>

namespace {

constexpr const char* kNoFrench = "Je ne parle pas français";
constexpr const char* kNoSpanish = "No halbo español";

struct TTextRow {
    TSettingsText id;
    std::array<const char*, kSettingsLanguageCount> texts;
};

// Column order: slDE, slEN, slFR, slES.
constexpr TTextRow kTextTable[] = {
    {TSettingsText::LangDeutsch, {"Deutsch", "Deutsch", "Deutsch", "Deutsch"}},
    {TSettingsText::LangEnglish, {"English", "English", "English", "English"}},
    {TSettingsText::LangFrancais, {"Français", "Français", "Français", "Français"}},
    {TSettingsText::LangEspanol, {"Enspañol", "Enspañol", "Enspañol", "Enspañol"}},
    {TSettingsText::Save, {"Speichern", "Save", "Enregistrer", "Guardar"}},
    {TSettingsText::Close, {"Schließen", "Close", "Fermer", "Cerrar"}},
    {TSettingsText::Settings, {"Einstellungen", "Settings", "Paramètres", "Configuración"}},
    {TSettingsText::SettingsSaved,
     {"Einstellungen gespeichert", "Settings saved", "Parmètres enregistré", "Guardare la configuración"}},
    {TSettingsText::DuplicateIdentifier,
     {"Doppelter Identifier \"%s\" im Knoten %s", "Duplicate identifier \"%s\" in node %s", kNoFrench, kNoSpanish}},
    {TSettingsText::NoSubnode,
     {"Knoten %s enthält keinen Unterknoten \"%s\"", "Node %s does not contain a subnode \"%s\"", kNoFrench,
      kNoSpanish}},
    {TSettingsText::ReallyClose,
     {"Aufgrund von fehlerhaften Eingaben konnten nicht alle Einstellungen gepeichert werden.\r\n\r\n"
      "Wirklich schließen?",
      "Due to erroneous input, not all settings could be saved.\r\n\r\nDo you really want to close?", kNoFrench,
      kNoSpanish}},
    {TSettingsText::CannotReturnType,
     {"Kann keinen Wert vom Typ %s zurückgeben", "Cannot return a value of type %s", kNoFrench, kNoSpanish}},
    {TSettingsText::CannotSetType,
     {"Kann keinen Wert vom Typ %s setzen", "Cannot set value of type %s", kNoFrench, kNoSpanish}},
    {TSettingsText::IllegalPosition,
     {"Ungültiger Zugriff auf Position %d,%d", "Illegal acces to position %d,%d", kNoFrench, kNoSpanish}},
    {TSettingsText::CannotAccess, {"Auf %s kann nicht zugegriffen werden", "Cannot access %s", kNoFrench, kNoSpanish}},
    {TSettingsText::TextTooLong,
     {"Text muss kürzer als %d Zeichen sein.", "Text has to be shorter than %d characters", kNoFrench, kNoSpanish}},
    {TSettingsText::IntTooLarge,
     {"Wert muss kleiner als %d sein.", "Value has to be smaller than %d", kNoFrench, kNoSpanish}},
    {TSettingsText::IntTooSmall,
     {"Wert muss größer als %d sein.", "Value has to be greater than %d", kNoFrench, kNoSpanish}},
    {TSettingsText::InvalidInteger, {"Kein gültiger Integer-Wert", "Invalid integer value", kNoFrench, kNoSpanish}},
    {TSettingsText::FloatTooLarge,
     {"Wert muss kleiner als %.*f sein.", "Value has to be smaller than %.*f", kNoFrench, kNoSpanish}},
    {TSettingsText::FloatTooSmall,
     {"Wert muss größer als %.*f sein.", "Value has to be greater than %.*f", kNoFrench, kNoSpanish}},
    {TSettingsText::InvalidFloat, {"Kein gültiger Float-Wert", "Invalid float value", kNoFrench, kNoSpanish}},
    {TSettingsText::CoordNotInteger,
     {"%s-Wert ist kein gültiger Integer", "%s value is not a valid integer", kNoFrench, kNoSpanish}},
    {TSettingsText::TooManyParameters, {"Zu viele Paramter", "Too many parameters", kNoFrench, kNoSpanish}},
    {TSettingsText::PathTooLong, {"Pfad is zu lang", "Path is too long", kNoFrench, kNoSpanish}},
    {TSettingsText::CoordinatesTwice,
     {"Koordinaten dürfen nur entweder im Pfad ODER als Parameter übergeben werden",
      "Coordinates may only be given in the path OR as parameters", kNoFrench, kNoSpanish}},
    {TSettingsText::OutOfRange,
     {"Zugriff außerhalb des gültigen Bereichs", "Access out of range", kNoFrench, kNoSpanish}},
    {TSettingsText::OnlyNegativeY,
     {"Zugriff nur mit y < 0 möglich", "Access only possible with y < 0", kNoFrench, kNoSpanish}},
    {TSettingsText::NoFieldWithX,
     {"Kein %s mit x = %d vorhanden", "No %s with x = %d available", kNoFrench, kNoSpanish}},
    {TSettingsText::CannotAccessAs,
     {"Auf %s kann nicht als %s zugegriffen werden", "Cannot access %s as %s", kNoFrench, kNoSpanish}},
    {TSettingsText::BaudRate, {"Baud-Rate", "Baud rate", "Baud rate", "Baud rate"}},
    {TSettingsText::Timeout, {"Timeout", "Timeout", "Timeout", "Timeout"}},
    {TSettingsText::ReadInterval,
     {"Abfrageintervall", "Read interval", "Intervalle d'interrogation", "Intervalo de la interrogación"}},
    {TSettingsText::LogCommunication,
     {"Kommunikation aufzeichen", "Log communication", "Enregistrer communication", "Registrar la comunicación"}},
    {TSettingsText::NamedInvalidInteger,
     {"%s ist kein gültiger Integer-Wert", "%s is not a valid integer value", kNoFrench, kNoSpanish}},
    {TSettingsText::InvalidSelection,
     {"%s ist keine gültige Auswahl", "%s is not a valid selection", kNoFrench, kNoSpanish}},
    {TSettingsText::FileMissing, {"Datei existiert nicht", "File does not exist", kNoFrench, kNoSpanish}},
    {TSettingsText::DirMissing, {"Verzeichnis existiert nicht", "Directory does not exist", kNoFrench, kNoSpanish}},
};

constexpr bool tableInEnumOrder()
{
    for (size_t i = 0; i < std::size(kTextTable); ++i)
        if (static_cast<size_t>(kTextTable[i].id) != i)
            return false;
    return std::size(kTextTable) == static_cast<size_t>(TSettingsText::DirMissing) + 1;
}
static_assert(tableInEnumOrder(), "the text table is indexed by TSettingsText");

}  // namespace

QString SettingsText(TSettingsText id, int lang)
{
    const auto row = static_cast<size_t>(id);
    const int column = (lang >= 0 && lang < kSettingsLanguageCount) ? lang : slDE;
    return QString::fromUtf8(kTextTable[row].texts[static_cast<size_t>(column)]);
}

QString LanguageName(int lang)
{
    switch (lang) {
    case slDE: return SettingsText(TSettingsText::LangDeutsch, slDE);
    case slEN: return SettingsText(TSettingsText::LangEnglish, slDE);
    case slFR: return SettingsText(TSettingsText::LangFrancais, slDE);
    case slES: return SettingsText(TSettingsText::LangEspanol, slDE);
    default: return QString();
    }
}

QString FillText(const QString& pattern, std::initializer_list<QString> args)
{
    static const QString kPlaceholders[] = {QStringLiteral("%.*f"), QStringLiteral("%s"), QStringLiteral("%d")};
    QString out;
    out.reserve(pattern.size() + 32);
    auto arg = args.begin();
    qsizetype i = 0;
    while (i < pattern.size()) {
        bool replaced = false;
        if (pattern.at(i) == QLatin1Char('%') && arg != args.end()) {
            for (const QString& ph : kPlaceholders) {
                if (QStringView(pattern).mid(i).startsWith(ph)) {
                    out += *arg++;
                    i += ph.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            out += pattern.at(i++);
    }
    return out;
}

QString SettingsMessage(TSettingsText id, int lang, std::initializer_list<QString> args)
{
    return FillText(SettingsText(id, lang), args);
}

QString FormatFixed(long double value, int decimals)
{
    const double v = static_cast<double>(value);
    if (std::isinf(v))
        return v < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (std::isnan(v))
        return QStringLiteral("NAN");
    QString text = QString::number(v, 'f', decimals < 0 ? 0 : decimals);
    const QString point = QLocale().decimalPoint();
    if (point != QLatin1String("."))
        text.replace(QLatin1Char('.'), point);
    return text;
}

void RaiseSettingsError(TSettingsText id, int lang, std::initializer_list<QString> args)
{
    throw ESettingsError(SettingsMessage(id, lang, args));
}

void RaiseSettingsError(const QString& message)
{
    throw ESettingsError(message);
}

QString FloatConversionMessage(const QString& text, const QString& where, int lang)
{
    const QString pattern = lang == slDE ? QStringLiteral("'%1' ist kein gültiger Gleitkommawert (%2)")
                                         : QStringLiteral("'%1' is not a valid floating point value (%2)");
    return pattern.arg(text, where);
}
