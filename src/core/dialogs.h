#pragma once
// The small dialogs of the main window: the adjustment warning and the About box.

#include <QDialog>

class QLabel;
class QPushButton;

// Asked before the adjustment window opens outside service mode.
class TfWarn : public QDialog {
    Q_OBJECT
public:
    explicit TfWarn(QWidget* parent = nullptr);
    void SwitchLanguage();

private:
    QLabel* FHeading = nullptr;
    QLabel* FText = nullptr;
    QPushButton* btnOpen = nullptr;
    QPushButton* btnCancel = nullptr;
};

class TfAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfAbout(const QString& version, QWidget* parent = nullptr);
    void SwitchLanguage();

private:
    QString FVersion;
    QLabel* FText = nullptr;
    QPushButton* btnOk = nullptr;
};
