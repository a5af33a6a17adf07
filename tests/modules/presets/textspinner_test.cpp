// The text spinner: the position mapping (wrap first, then the limits) and the signal that only
// the operator's steps raise.

#include "textspinner.h"

#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

QStringList numbers(int from, int to)
{
    QStringList list;
    for (int i = from; i <= to; ++i)
        list << QString::number(i);
    return list;
}

TEST(presets_TextSpinner, mapping_wrapsThenClamps)
{
    struct TCase {
        int first;
        int last;
        int min;
        int max;
        int requested;
        int expected;
    };
    const TCase cases[] = {
        {0, 10, 0, 10, 11, 0},   // brightness past the end
        {0, 10, 0, 10, -1, 10},  // below 0: the last entry
        {0, 10, 0, 10, 5, 5},
        {0, 10, 1, 10, 0, 1},    // number of presets: position 0 is not reachable
        {0, 10, 1, 10, 11, 1},
        {0, 10, 1, 10, -1, 10},
        {0, 15, 0, 15, 16, 0},   // standby
        {2, 50, 0, 48, 48, 48},  // maximum intervals show 2..50
        {2, 50, 0, 48, 49, 0},
        {0, 10, 0, 5, 8, 5},     // limits narrower than the list
        {0, 10, 0, 5, -1, 5},
        {0, 1, 0, -1, 2, 0},     // no limits of its own
    };
    for (const TCase& c : cases) {
        TTextSpinnerModel m(numbers(c.first, c.last), c.min, c.max);
        EXPECT_EQ(m.Map(c.requested), c.expected)
            << c.first << ".." << c.last << " within " << c.min << ".." << c.max << ": " << c.requested;
    }
    TTextSpinnerModel empty;
    EXPECT_EQ(empty.SetPosition(3), 0);
    EXPECT_TRUE(empty.Text().isEmpty());
}

TEST(presets_TextSpinner, onlyTheOperatorsStepsAreReported)
{
    TTextSpinner s;
    s.Show(TTextSpinnerModel(numbers(0, 10), 1, 10));
    QSignalSpy steps(&s, &TTextSpinner::UserStepped);
    s.SetPosition(10);
    s.SetTexts(numbers(0, 10));
    s.SetLimits(1, 10);
    EXPECT_EQ(steps.count(), 0);
    EXPECT_EQ(s.Text(), QStringLiteral("10"));

    s.stepBy(1);  // past the end wraps to 0, the limit makes it 1
    ASSERT_EQ(steps.count(), 1);
    EXPECT_EQ(steps.at(0).at(0).toInt(), 1);
    EXPECT_EQ(s.Text(), QStringLiteral("1"));
    s.stepBy(-1);  // 0 is below the limit: stays at 1, nothing to report
    EXPECT_EQ(steps.count(), 1);
    EXPECT_EQ(s.Position(), 1);

    s.show();
    s.setFocus();
    QTest::keyClick(&s, Qt::Key_Up);
    ASSERT_EQ(steps.count(), 2);
    EXPECT_EQ(steps.at(1).at(0).toInt(), 2);
    QTest::keyClick(&s, Qt::Key_A);
    EXPECT_EQ(s.Text(), QStringLiteral("2")) << "the text cannot be typed over";
    EXPECT_EQ(steps.count(), 2);

    // The wheel over a spinner without the focus leaves its value alone.
    QWidget other;
    other.show();
    other.setFocus();
    s.clearFocus();
    QWheelEvent wheel(QPointF(5, 5), s.mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&s, &wheel);
    EXPECT_EQ(steps.count(), 2);

    s.setEnabled(false);
    QTest::keyClick(&s, Qt::Key_Up);
    EXPECT_EQ(steps.count(), 2);
}

}  // namespace
