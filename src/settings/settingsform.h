#pragma once
// The owner of the one settings tree of the run: builders for the schema, typed access by path,
// the settings file and the language. It has no window of its own; the settings editor is a
// separate widget that works on this object.

#include "multivaluenodes.h"
#include "settingsnodes.h"

#include <functional>
#include <memory>

class TFSettingsForm {
public:
    TFSettingsForm();
    TFSettingsForm(const TFSettingsForm&) = delete;
    TFSettingsForm& operator=(const TFSettingsForm&) = delete;

    TGroupNode* root() const { return FRoot.get(); }
    int language() const { return FLanguage; }

    // Builders. A missing parent means the root. The single-caption forms give the node the same
    // caption in every language; an empty caption hides the node from the editor.
    TSettingsNode* AddRawNode(TGroupNode* parent, std::unique_ptr<TSettingsNode> node);
    TGroupNode* AddTreeNode(TGroupNode* parent, const QString& identifier, const QStringList& captions);
    TGroupNode* AddTreeNode(TGroupNode* parent, const QString& identifier, const QString& caption);
    TStringNode* AddStringNode(TGroupNode* parent, const QString& identifier, const QStringList& captions,
                               const QString& defaultValue, qint32 maxLength);
    TStringNode* AddStringNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                               const QString& defaultValue, qint32 maxLength);
    TIntegerNode* AddIntegerNode(TGroupNode* parent, const QString& identifier, const QStringList& captions,
                                 qint32 defaultValue, qint32 minVal, qint32 maxVal);
    TIntegerNode* AddIntegerNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                                 qint32 defaultValue, qint32 minVal, qint32 maxVal);
    TFloatNode* AddFloatNode(TGroupNode* parent, const QString& identifier, const QStringList& captions,
                             long double defaultValue, qint32 decimals, long double minVal, long double maxVal);
    TFloatNode* AddFloatNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                             long double defaultValue, qint32 decimals, long double minVal, long double maxVal);
    TBooleanNode* AddBooleanNode(TGroupNode* parent, const QString& identifier, const QStringList& captions,
                                 bool defaultValue);
    TBooleanNode* AddBooleanNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                                 bool defaultValue);
    TRadioNode* AddRadioNode(TGroupNode* parent, const QString& identifier, const QStringList& captions,
                             const TStringArrArr& items, qint32 defaultValue);
    TRadioNode* AddRadioNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                             const QStringList& items, qint32 defaultValue);
    TSpinNode* AddSpinNode(TGroupNode* parent, const QString& identifier, const QStringList& captions,
                           const TStringArrArr& items, qint32 defaultValue);
    TSpinNode* AddSpinNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                           const QStringList& items, qint32 defaultValue);
    TLanguageNode* AddLanguageNode(TGroupNode* parent, const QString& identifier, const QStringList& captions,
                                   const QList<TSettingsLanguage>& langs, qint32 defaultValue);
    TLanguageNode* AddLanguageNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                                   const QList<TSettingsLanguage>& langs, qint32 defaultValue);
    TFileSelectionNode* AddFileSelNode(TGroupNode* parent, const QString& identifier, const QStringList& captions,
                                       const QStringList& filters, const QString& defaultExt,
                                       const QString& defaultValue, bool allowEmpty);
    TFileSelectionNode* AddFileSelNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                                       const QString& filter, const QString& defaultExt,
                                       const QString& defaultValue, bool allowEmpty);
    TDirSelectionNode* AddDirSelNode(TGroupNode* parent, const QString& identifier, const QStringList& captions,
                                     const QString& defaultValue, bool allowEmpty);
    TDirSelectionNode* AddDirSelNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                                     const QString& defaultValue, bool allowEmpty);
    // One text per language.
    TInfoNode* AddInfoNode(TGroupNode* parent, const QString& identifier, const QStringList& captions,
                           const QStringList& texts);
    // One text for every language.
    TInfoNode* AddInfoNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                           const QString& text);
    TFloatTableNode* AddFloatTableNode(TGroupNode* parent, const QString& identifier, const QStringList& captions,
                                       qint32 cols, qint32 rows, const TStringArrArr& colCaps,
                                       const QList<TFloatArr>& defaults, qint32 decimals, const TFloatArr& minVals,
                                       const TFloatArr& maxVals);
    TFloatTableNode* AddFloatTableNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                                       qint32 cols, qint32 rows, const QStringList& colCaps,
                                       const QList<TFloatArr>& defaults, qint32 decimals, const TFloatArr& minVals,
                                       const TFloatArr& maxVals);
    // cnt columns, one row, the same limits for every column, no column captions.
    TFloatTableNode* AddFloatListNode(TGroupNode* parent, const QString& identifier, const QStringList& captions,
                                      qint32 cnt, const TFloatArr& defaults, qint32 decimals, long double minVal,
                                      long double maxVal);
    TFloatTableNode* AddFloatListNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                                      qint32 cnt, const TFloatArr& defaults, qint32 decimals, long double minVal,
                                      long double maxVal);
    TComPortNode* AddComPortNode(TGroupNode* parent, const QString& identifier, const QStringList& captions,
                                 const QString& comPort, const QString& baudRate, bool log, qint32 timeOut,
                                 qint32 interval, bool withBaud);
    TComPortNode* AddComPortNode(TGroupNode* parent, const QString& identifier, const QString& caption,
                                 const QString& comPort, const QString& baudRate, bool log, qint32 timeOut,
                                 qint32 interval, bool withBaud);

    // "" is the root; a part past a value node or an unknown part raises.
    TSettingsNode* GetNodeByPath(const QString& path) const;

    // Typed access by path ("General/Logging", exact case); callers pass x = y = -1.
    qint32 GetInt(const QString& path, int x = -1, int y = -1) const;
    QString GetStr(const QString& path, int x = -1, int y = -1) const;
    bool GetBool(const QString& path, int x = -1, int y = -1) const;
    long double GetFloat(const QString& path, int x = -1, int y = -1) const;

    // A rejected value returns false with errMsg filled and changes nothing.
    bool SetInt(const QString& path, qint32 val, QString& errMsg, int x = -1, int y = -1);
    bool SetStr(const QString& path, const QString& val, QString& errMsg, int x = -1, int y = -1);
    bool SetBool(const QString& path, bool val, QString& errMsg, int x = -1, int y = -1);
    bool SetFloat(const QString& path, long double val, QString& errMsg, int x = -1, int y = -1);
    // The same, raising ESettingsError for a rejected value.
    bool SetInt(const QString& path, qint32 val, int x = -1, int y = -1);
    bool SetStr(const QString& path, const QString& val, int x = -1, int y = -1);
    bool SetBool(const QString& path, bool val, int x = -1, int y = -1);
    bool SetFloat(const QString& path, long double val, int x = -1, int y = -1);

    // Switches the tree (and, through OnLanguageChanged, the editor); same language: nothing.
    void SetLanguage(int lang);

    // A missing file reads as defaults. A bad number stops the read at that node.
    void ReadFromFile(const QString& fileName);
    // Keeps everything in the file the tree does not know; raises with the system's error text.
    void SaveToFile(const QString& fileName) const;

    // One line per node, depth first: indent, identifier, caption, class.
    QStringList DumpTree() const;

    // Told after every value stored in the tree (setters, file reads, defaults from the file).
    // User-interface thread; this is where "General/Logging" gets published to other threads.
    void SetOnValueChanged(std::function<void(TValueNode&)> handler);
    // Told after the language changed, for the editor.
    std::function<void(int)> OnLanguageChanged;

private:
    template <typename T> T* add(TGroupNode* parent, std::unique_ptr<T> node)
    {
        T* raw = node.get();
        AddRawNode(parent, std::move(node));
        return raw;
    }

    std::unique_ptr<TGroupNode> FRoot;
    int FLanguage = slDE;
};
