#include "frtestergebnis.h"

#include "i18n.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {

QLineEdit* readOnly(QWidget* parent, const QString& name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(true);
    return e;
}

}  // namespace

TfrTestergebnis::TfrTestergebnis(const char* caption, const char* row0, const char* row1, const QString& unit,
                                 QWidget* parent)
    : QGroupBox(parent)
    , FCaption(caption)
    , FRow0(row0)
    , FRow1(row1)
{
    auto* g = new QGridLayout(this);
    eDatum = readOnly(this, QStringLiteral("eDatum"));
    eZeit = readOnly(this, QStringLiteral("eZeit"));
    eErgVal0 = readOnly(this, QStringLiteral("eErgVal0"));
    eErgVal1 = readOnly(this, QStringLiteral("eErgVal1"));
    eErgebnis = readOnly(this, QStringLiteral("eErgebnis"));
    const std::array<QLineEdit*, 5> fields{eDatum, eZeit, eErgVal0, eErgVal1, eErgebnis};
    for (int i = 0; i < 5; ++i) {
        auto* l = new QLabel(this);
        l->setBuddy(fields[static_cast<size_t>(i)]);
        FLabels << l;
        g->addWidget(l, i, 0);
        g->addWidget(fields[static_cast<size_t>(i)], i, 1);
    }
    g->addWidget(new QLabel(unit, this), 2, 2);
    g->addWidget(new QLabel(unit, this), 3, 2);
    ledErgebnis = new QLabel(this);
    ledErgebnis->setObjectName(QStringLiteral("ledErgebnis"));
    ledErgebnis->setFixedSize(14, 14);
    g->addWidget(ledErgebnis, 4, 2);
    aiTestRunning = new QProgressBar(this);
    aiTestRunning->setObjectName(QStringLiteral("aiTestRunning"));
    aiTestRunning->setRange(0, 1);
    aiTestRunning->setTextVisible(false);
    aiTestRunning->setMaximumHeight(10);
    g->addWidget(aiTestRunning, 5, 0, 1, 3);
    btnStartTest = new QPushButton(this);
    btnStartTest->setObjectName(QStringLiteral("btnStartTest"));
    btnStartTest->hide();
    connect(btnStartTest, &QPushButton::clicked, this, [this] {
        if (FStartCallback)
            FStartCallback();
    });
    g->addWidget(btnStartTest, 6, 0, 1, 3);
    SwitchLanguage();
    ShowView({});
}

void TfrTestergebnis::SwitchLanguage()
{
    setTitle(Tr(FCaption));
    const std::array<QString, 5> captions{Tr("Datum"), Tr("Zeit"), Tr(FRow0), Tr(FRow1), Tr("Ergebnis")};
    const std::array<QLineEdit*, 5> fields{eDatum, eZeit, eErgVal0, eErgVal1, eErgebnis};
    for (int i = 0; i < 5; ++i) {
        FLabels[i]->setText(captions[static_cast<size_t>(i)]);
        fields[static_cast<size_t>(i)]->setAccessibleName(captions[static_cast<size_t>(i)]);
    }
    btnStartTest->setText(Tr("Test durchführen"));
}

void TfrTestergebnis::ShowView(const TTestFrameView& view)
{
    eDatum->setText(view.Date);
    eZeit->setText(view.Time);
    eErgVal0->setText(view.Value0);
    eErgVal1->setText(view.Value1);
    eErgebnis->setText(view.Result);
    const QString colour = !view.Lit ? QStringLiteral("#600000") : view.Passed ? QStringLiteral("#00c000") : QStringLiteral("#ff0000");
    ledErgebnis->setStyleSheet(QStringLiteral("QLabel { background: %1; border-radius: 7px; }").arg(colour));
    FRunning = view.Running;
    // A running indicator is a busy bar; idle it is empty.
    aiTestRunning->setRange(0, FRunning ? 0 : 1);
    btnStartTest->setEnabled(FButtonEnabled && !FRunning);
}

void TfrTestergebnis::SetTestButtonEnabled(bool enabled)
{
    FButtonEnabled = enabled;
    btnStartTest->setEnabled(FButtonEnabled && !FRunning);
}

void TfrTestergebnis::SetStartCallback(TTestStartCallback callback)
{
    FStartCallback = std::move(callback);
    btnStartTest->setVisible(bool(FStartCallback));
}
