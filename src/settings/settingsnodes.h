#pragma once
// The typed settings tree: groups hold nodes, value nodes hold typed values addressed by paths
// such as "General/Logging". No locks: written on the user-interface thread only.

#include "settingstexts.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class TSettingsIni;
class TGroupNode;
class TValueNode;

using TStringArrArr = QList<QStringList>;

// Texts per language from a flat, item-major list (all languages of item 0, then of item 1, ...).
// Result: one list of items per language.
TStringArrArr MakeLangItems(int langCount, int itemCount, const QStringList& flat);

// A path split at "/" with empty parts dropped.
QStringList SplitPath(const QString& path);

// What a value node's editor shows; the editor window supplies the concrete frames.
class TSettingsFrame {
public:
    virtual ~TSettingsFrame() = default;
};

class TSettingsNode {
public:
    TSettingsNode(const QString& identifier, const QStringList& captions);
    virtual ~TSettingsNode() = default;
    TSettingsNode(const TSettingsNode&) = delete;
    TSettingsNode& operator=(const TSettingsNode&) = delete;

    QString identifier;
    QStringList captions;
    QString caption;
    TGroupNode* parent = nullptr;
    qint32 FLanguage = slDE;

    virtual bool HasError(bool recursive) const = 0;
    virtual void SaveToFile(TSettingsIni& ini) const = 0;
    virtual void ReadFromFile(const TSettingsIni& ini) = 0;
    virtual qint32 GetIntP(const QString& path, int x, int y) const = 0;
    virtual QString GetStrP(const QString& path, int x, int y) const = 0;
    virtual bool GetBoolP(const QString& path, int x, int y) const = 0;
    virtual long double GetFloatP(const QString& path, int x, int y) const = 0;
    virtual bool SetIntP(const QString& path, qint32 val, QString& errMsg, int x, int y) = 0;
    virtual bool SetStrP(const QString& path, const QString& val, QString& errMsg, int x, int y) = 0;
    virtual bool SetBoolP(const QString& path, bool val, QString& errMsg, int x, int y) = 0;
    virtual bool SetFloatP(const QString& path, long double val, QString& errMsg, int x, int y) = 0;
    virtual void SetLanguage(int lang);

    // Full path: the parent's full path, "/", the identifier; the root gives its identifier.
    QString ToString() const;
    // Name of the node's class as the settings dump shows it.
    virtual QString ClassName() const = 0;

protected:
    [[noreturn]] void Raise(TSettingsText id, std::initializer_list<QString> args = {}) const;
    QString Message(TSettingsText id, std::initializer_list<QString> args = {}) const;
};

class TGroupNode : public TSettingsNode {
public:
    TGroupNode(const QString& identifier, const QStringList& captions);

    std::vector<std::unique_ptr<TSettingsNode>> children;

    // Set on the root by its owner: told after every value stored anywhere below.
    std::function<void(TValueNode&)> OnValueChanged;

    // The child with exactly this identifier, or nullptr.
    TSettingsNode* FindChild(const QString& identifier) const;

    bool HasError(bool recursive) const override;
    void SaveToFile(TSettingsIni& ini) const override;
    void ReadFromFile(const TSettingsIni& ini) override;
    qint32 GetIntP(const QString& path, int x, int y) const override;
    QString GetStrP(const QString& path, int x, int y) const override;
    bool GetBoolP(const QString& path, int x, int y) const override;
    long double GetFloatP(const QString& path, int x, int y) const override;
    bool SetIntP(const QString& path, qint32 val, QString& errMsg, int x, int y) override;
    bool SetStrP(const QString& path, const QString& val, QString& errMsg, int x, int y) override;
    bool SetBoolP(const QString& path, bool val, QString& errMsg, int x, int y) override;
    bool SetFloatP(const QString& path, long double val, QString& errMsg, int x, int y) override;
    void SetLanguage(int lang) override;
    QString ClassName() const override { return QStringLiteral("TGroupNode"); }

private:
    // The child that receives the rest of the path, which is returned in tail.
    TSettingsNode& route(const QString& path, QString& tail) const;
};

class TValueNode : public TSettingsNode {
public:
    TValueNode(const QString& identifier, const QStringList& captions);

    std::unique_ptr<TSettingsFrame> frame;
    bool error = false;

