#include "answerfields.h"
#include "wireformat.h"

#include <gtest/gtest.h>

TEST(AnswerFields, countsAndTextsMatchGetToken)
{
    for (const QString& payload : {QStringLiteral("TSB;5;"), QStringLiteral("TSB"), QStringLiteral("TDR;0;;x;"),
                                  QStringLiteral(";;")}) {
        const TAnswerFields f(payload);
        int n = 0;
        QString tok;
        ASSERT_TRUE(GetToken(payload, QStringLiteral(";"), tok, n));
        EXPECT_EQ(f.count(), n) << payload.toStdString();
        for (int i = 1; i <= n + 1; ++i) {
            int idx = i;
            QString t;
            const bool got = GetToken(payload, QStringLiteral(";"), t, idx);
            EXPECT_EQ(f.has(i), got) << payload.toStdString() << " field " << i;
            if (got) {
                EXPECT_EQ(f.text(i), t);
            }
            int restIdx = -i;
            QString r;
            if (GetToken(payload, QStringLiteral(";"), r, restIdx)) {
                EXPECT_EQ(f.rest(i), r);
            }
        }
    }
    EXPECT_EQ(TAnswerFields(QString()).count(), 0);
}

TEST(AnswerFields, tellMissingFromNotAValue)
{
    const TAnswerFields f(QStringLiteral("TXX; 42 ;4x;-1.25;31.12.2026;23:59:58;12:30;;"));
    EXPECT_EQ(f.intAt(2).Value, 42);
    EXPECT_TRUE(f.intAt(2).ok());
    EXPECT_EQ(f.intAt(3).Result, TFieldResult::NotAValue);
    EXPECT_EQ(f.intAt(20).Result, TFieldResult::Missing);
    EXPECT_EQ(f.intAt(8).Result, TFieldResult::NotAValue);  // empty field
    EXPECT_DOUBLE_EQ(f.floatAt(4).Value, -1.25);
    EXPECT_EQ(TAnswerFields(QStringLiteral("T;1,5")).floatAt(2).Result, TFieldResult::NotAValue);
    EXPECT_EQ(f.dateAt(5).Value, QDate(2026, 12, 31));
    EXPECT_EQ(f.timeAt(6).Value, QTime(23, 59, 58));
    EXPECT_EQ(f.timeAt(7).Value, QTime(12, 30));
    EXPECT_EQ(f.dateAt(2).Result, TFieldResult::NotAValue);
    EXPECT_EQ(f.intAt(3).valueOr(-7), -7);
}
