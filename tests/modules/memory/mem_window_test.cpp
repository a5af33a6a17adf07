// The memory monitor window: the list shows every value of a request, in its target's colour,
// and a double click loads a row back into the inputs.

#include "i18n.h"
#include "programsettings.h"
#include "sendorder.h"
#include "settingsform.h"
#include "tfmem.h"
#include "wireformat.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "qtprinters.h"

#include <memory>

namespace {

TEST(memory_Window, moreValuesThanColumns_areShownInFurtherColumns)
{
    TFSettingsForm settings;
    BuildProgramSettings(settings);
    SetProgramLanguage(kLangGerman);
    TAppContext context(settings);
    context.Online = true;
    QStringList sent;
    SetOrderSink([&sent](const TOrder& o) { sent << FromWire(o.TXData); });
    TfMem window(context);
    window.show();
    EXPECT_EQ(window.lvMem->columnCount(), 25);
    window.tsTarget->setCurrentIndex(1);
    window.eAdr->setText(QStringLiteral("10"));
    QStringList values;
    for (int i = 1; i <= 22; ++i)
        values << QString::number(i);
    window.eWrite->setText(values.join(QLatin1Char(';')));
    window.btnWrite->click();
    ASSERT_EQ(sent.size(), 1);
    window.RXData(kOrderDone, window.Logic().RequestCounter(),
                  QStringLiteral("THM;2;10;22;") + values.join(QLatin1Char(';')) + QLatin1Char(';'));
    EXPECT_EQ(window.lvMem->columnCount(), 27);
    EXPECT_EQ(window.lvMem->headerItem()->text(26), QStringLiteral("D22"));
    const QTreeWidgetItem* row = window.lvMem->topLevelItem(0);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->text(26), QStringLiteral(" 22"));
    EXPECT_EQ(row->text(1), QStringLiteral("W"));
    EXPECT_EQ(row->text(2), QStringLiteral("EEPROM"));
    EXPECT_EQ(row->foreground(3).color(), QColor(128, 0, 128));

    window.eWrite->clear();
    window.tsTarget->setCurrentIndex(0);
    Q_EMIT window.lvMem->itemDoubleClicked(window.lvMem->topLevelItem(0), 0);
    EXPECT_EQ(window.tsTarget->currentIndex(), 1);
    EXPECT_EQ(window.eWrite->text(), values.join(QLatin1Char(';')));
    SetOrderSink({});
}

}  // namespace
