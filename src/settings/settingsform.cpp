#include "settingsform.h"

#include "settingsini.h"

TFSettingsForm::TFSettingsForm()
    : FRoot(std::make_unique<TGroupNode>(
          QStringLiteral("settings"),
          QStringList{SettingsText(TSettingsText::Settings, slDE), SettingsText(TSettingsText::Settings, slEN),
                      SettingsText(TSettingsText::Settings, slFR), SettingsText(TSettingsText::Settings, slES)}))
{
}

namespace {

// Language nodes switch the owner's language, wherever in an added subtree they are.
void hookLanguageNodes(TSettingsNode& node, const std::function<void(int)>& hook)
{
    if (auto* lang = dynamic_cast<TLanguageNode*>(&node))
        lang->OnLanguageChange = hook;
    if (auto* group = dynamic_cast<TGroupNode*>(&node))
        for (const auto& child : group->children)
            hookLanguageNodes(*child, hook);
}

void dump(const TSettingsNode& node, int depth, QStringList& lines)
{
    lines << FillText(QStringLiteral("%s%s - %s (%s)"),
                      {QString(2 * depth, QLatin1Char(' ')), node.identifier, node.caption, node.ClassName()});
    if (const auto* group = dynamic_cast<const TGroupNode*>(&node))
        for (const auto& child : group->children)
            dump(*child, depth + 1, lines);
}

}  // namespace

TSettingsNode* TFSettingsForm::AddRawNode(TGroupNode* parent, std::unique_ptr<TSettingsNode> node)
{
    if (!parent)
        parent = FRoot.get();
    if (parent->FindChild(node->identifier))
        RaiseSettingsError(TSettingsText::DuplicateIdentifier, FLanguage, {node->identifier, parent->ToString()});
    hookLanguageNodes(*node, [this](int lang) { SetLanguage(lang); });
    node->parent = parent;
    parent->children.push_back(std::move(node));
    return parent->children.back().get();
}

TGroupNode* TFSettingsForm::AddTreeNode(TGroupNode* parent, const QString& identifier, const QStringList& captions)
{
    return add(parent, std::make_unique<TGroupNode>(identifier, captions));
}

TGroupNode* TFSettingsForm::AddTreeNode(TGroupNode* parent, const QString& identifier, const QString& caption)
{
    return AddTreeNode(parent, identifier, QStringList{caption});
}

TStringNode* TFSettingsForm::AddStringNode(TGroupNode* parent, const QString& identifier,
                                           const QStringList& captions, const QString& defaultValue,
                                           qint32 maxLength)
{
    return add(parent, std::make_unique<TStringNode>(identifier, captions, defaultValue, maxLength));
}

TStringNode* TFSettingsForm::AddStringNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                                           const QString& defaultValue, qint32 maxLength)
{
    return AddStringNode(parent, identifier, QStringList{caption}, defaultValue, maxLength);
}

TIntegerNode* TFSettingsForm::AddIntegerNode(TGroupNode* parent, const QString& identifier,
                                             const QStringList& captions, qint32 defaultValue, qint32 minVal,
                                             qint32 maxVal)
{
    return add(parent, std::make_unique<TIntegerNode>(identifier, captions, defaultValue, minVal, maxVal));
}

TIntegerNode* TFSettingsForm::AddIntegerNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                                             qint32 defaultValue, qint32 minVal, qint32 maxVal)
{
    return AddIntegerNode(parent, identifier, QStringList{caption}, defaultValue, minVal, maxVal);
}

TFloatNode* TFSettingsForm::AddFloatNode(TGroupNode* parent, const QString& identifier, const QStringList& captions,
                                         long double defaultValue, qint32 decimals, long double minVal,
                                         long double maxVal)
{
    return add(parent, std::make_unique<TFloatNode>(identifier, captions, defaultValue, decimals, minVal, maxVal));
}

TFloatNode* TFSettingsForm::AddFloatNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                                         long double defaultValue, qint32 decimals, long double minVal,
                                         long double maxVal)
{
    return AddFloatNode(parent, identifier, QStringList{caption}, defaultValue, decimals, minVal, maxVal);
}

TBooleanNode* TFSettingsForm::AddBooleanNode(TGroupNode* parent, const QString& identifier,
                                             const QStringList& captions, bool defaultValue)
{
    return add(parent, std::make_unique<TBooleanNode>(identifier, captions, defaultValue));
}

TBooleanNode* TFSettingsForm::AddBooleanNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                                             bool defaultValue)
{
    return AddBooleanNode(parent, identifier, QStringList{caption}, defaultValue);
}

TRadioNode* TFSettingsForm::AddRadioNode(TGroupNode* parent, const QString& identifier, const QStringList& captions,
                                         const TStringArrArr& items, qint32 defaultValue)
{
    return add(parent, std::make_unique<TRadioNode>(identifier, captions, items, defaultValue));
}

TRadioNode* TFSettingsForm::AddRadioNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                                         const QStringList& items, qint32 defaultValue)
{
    return AddRadioNode(parent, identifier, QStringList{caption}, TStringArrArr{items}, defaultValue);
}

