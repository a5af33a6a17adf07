#include "dialogs.h"

#include "i18n.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfWarn::TfWarn(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("fWarn"));
    FHeading = new QLabel(this);
    QFont f = FHeading->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 4);
    FHeading->setFont(f);
    FHeading->setAlignment(Qt::AlignCenter);
    FText = new QLabel(this);
    FText->setWordWrap(true);
    btnOpen = new QPushButton(this);
    btnOpen->setObjectName(QStringLiteral("btnOpen"));
    btnCancel = new QPushButton(this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setDefault(true);
    connect(btnOpen, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnOpen);
    buttons->addStretch();
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FHeading);
    layout->addWidget(FText);
    layout->addLayout(buttons);
    SwitchLanguage();
}

void TfWarn::SwitchLanguage()
{
    setWindowTitle(Tr("Achtung"));
    FHeading->setText(Tr("*** Achtung ***"));
    FText->setText(Tr("Änderungen an Justagedaten können zu Fehlfunktionen führen! Änderungen bitte nur "
                      "nach Rücksprache mit dem Hersteller vornehmen."));
    btnOpen->setText(Tr("Ich kenne das Risiko - Formular öffnen"));
    btnCancel->setText(Tr("Abbrechen"));
}

TfAbout::TfAbout(const QString& version, QWidget* parent)
    : QDialog(parent)
    , FVersion(version)
{
    setObjectName(QStringLiteral("fAbout"));
    FText = new QLabel(this);
    FText->setAlignment(Qt::AlignCenter);
    btnOk = new QPushButton(this);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FText);
    layout->addWidget(btnOk, 0, Qt::AlignCenter);
    SwitchLanguage();
}

void TfAbout::SwitchLanguage()
{
    setWindowTitle(Tr("Über SarvikControl"));
    FText->setText(QStringLiteral("<h2>SarvikControl</h2><p>%1</p><p>%2</p><p>%3</p>")
                       .arg(Tr("Version %1").arg(FVersion),
                            Tr("Steuerprogramm für den Probenehmer Sarvik2V2"),
                            Tr("Lizenz: GNU General Public License, Version 3 oder später (GPL-3.0-or-later)")));
    btnOk->setText(Tr("OK"));
}
