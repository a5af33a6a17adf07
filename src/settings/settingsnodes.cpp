#include "settingsnodes.h"

#include "settingsini.h"

#include <QFileInfo>

#include <cmath>

TStringArrArr MakeLangItems(int langCount, int itemCount, const QStringList& flat)
{
    if (langCount < 0 || itemCount < 0
        || static_cast<qint64>(langCount) * itemCount != static_cast<qint64>(flat.size()))
        RaiseSettingsError(QString::fromUtf8(kTextBadItemCount));
    TStringArrArr result(langCount);
    for (int item = 0; item < itemCount; ++item)
        for (int lang = 0; lang < langCount; ++lang)
            result[lang].append(flat.at(item * langCount + lang));
    return result;
}

QStringList SplitPath(const QString& path)
{
    return path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

// --- TSettingsNode ---

TSettingsNode::TSettingsNode(const QString& identifier_, const QStringList& captions_)
    : identifier(identifier_), captions(captions_)
{
    if (captions.isEmpty())
        RaiseSettingsError(QString::fromUtf8(kTextNoCaption));
    caption = captions.first();
}

void TSettingsNode::SetLanguage(int lang)
{
    if (lang < 0)
        RaiseSettingsError(QString::fromUtf8(kTextNegativeLanguage));
    FLanguage = lang;
    caption = lang < captions.size() ? captions.at(lang) : captions.first();
}

QString TSettingsNode::ToString() const
{
    return parent ? parent->ToString() + QLatin1Char('/') + identifier : identifier;
}

void TSettingsNode::Raise(TSettingsText id, std::initializer_list<QString> args) const
{
    RaiseSettingsError(id, FLanguage, args);
}

QString TSettingsNode::Message(TSettingsText id, std::initializer_list<QString> args) const
{
    return SettingsMessage(id, FLanguage, args);
}

// --- TGroupNode ---

TGroupNode::TGroupNode(const QString& identifier_, const QStringList& captions_)
    : TSettingsNode(identifier_, captions_)
{
}

TSettingsNode* TGroupNode::FindChild(const QString& id) const
{
    for (const auto& child : children)
        if (child->identifier == id)
            return child.get();
    return nullptr;
}

TSettingsNode& TGroupNode::route(const QString& path, QString& tail) const
{
    const qsizetype slash = path.indexOf(QLatin1Char('/'));
    const QString head = slash < 0 ? path : path.left(slash);
    tail = slash < 0 ? QString() : path.mid(slash + 1);
    if (TSettingsNode* child = FindChild(head))
        return *child;
    Raise(TSettingsText::NoSubnode, {ToString(), path});
}

bool TGroupNode::HasError(bool recursive) const
{
    for (const auto& child : children) {
        if ((recursive || dynamic_cast<const TValueNode*>(child.get())) && child->HasError(recursive))
            return true;
    }
    return false;
}

void TGroupNode::SaveToFile(TSettingsIni& ini) const
{
    for (const auto& child : children)
        child->SaveToFile(ini);
}

void TGroupNode::ReadFromFile(const TSettingsIni& ini)
{
    for (const auto& child : children)
        child->ReadFromFile(ini);
}

qint32 TGroupNode::GetIntP(const QString& path, int x, int y) const
{
    QString tail;
    return route(path, tail).GetIntP(tail, x, y);
}

QString TGroupNode::GetStrP(const QString& path, int x, int y) const
{
    QString tail;
    return route(path, tail).GetStrP(tail, x, y);
}

bool TGroupNode::GetBoolP(const QString& path, int x, int y) const
{
    QString tail;
    return route(path, tail).GetBoolP(tail, x, y);
}

long double TGroupNode::GetFloatP(const QString& path, int x, int y) const
{
    QString tail;
    return route(path, tail).GetFloatP(tail, x, y);
}

bool TGroupNode::SetIntP(const QString& path, qint32 val, QString& errMsg, int x, int y)
{
    QString tail;
    return route(path, tail).SetIntP(tail, val, errMsg, x, y);
}

bool TGroupNode::SetStrP(const QString& path, const QString& val, QString& errMsg, int x, int y)
{
    QString tail;
    return route(path, tail).SetStrP(tail, val, errMsg, x, y);
}

bool TGroupNode::SetBoolP(const QString& path, bool val, QString& errMsg, int x, int y)
{
    QString tail;
    return route(path, tail).SetBoolP(tail, val, errMsg, x, y);
}

bool TGroupNode::SetFloatP(const QString& path, long double val, QString& errMsg, int x, int y)
{
    QString tail;
    return route(path, tail).SetFloatP(tail, val, errMsg, x, y);
}

void TGroupNode::SetLanguage(int lang)
{
    TSettingsNode::SetLanguage(lang);
    for (const auto& child : children)
        child->SetLanguage(lang);
}

// --- TValueNode ---

TValueNode::TValueNode(const QString& identifier_, const QStringList& captions_)
    : TSettingsNode(identifier_, captions_)
{
}

bool TValueNode::HasError(bool) const
{
    return error;
}

qint32 TValueNode::GetInt(int, int) const
{
    Raise(TSettingsText::CannotReturnType, {TypeNameInteger()});
}

QString TValueNode::GetStr(int, int) const
{
    Raise(TSettingsText::CannotReturnType, {TypeNameString()});
}

bool TValueNode::GetBool(int, int) const
{
    Raise(TSettingsText::CannotReturnType, {TypeNameBoolean()});
}

long double TValueNode::GetFloat(int, int) const
{
    Raise(TSettingsText::CannotReturnType, {TypeNameFloat()});
}

bool TValueNode::SetInt(qint32, QString&, int, int)
{
    Raise(TSettingsText::CannotSetType, {TypeNameInteger()});
}

bool TValueNode::SetStr(const QString&, QString&, int, int)
{
    Raise(TSettingsText::CannotSetType, {TypeNameString()});
}

bool TValueNode::SetBool(bool, QString&, int, int)
{
    Raise(TSettingsText::CannotSetType, {TypeNameBoolean()});
}

bool TValueNode::SetFloat(long double, QString&, int, int)
{
    Raise(TSettingsText::CannotSetType, {TypeNameFloat()});
}

void TValueNode::NotifyChanged()
{
    const TSettingsNode* top = this;
    while (top->parent)
        top = top->parent;
    if (const auto* root = dynamic_cast<const TGroupNode*>(top); root && root->OnValueChanged)
        root->OnValueChanged(*this);
}

// --- TSingleValueNode ---

void TSingleValueNode::CheckPath(const QString& path) const
{
    QString rest = path;
    rest.remove(QLatin1Char('/'));
    // Named with this node, so "General/Logging/x" reports "Logging/x".
    if (!rest.isEmpty())
        Raise(TSettingsText::CannotAccess, {identifier + QLatin1Char('/') + path});
}

void TSingleValueNode::CheckCoords(int x, int y) const
{
    if (x >= 0 || y >= 0)
        Raise(TSettingsText::IllegalPosition, {QString::number(x), QString::number(y)});
}

QString TSingleValueNode::Section() const
{
    return parent ? parent->ToString() : QString();
}

qint32 TSingleValueNode::GetIntP(const QString& path, int x, int y) const
{
    CheckPath(path);
    return GetInt(x, y);
}

QString TSingleValueNode::GetStrP(const QString& path, int x, int y) const
{
    CheckPath(path);
    return GetStr(x, y);
}

bool TSingleValueNode::GetBoolP(const QString& path, int x, int y) const
{
    CheckPath(path);
    return GetBool(x, y);
}

long double TSingleValueNode::GetFloatP(const QString& path, int x, int y) const
{
    CheckPath(path);
    return GetFloat(x, y);
}

bool TSingleValueNode::SetIntP(const QString& path, qint32 val, QString& errMsg, int x, int y)
{
    CheckPath(path);
    return SetInt(val, errMsg, x, y);
}

bool TSingleValueNode::SetStrP(const QString& path, const QString& val, QString& errMsg, int x, int y)
{
    CheckPath(path);
    return SetStr(val, errMsg, x, y);
}

bool TSingleValueNode::SetBoolP(const QString& path, bool val, QString& errMsg, int x, int y)
{
    CheckPath(path);
    return SetBool(val, errMsg, x, y);
}

bool TSingleValueNode::SetFloatP(const QString& path, long double val, QString& errMsg, int x, int y)
{
    CheckPath(path);
    return SetFloat(val, errMsg, x, y);
}

qint32 TSingleValueNode::GetInt(int x, int y) const
{
    CheckCoords(x, y);
    return TValueNode::GetInt(x, y);
}

QString TSingleValueNode::GetStr(int x, int y) const
{
    CheckCoords(x, y);
    return TValueNode::GetStr(x, y);
}

bool TSingleValueNode::GetBool(int x, int y) const
{
    CheckCoords(x, y);
    return TValueNode::GetBool(x, y);
}

long double TSingleValueNode::GetFloat(int x, int y) const
{
    CheckCoords(x, y);
    return TValueNode::GetFloat(x, y);
}

bool TSingleValueNode::SetInt(qint32 val, QString& errMsg, int x, int y)
{
    CheckCoords(x, y);
    return TValueNode::SetInt(val, errMsg, x, y);
}

bool TSingleValueNode::SetStr(const QString& val, QString& errMsg, int x, int y)
{
    CheckCoords(x, y);
    return TValueNode::SetStr(val, errMsg, x, y);
}

bool TSingleValueNode::SetBool(bool val, QString& errMsg, int x, int y)
{
    CheckCoords(x, y);
    return TValueNode::SetBool(val, errMsg, x, y);
}

bool TSingleValueNode::SetFloat(long double val, QString& errMsg, int x, int y)
{
    CheckCoords(x, y);
    return TValueNode::SetFloat(val, errMsg, x, y);
}

// --- TStringNode ---

TStringNode::TStringNode(const QString& identifier_, const QStringList& captions_, const QString& defaultValue_,
                         qint32 maxLength_)
    : TSingleValueNode(identifier_, captions_), maxLength(maxLength_), value(defaultValue_),
      defaultValue(defaultValue_)
{
}

QString TStringNode::GetStr(int x, int y) const
{
    CheckCoords(x, y);
    return value;
}

bool TStringNode::SetStr(const QString& val, QString& errMsg, int x, int y)
{
    CheckCoords(x, y);
    if (!CheckValue(val, errMsg))
        return false;
    value = val;
    NotifyChanged();
    return true;
}

bool TStringNode::CheckValue(const QString& val, QString& errMsg) const
{
    if (maxLength > 0 && val.size() > maxLength) {
        errMsg = Message(TSettingsText::TextTooLong, {QString::number(maxLength)});
        return false;
    }
    return true;
}

void TStringNode::SaveToFile(TSettingsIni& ini) const
{
    ini.WriteString(Section(), identifier, value);
}

void TStringNode::ReadFromFile(const TSettingsIni& ini)
{
    value = ini.ReadString(Section(), identifier, defaultValue);
    NotifyChanged();
}

// --- TFileSelectionNode, TDirSelectionNode ---

TFileSelectionNode::TFileSelectionNode(const QString& identifier_, const QStringList& captions_,
                                       const QStringList& filters_, const QString& defaultExt_,
                                       const QString& defaultValue_, bool allowEmpty_)
    : TStringNode(identifier_, captions_, defaultValue_, 2147483647), allowEmpty(allowEmpty_),
      filters(filters_.isEmpty() ? QStringList{QString()} : filters_), defaultExt(defaultExt_)
{
}

bool TFileSelectionNode::CheckValue(const QString& val, QString& errMsg) const
{
    if (!TStringNode::CheckValue(val, errMsg))
        return false;
    if (val.isEmpty() && allowEmpty)
        return true;
    if (!QFileInfo(val).isFile()) {
        errMsg = Message(TSettingsText::FileMissing);
        return false;
    }
    return true;
}

TDirSelectionNode::TDirSelectionNode(const QString& identifier_, const QStringList& captions_,
                                     const QString& defaultValue_, bool allowEmpty_)
    : TStringNode(identifier_, captions_, defaultValue_, 2147483647), allowEmpty(allowEmpty_)
{
}

bool TDirSelectionNode::CheckValue(const QString& val, QString& errMsg) const
{
    if (!TStringNode::CheckValue(val, errMsg))
        return false;
    if (val.isEmpty() && allowEmpty)
        return true;
    if (!QFileInfo(val).isDir()) {
        errMsg = Message(TSettingsText::DirMissing);
        return false;
    }
    return true;
}

// --- TIntegerNode ---

TIntegerNode::TIntegerNode(const QString& identifier_, const QStringList& captions_, qint32 defaultValue_,
                           qint32 minVal_, qint32 maxVal_)
    : TSingleValueNode(identifier_, captions_), minVal(minVal_), maxVal(maxVal_), value(defaultValue_),
      defaultValue(defaultValue_)
{
}

bool TIntegerNode::CheckValue(qint32 val, QString& errMsg) const
{
    if (val < minVal) {
        errMsg = Message(TSettingsText::IntTooSmall, {QString::number(minVal)});
        return false;
    }
    if (val > maxVal) {
        errMsg = Message(TSettingsText::IntTooLarge, {QString::number(maxVal)});
        return false;
    }
    return true;
}

qint32 TIntegerNode::GetInt(int x, int y) const
{
    CheckCoords(x, y);
    return value;
}

QString TIntegerNode::GetStr(int x, int y) const
{
    CheckCoords(x, y);
    return QString::number(value);
}

bool TIntegerNode::SetInt(qint32 val, QString& errMsg, int x, int y)
{
    CheckCoords(x, y);
    if (!CheckValue(val, errMsg))
        return false;
    value = val;
    NotifyChanged();
    return true;
}

void TIntegerNode::SaveToFile(TSettingsIni& ini) const
{
    ini.WriteInteger(Section(), identifier, value);
}

void TIntegerNode::ReadFromFile(const TSettingsIni& ini)
{
    value = ini.ReadInteger(Section(), identifier, defaultValue);
    NotifyChanged();
}

// --- TFloatNode ---

TFloatNode::TFloatNode(const QString& identifier_, const QStringList& captions_, long double defaultValue_,
                       qint32 decimals_, long double minVal_, long double maxVal_)
    : TSingleValueNode(identifier_, captions_), minVal(minVal_), maxVal(maxVal_), decimals(decimals_),
      value(defaultValue_), defaultValue(defaultValue_)
{
}

bool TFloatNode::CheckValue(long double val, QString& errMsg) const
{
    // NaN passes every comparison; it is no setting anyone can mean.
    if (std::isnan(val)) {
        errMsg = Message(TSettingsText::InvalidFloat);
        return false;
    }
    if (val < minVal) {
        errMsg = Message(TSettingsText::FloatTooSmall, {FormatFixed(minVal, decimals)});
        return false;
    }
    if (val > maxVal) {
        errMsg = Message(TSettingsText::FloatTooLarge, {FormatFixed(maxVal, decimals)});
        return false;
    }
    return true;
}

long double TFloatNode::GetFloat(int x, int y) const
{
    CheckCoords(x, y);
    return value;
}

QString TFloatNode::GetStr(int x, int y) const
{
    CheckCoords(x, y);
    return FormatFixed(value, decimals);
}

bool TFloatNode::SetFloat(long double val, QString& errMsg, int x, int y)
{
    CheckCoords(x, y);
    if (!CheckValue(val, errMsg))
        return false;
    value = val;
    NotifyChanged();
    return true;
}

void TFloatNode::SaveToFile(TSettingsIni& ini) const
{
    ini.WriteString(Section(), identifier, FloatToIniText(value));
}

void TFloatNode::ReadFromFile(const TSettingsIni& ini)
{
    const QString text = ini.ReadString(Section(), identifier, FloatToIniText(defaultValue));
    long double v = 0;
    if (!IniTextToFloat(text, v))
        RaiseSettingsError(FloatConversionMessage(text, ToString(), FLanguage));
    value = v;
    NotifyChanged();
}

// --- TBooleanNode ---

TBooleanNode::TBooleanNode(const QString& identifier_, const QStringList& captions_, bool defaultValue_)
    : TSingleValueNode(identifier_, captions_), value(defaultValue_), defaultValue(defaultValue_)
{
}

bool TBooleanNode::GetBool(int x, int y) const
{
    CheckCoords(x, y);
    return value;
}

QString TBooleanNode::GetStr(int x, int y) const
{
    CheckCoords(x, y);
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

bool TBooleanNode::SetBool(bool val, QString&, int x, int y)
{
    CheckCoords(x, y);
    value = val;
    NotifyChanged();
    return true;
}

void TBooleanNode::SaveToFile(TSettingsIni& ini) const
{
    ini.WriteBool(Section(), identifier, value);
}

void TBooleanNode::ReadFromFile(const TSettingsIni& ini)
{
    value = ini.ReadBool(Section(), identifier, defaultValue);
    NotifyChanged();
}

// --- TSelectNode ---

TSelectNode::TSelectNode(const QString& identifier_, const QStringList& captions_, const TStringArrArr& items_,
                         qint32 defaultValue_)
    : TSingleValueNode(identifier_, captions_), value(defaultValue_), defaultValue(defaultValue_),
      langItems(items_), items(items_.isEmpty() ? QStringList() : items_.first())
{
}

qint32 TSelectNode::GetInt(int x, int y) const
{
    CheckCoords(x, y);
    return value;
}

QString TSelectNode::GetStr(int x, int y) const
{
    CheckCoords(x, y);
    return value >= 0 && value < items.size() ? items.at(value) : QString();
}

bool TSelectNode::SetInt(qint32 val, QString& errMsg, int x, int y)
{
    CheckCoords(x, y);
    if (val >= items.size()) {
        errMsg = Message(TSettingsText::OutOfRange);
        return false;
    }
    value = val;
    NotifyChanged();
    return true;
}

bool TSelectNode::SetStr(const QString& val, QString& errMsg, int x, int y)
{
    CheckCoords(x, y);
    // An unknown text leaves the default chosen, which is how a stale file entry falls back.
    value = defaultValue;
    const qsizetype index = items.indexOf(val);
    if (index >= 0)
        return SetInt(static_cast<qint32>(index), errMsg, x, y);
    errMsg = Message(TSettingsText::InvalidSelection, {val});
    NotifyChanged();
    return false;
}

void TSelectNode::SetLanguage(int lang)
{
    TSingleValueNode::SetLanguage(lang);
    items = lang < langItems.size() ? langItems.at(lang) : langItems.value(0);
}

void TSelectNode::SaveToFile(TSettingsIni& ini) const
{
    ini.WriteString(Section(), identifier, GetStr(-1, -1));
}

void TSelectNode::ReadFromFile(const TSettingsIni& ini)
{
    const QString fallback = defaultValue >= 0 && defaultValue < items.size() ? items.at(defaultValue) : QString();
    QString ignored;
    SetStr(ini.ReadString(Section(), identifier, fallback), ignored, -1, -1);
}

// --- TLanguageNode ---

namespace {

TStringArrArr languageItems(const QList<TSettingsLanguage>& langs)
{
    QStringList list;
    for (TSettingsLanguage lang : langs)
        list << QStringLiteral("%1|%2").arg(LanguageName(lang)).arg(static_cast<int>(lang));
    return TStringArrArr{list};
}

}  // namespace

TLanguageNode::TLanguageNode(const QString& identifier_, const QStringList& captions_,
                             const QList<TSettingsLanguage>& langs_, qint32 defaultValue_)
    : TSpinNode(identifier_, captions_, languageItems(langs_), defaultValue_), langs(langs_)
{
}

QString TLanguageNode::GetStr(int x, int y) const
{
    CheckCoords(x, y);
    return LanguageName(value);
}

bool TLanguageNode::SetInt(qint32 val, QString&, int x, int y)
{
    CheckCoords(x, y);
    const qint32 old = value;
    value = val;
    try {
        if (OnLanguageChange)
            OnLanguageChange(val);
    } catch (...) {
        value = old;  // a refused language leaves the node as it was
        throw;
    }
    NotifyChanged();
    return true;
}

bool TLanguageNode::SetStr(const QString& val, QString& errMsg, int x, int y)
{
    CheckCoords(x, y);
    for (TSettingsLanguage lang : langs)
        if (LanguageName(lang) == val)
            return SetInt(lang, errMsg, x, y);
    return false;
}

// --- TInfoNode ---

TInfoNode::TInfoNode(const QString& identifier_, const QStringList& captions_, const QStringList& texts)
    : TSingleValueNode(identifier_, captions_), rtfTexts(texts), curText(texts.value(0))
{
}

QString TInfoNode::GetStr(int x, int y) const
{
    CheckCoords(x, y);
    return curText;
}

bool TInfoNode::SetStr(const QString& val, QString&, int x, int y)
{
    CheckCoords(x, y);
    curText = val;
    NotifyChanged();
    return true;
}

void TInfoNode::SetLanguage(int lang)
{
    TSingleValueNode::SetLanguage(lang);
    if (!rtfTexts.isEmpty())
        curText = lang < rtfTexts.size() ? rtfTexts.at(lang) : rtfTexts.first();
}