TSpinNode* TFSettingsForm::AddSpinNode(TGroupNode* parent, const QString& identifier, const QStringList& captions,
                                       const TStringArrArr& items, qint32 defaultValue)
{
    return add(parent, std::make_unique<TSpinNode>(identifier, captions, items, defaultValue));
}

TSpinNode* TFSettingsForm::AddSpinNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                                       const QStringList& items, qint32 defaultValue)
{
    return AddSpinNode(parent, identifier, QStringList{caption}, TStringArrArr{items}, defaultValue);
}

TLanguageNode* TFSettingsForm::AddLanguageNode(TGroupNode* parent, const QString& identifier,
                                               const QStringList& captions, const QList<TSettingsLanguage>& langs,
                                               qint32 defaultValue)
{
    return add(parent, std::make_unique<TLanguageNode>(identifier, captions, langs, defaultValue));
}

TLanguageNode* TFSettingsForm::AddLanguageNode(TGroupNode* parent, const QString& identifier,
                                               const QString& caption, const QList<TSettingsLanguage>& langs,
                                               qint32 defaultValue)
{
    return AddLanguageNode(parent, identifier, QStringList{caption}, langs, defaultValue);
}

TFileSelectionNode* TFSettingsForm::AddFileSelNode(TGroupNode* parent, const QString& identifier,
                                                   const QStringList& captions, const QStringList& filters,
                                                   const QString& defaultExt, const QString& defaultValue,
                                                   bool allowEmpty)
{
    return add(parent, std::make_unique<TFileSelectionNode>(identifier, captions, filters, defaultExt, defaultValue,
                                                            allowEmpty));
}

TFileSelectionNode* TFSettingsForm::AddFileSelNode(TGroupNode* parent, const QString& identifier,
                                                   const QString& caption, const QString& filter,
                                                   const QString& defaultExt, const QString& defaultValue,
                                                   bool allowEmpty)
{
    return AddFileSelNode(parent, identifier, QStringList{caption}, QStringList{filter}, defaultExt, defaultValue,
                          allowEmpty);
}

TDirSelectionNode* TFSettingsForm::AddDirSelNode(TGroupNode* parent, const QString& identifier,
                                                 const QStringList& captions, const QString& defaultValue,
                                                 bool allowEmpty)
{
    return add(parent, std::make_unique<TDirSelectionNode>(identifier, captions, defaultValue, allowEmpty));
}

TDirSelectionNode* TFSettingsForm::AddDirSelNode(TGroupNode* parent, const QString& identifier,
                                                 const QString& caption, const QString& defaultValue,
                                                 bool allowEmpty)
{
    return AddDirSelNode(parent, identifier, QStringList{caption}, defaultValue, allowEmpty);
}

TInfoNode* TFSettingsForm::AddInfoNode(TGroupNode* parent, const QString& identifier, const QStringList& captions,
                                       const QStringList& texts)
{
    return add(parent, std::make_unique<TInfoNode>(identifier, captions, texts));
}

TInfoNode* TFSettingsForm::AddInfoNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                                       const QString& text)
{
    TInfoNode* node = AddInfoNode(parent, identifier, QStringList{caption}, QStringList());
    QString ignored;
    node->SetStr(text, ignored, -1, -1);
    return node;
}

TFloatTableNode* TFSettingsForm::AddFloatTableNode(TGroupNode* parent, const QString& identifier,
                                                   const QStringList& captions, qint32 cols, qint32 rows,
                                                   const TStringArrArr& colCaps, const QList<TFloatArr>& defaults,
                                                   qint32 decimals, const TFloatArr& minVals,
                                                   const TFloatArr& maxVals)
{
    return add(parent, std::make_unique<TFloatTableNode>(identifier, captions, cols, rows, colCaps, defaults,
                                                         decimals, minVals, maxVals));
}

TFloatTableNode* TFSettingsForm::AddFloatTableNode(TGroupNode* parent, const QString& identifier,
                                                   const QString& caption, qint32 cols, qint32 rows,
                                                   const QStringList& colCaps, const QList<TFloatArr>& defaults,
                                                   qint32 decimals, const TFloatArr& minVals,
                                                   const TFloatArr& maxVals)
{
    return AddFloatTableNode(parent, identifier, QStringList{caption}, cols, rows,
                             colCaps.isEmpty() ? TStringArrArr() : TStringArrArr{colCaps}, defaults, decimals,
                             minVals, maxVals);
}

TFloatTableNode* TFSettingsForm::AddFloatListNode(TGroupNode* parent, const QString& identifier,
                                                  const QStringList& captions, qint32 cnt, const TFloatArr& defaults,
                                                  qint32 decimals, long double minVal, long double maxVal)
{
    QList<TFloatArr> columns;
    for (long double v : defaults)
        columns.append(TFloatArr{v});
    const TFloatArr mins(cnt < 0 ? 0 : cnt, minVal);
    const TFloatArr maxs(cnt < 0 ? 0 : cnt, maxVal);
    return AddFloatTableNode(parent, identifier, captions, cnt, 1, TStringArrArr(), columns, decimals, mins, maxs);
}

