#pragma once
// The settings editor over a tree, with its boxes and dialogs recorded instead of shown.

#include "settingseditor.h"
#include "settingsform.h"

#include <QLineEdit>
#include <QStringList>
#include <QTreeWidget>

#include <memory>

struct TRecordedDialogs {
    QStringList questions;
    bool answer = true;
    QStringList warnings;
    struct TFileCall {
        QString title, dir, filter, defaultExt;
    };
    QList<TFileCall> fileCalls;
    QString fileResult;
    QStringList dirCalls;  // start directories
    QString dirResult;
    QStringList portLines;
    int portCurrent = -2;
    int portChoice = -1;

    void install(TfSettingsEditor& editor)
    {
        TSettingsDialogs& d = editor.Dialogs();
        d.askYesNo = [this](QWidget*, const QString& q) {
            questions << q;
            return answer;
        };
        d.warn = [this](QWidget*, const QString& t) { warnings << t; };
        d.openFile = [this](QWidget*, const QString& title, const QString& dir, const QString& filter,
                            const QString& ext) {
            fileCalls.append({title, dir, filter, ext});
            return fileResult;
        };
        d.selectDir = [this](QWidget*, const QString&, const QString& dir) {
            dirCalls << dir;
            return dirResult;
        };
        d.choosePort = [this](QWidget*, const QStringList& lines, int current) {
            portLines = lines;
            portCurrent = current;
            return portChoice;
        };
    }
};

inline TValueNode& valueNode(TFSettingsForm& form, const char* path)
{
    return dynamic_cast<TValueNode&>(*form.GetNodeByPath(QString::fromUtf8(path)));
}

inline TGroupNode* groupNode(TFSettingsForm& form, const char* path)
{
    return dynamic_cast<TGroupNode*>(form.GetNodeByPath(QString::fromUtf8(path)));
}

template <typename Frame> Frame* frameOf(TFSettingsForm& form, const char* path)
{
    return dynamic_cast<Frame*>(FrameOf(valueNode(form, path)));
}

// Texts of the tree view, depth first, "." per level.
inline QStringList treeTexts(const QTreeWidget& tree)
{
    QStringList out;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item, int depth) {
        out << QString(depth, QLatin1Char('.')) + item->text(0);
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i), depth + 1);
    };
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        walk(tree.topLevelItem(i), 0);
    return out;
}