    bool HasError(bool recursive) const override;
    // The error goes with the frame: nothing shows it any more, and a rebuilt editor starts from
    // the stored value.
    void ResetFrame()
    {
        frame.reset();
        error = false;
    }

    // Coordinate access; x = y = -1 means no coordinate. Here all of them are type errors.
    virtual qint32 GetInt(int x, int y) const;
    virtual QString GetStr(int x, int y) const;
    virtual bool GetBool(int x, int y) const;
    virtual long double GetFloat(int x, int y) const;
    virtual bool SetInt(qint32 val, QString& errMsg, int x, int y);
    virtual bool SetStr(const QString& val, QString& errMsg, int x, int y);
    virtual bool SetBool(bool val, QString& errMsg, int x, int y);
    virtual bool SetFloat(long double val, QString& errMsg, int x, int y);

protected:
    // Tells the root's listener that this node stored a value.
    void NotifyChanged();
};

// A node holding one value: paths end here and coordinates are not allowed.
class TSingleValueNode : public TValueNode {
public:
    using TValueNode::TValueNode;

    qint32 GetIntP(const QString& path, int x, int y) const override;
    QString GetStrP(const QString& path, int x, int y) const override;
    bool GetBoolP(const QString& path, int x, int y) const override;
    long double GetFloatP(const QString& path, int x, int y) const override;
    bool SetIntP(const QString& path, qint32 val, QString& errMsg, int x, int y) override;
    bool SetStrP(const QString& path, const QString& val, QString& errMsg, int x, int y) override;
    bool SetBoolP(const QString& path, bool val, QString& errMsg, int x, int y) override;
    bool SetFloatP(const QString& path, long double val, QString& errMsg, int x, int y) override;

    qint32 GetInt(int x, int y) const override;
    QString GetStr(int x, int y) const override;
    bool GetBool(int x, int y) const override;
    long double GetFloat(int x, int y) const override;
    bool SetInt(qint32 val, QString& errMsg, int x, int y) override;
    bool SetStr(const QString& val, QString& errMsg, int x, int y) override;
    bool SetBool(bool val, QString& errMsg, int x, int y) override;
    bool SetFloat(long double val, QString& errMsg, int x, int y) override;

protected:
    void CheckPath(const QString& path) const;
    void CheckCoords(int x, int y) const;
    // Section of the settings file that holds this node's key.
    QString Section() const;
};

class TStringNode : public TSingleValueNode {
public:
    TStringNode(const QString& identifier, const QStringList& captions, const QString& defaultValue,
                qint32 maxLength);

    qint32 maxLength;
    QString value;
    QString defaultValue;  // "default" in the settings model

    QString GetStr(int x, int y) const override;
    bool SetStr(const QString& val, QString& errMsg, int x, int y) override;
    virtual bool CheckValue(const QString& val, QString& errMsg) const;

    void SaveToFile(TSettingsIni& ini) const override;
    void ReadFromFile(const TSettingsIni& ini) override;
    QString ClassName() const override { return QStringLiteral("TStringNode"); }
};

class TFileSelectionNode : public TStringNode {
public:
    TFileSelectionNode(const QString& identifier, const QStringList& captions, const QStringList& filters,
                       const QString& defaultExt, const QString& defaultValue, bool allowEmpty);

    bool allowEmpty;
    QStringList filters;
    QString defaultExt;

    bool CheckValue(const QString& val, QString& errMsg) const override;
    QString ClassName() const override { return QStringLiteral("TFileSelectionNode"); }
};

class TDirSelectionNode : public TStringNode {
public:
    TDirSelectionNode(const QString& identifier, const QStringList& captions, const QString& defaultValue,
                      bool allowEmpty);

    bool allowEmpty;

    bool CheckValue(const QString& val, QString& errMsg) const override;
    QString ClassName() const override { return QStringLiteral("TDirSelectionNode"); }
};

class TIntegerNode : public TSingleValueNode {
public:
    TIntegerNode(const QString& identifier, const QStringList& captions, qint32 defaultValue, qint32 minVal,
                 qint32 maxVal);

    qint32 minVal;
    qint32 maxVal;
    qint32 value;
    qint32 defaultValue;

    bool CheckValue(qint32 val, QString& errMsg) const;

    qint32 GetInt(int x, int y) const override;
    QString GetStr(int x, int y) const override;
    bool SetInt(qint32 val, QString& errMsg, int x, int y) override;