TFloatTableNode* TFSettingsForm::AddFloatListNode(TGroupNode* parent, const QString& identifier,
                                                  const QString& caption, qint32 cnt, const TFloatArr& defaults,
                                                  qint32 decimals, long double minVal, long double maxVal)
{
    return AddFloatListNode(parent, identifier, QStringList{caption}, cnt, defaults, decimals, minVal, maxVal);
}

TComPortNode* TFSettingsForm::AddComPortNode(TGroupNode* parent, const QString& identifier,
                                             const QStringList& captions, const QString& comPort,
                                             const QString& baudRate, bool log, qint32 timeOut, qint32 interval,
                                             bool withBaud)
{
    return add(parent, std::make_unique<TComPortNode>(identifier, captions, comPort, baudRate, log, timeOut,
                                                      interval, withBaud));
}

TComPortNode* TFSettingsForm::AddComPortNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                                             const QString& comPort, const QString& baudRate, bool log,
                                             qint32 timeOut, qint32 interval, bool withBaud)
{
    return AddComPortNode(parent, identifier, QStringList{caption}, comPort, baudRate, log, timeOut, interval,
                          withBaud);
}

TSettingsNode* TFSettingsForm::GetNodeByPath(const QString& path) const
{
    TSettingsNode* node = FRoot.get();
    for (const QString& part : SplitPath(path)) {
        auto* group = dynamic_cast<TGroupNode*>(node);
        if (!group)
            RaiseSettingsError(TSettingsText::PathTooLong, FLanguage);
        node = group->FindChild(part);
        if (!node)
            RaiseSettingsError(TSettingsText::NoSubnode, FLanguage, {group->ToString(), part});
    }
    return node;
}

qint32 TFSettingsForm::GetInt(const QString& path, int x, int y) const
{
    return FRoot->GetIntP(path, x, y);
}

QString TFSettingsForm::GetStr(const QString& path, int x, int y) const
{
    return FRoot->GetStrP(path, x, y);
}

bool TFSettingsForm::GetBool(const QString& path, int x, int y) const
{
    return FRoot->GetBoolP(path, x, y);
}

long double TFSettingsForm::GetFloat(const QString& path, int x, int y) const
{
    return FRoot->GetFloatP(path, x, y);
}

bool TFSettingsForm::SetInt(const QString& path, qint32 val, QString& errMsg, int x, int y)
{
    return FRoot->SetIntP(path, val, errMsg, x, y);
}

bool TFSettingsForm::SetStr(const QString& path, const QString& val, QString& errMsg, int x, int y)
{
    return FRoot->SetStrP(path, val, errMsg, x, y);
}

bool TFSettingsForm::SetBool(const QString& path, bool val, QString& errMsg, int x, int y)
{
    return FRoot->SetBoolP(path, val, errMsg, x, y);
}

bool TFSettingsForm::SetFloat(const QString& path, long double val, QString& errMsg, int x, int y)
{
    return FRoot->SetFloatP(path, val, errMsg, x, y);
}

namespace {

template <typename Setter> bool raiseRejected(Setter&& set)
{
    QString errMsg;
    const bool ok = set(errMsg);
    if (!errMsg.isEmpty())
        RaiseSettingsError(errMsg);
    return ok;
}

}  // namespace

bool TFSettingsForm::SetInt(const QString& path, qint32 val, int x, int y)
{
    return raiseRejected([&](QString& errMsg) { return SetInt(path, val, errMsg, x, y); });
}

bool TFSettingsForm::SetStr(const QString& path, const QString& val, int x, int y)
{
    return raiseRejected([&](QString& errMsg) { return SetStr(path, val, errMsg, x, y); });
}

bool TFSettingsForm::SetBool(const QString& path, bool val, int x, int y)
{
    return raiseRejected([&](QString& errMsg) { return SetBool(path, val, errMsg, x, y); });
}

bool TFSettingsForm::SetFloat(const QString& path, long double val, int x, int y)
{
    return raiseRejected([&](QString& errMsg) { return SetFloat(path, val, errMsg, x, y); });
}

void TFSettingsForm::SetLanguage(int lang)
{
    if (lang == FLanguage)
        return;
    // Checked here too, so a refused language leaves the owner's language alone.
    if (lang < 0)
        RaiseSettingsError(QString::fromUtf8(kTextNegativeLanguage));
    FRoot->SetLanguage(lang);
    FLanguage = lang;
    if (OnLanguageChanged)
        OnLanguageChanged(lang);
}

void TFSettingsForm::ReadFromFile(const QString& fileName)
{
    const TSettingsIni ini(fileName);
    FRoot->ReadFromFile(ini);
}

void TFSettingsForm::SaveToFile(const QString& fileName) const
{
    TSettingsIni ini(fileName);
    FRoot->SaveToFile(ini);
    ini.UpdateFile();
}

QStringList TFSettingsForm::DumpTree() const
{
    QStringList lines;
    dump(*FRoot, 0, lines);
    return lines;
}

void TFSettingsForm::SetOnValueChanged(std::function<void(TValueNode&)> handler)
{
    FRoot->OnValueChanged = std::move(handler);
}
