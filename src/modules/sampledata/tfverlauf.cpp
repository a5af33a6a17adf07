#include "tfverlauf.h"

#include "formatsettings.h"
#include "i18n.h"
#include "sarvikchart.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString defaultSaveBox(QWidget* parent, const QString& proposal)
{
    const QString png = QStringLiteral("PNG (*.png)");
    const QString pdf = QStringLiteral("PDF (*.pdf)");
    QFileDialog dialog(parent, Tr("Als Bild speichern"), proposal, png + QStringLiteral(";;") + pdf);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("png"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, pdf](const QString& filter) {
        dialog.setDefaultSuffix(filter == pdf ? QStringLiteral("pdf") : QStringLiteral("png"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

}  // namespace

TfVerlauf::TfVerlauf(QWidget* parent)
    : QWidget(parent, Qt::Window)
    , FSaveBox(defaultSaveBox)
{
    setObjectName(QStringLiteral("fVerlauf"));
    auto* top = new QVBoxLayout(this);
    chtVerlauf = new TSarvikChart(this);
    chtVerlauf->setObjectName(QStringLiteral("chtVerlauf"));
    chtVerlauf->SetZoomable(true);
    chtVerlauf->setMinimumSize(640, 360);
    top->addWidget(chtVerlauf, 1);
    auto* row = new QHBoxLayout;
    lblHinweis = new QLabel(this);
    lblHinweis->setObjectName(QStringLiteral("lblHinweis"));
    btnBildSpeichern = new QPushButton(this);
    btnBildSpeichern->setObjectName(QStringLiteral("btnBildSpeichern"));
    row->addWidget(lblHinweis, 1);
    row->addWidget(btnBildSpeichern);
    top->addLayout(row);
    connect(btnBildSpeichern, &QPushButton::clicked, this, &TfVerlauf::btnBildSpeichernClick);
    resize(1000, 600);
    Retranslate();
}

void TfVerlauf::SetSaveBox(TSaveBox box)
{
    FSaveBox = box ? std::move(box) : TSaveBox(defaultSaveBox);
}

void TfVerlauf::SetData(int number, const TChartData& data)
{
    FNumber = number;
    chtVerlauf->SetData(data);
    Retranslate();
}

void TfVerlauf::SwitchLanguage()
{
    Retranslate();
}

void TfVerlauf::Retranslate()
{
    setWindowTitle(Tr("Probenahmeverlauf") + (FNumber >= 0 ? QStringLiteral(" - ") + FmtDisplay().Format(Tr("Probe-Nr. %d"), {FNumber}) : QString()));
    btnBildSpeichern->setText(Tr("Als Bild speichern"));
    lblHinweis->setText(Tr("Zoomen mit Mausrad oder Rechteck, Doppelklick zeigt alles"));
}

void TfVerlauf::btnBildSpeichernClick()
{
    QString folder = FOutputFolder.trimmed();
    if (folder.isEmpty())
        folder = QDir::currentPath();
    const QString proposal = QDir(folder).filePath(QStringLiteral("Verlauf_%1.png").arg(FNumber));
    const QString path = FSaveBox ? FSaveBox(this, proposal) : QString();
    if (path.isEmpty())
        return;
    const TFormatSettings& fmt = FmtDisplay();
    if (chtVerlauf->SaveImage(path))
        Q_EMIT Status(fmt.Format(Tr("Bild %s gespeichert"), {QDir::toNativeSeparators(path)}), false);
    else
        Q_EMIT Status(fmt.Format(Tr("Bild %s konnte nicht gespeichert werden"), {QDir::toNativeSeparators(path)}), true);
}