    void SaveToFile(TSettingsIni& ini) const override;
    void ReadFromFile(const TSettingsIni& ini) override;
    QString ClassName() const override { return QStringLiteral("TIntegerNode"); }
};

class TFloatNode : public TSingleValueNode {
public:
    TFloatNode(const QString& identifier, const QStringList& captions, long double defaultValue, qint32 decimals,
               long double minVal, long double maxVal);

    long double minVal;
    long double maxVal;
    qint32 decimals;
    long double value;
    long double defaultValue;

    bool CheckValue(long double val, QString& errMsg) const;

    long double GetFloat(int x, int y) const override;
    QString GetStr(int x, int y) const override;
    bool SetFloat(long double val, QString& errMsg, int x, int y) override;

    void SaveToFile(TSettingsIni& ini) const override;
    void ReadFromFile(const TSettingsIni& ini) override;
    QString ClassName() const override { return QStringLiteral("TFloatNode"); }
};

class TBooleanNode : public TSingleValueNode {
public:
    TBooleanNode(const QString& identifier, const QStringList& captions, bool defaultValue);

    bool value;
    bool defaultValue;

    bool GetBool(int x, int y) const override;
    QString GetStr(int x, int y) const override;
    bool SetBool(bool val, QString& errMsg, int x, int y) override;

    void SaveToFile(TSettingsIni& ini) const override;
    void ReadFromFile(const TSettingsIni& ini) override;
    QString ClassName() const override { return QStringLiteral("TBooleanNode"); }
};

// A choice among items; the item texts may differ per language, the index does not.
class TSelectNode : public TSingleValueNode {
public:
    TSelectNode(const QString& identifier, const QStringList& captions, const TStringArrArr& items,
                qint32 defaultValue);

    qint32 value;
    qint32 defaultValue;
    TStringArrArr langItems;
    QStringList items;

    qint32 GetInt(int x, int y) const override;
    QString GetStr(int x, int y) const override;
    bool SetInt(qint32 val, QString& errMsg, int x, int y) override;
    bool SetStr(const QString& val, QString& errMsg, int x, int y) override;
    void SetLanguage(int lang) override;

    void SaveToFile(TSettingsIni& ini) const override;
    void ReadFromFile(const TSettingsIni& ini) override;
    QString ClassName() const override { return QStringLiteral("TSelectNode"); }
};

class TRadioNode : public TSelectNode {
public:
    using TSelectNode::TSelectNode;
    QString ClassName() const override { return QStringLiteral("TRadioNode"); }
};

class TSpinNode : public TSelectNode {
public:
    using TSelectNode::TSelectNode;
    QString ClassName() const override { return QStringLiteral("TSpinNode"); }
};

// The program language. Its items are "name|number"; its value is a TSettingsLanguage number.
class TLanguageNode : public TSpinNode {
public:
    TLanguageNode(const QString& identifier, const QStringList& captions, const QList<TSettingsLanguage>& langs,
                  qint32 defaultValue);

    QList<TSettingsLanguage> langs;

    // Switches the owner's language; set by the owner when the node joins its tree.
    std::function<void(int)> OnLanguageChange;

    QString GetStr(int x, int y) const override;
    bool SetInt(qint32 val, QString& errMsg, int x, int y) override;
    bool SetStr(const QString& val, QString& errMsg, int x, int y) override;

    QString ClassName() const override { return QStringLiteral("TLanguageNode"); }
};

// Read-only text for the editor; not stored in the file.
class TInfoNode : public TSingleValueNode {
public:
    TInfoNode(const QString& identifier, const QStringList& captions, const QStringList& texts);

    QStringList rtfTexts;
    QString curText;

    QString GetStr(int x, int y) const override;
    bool SetStr(const QString& val, QString& errMsg, int x, int y) override;
    void SetLanguage(int lang) override;

    void SaveToFile(TSettingsIni&) const override {}
    void ReadFromFile(const TSettingsIni&) override {}
    QString ClassName() const override { return QStringLiteral("TInfoNode"); }
};

// Type names used in the type-error texts.
inline QString TypeNameInteger() { return QStringLiteral("Integer"); }
inline QString TypeNameString() { return QStringLiteral("String"); }
inline QString TypeNameBoolean() { return QStringLiteral("Boolean"); }
inline QString TypeNameFloat() { return QStringLiteral("Float"); }
