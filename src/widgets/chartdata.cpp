#include "chartdata.h"

#include <algorithm>

TThinnedSeries::TThinnedSeries(int maxPoints)
    : FMaxPoints(std::max(maxPoints, 4))
{
}

void TThinnedSeries::Clear()
{
    FPoints.clear();
    FStride = 1;
    FSamples = 0;
    FTailExtra = false;
}

void TThinnedSeries::Add(const QPointF& point)
{
    if (FTailExtra) {
        FPoints.removeLast();
        FTailExtra = false;
    }
    FTailExtra = FSamples % FStride != 0;
    FPoints.append(point);
    ++FSamples;
    if (FPoints.size() <= FMaxPoints)
        return;
    // Point i of the kept ones is sample i * stride: the even ones stay on the doubled stride.
    QPointF tail = FPoints.last();
    bool keepTail = FTailExtra;
    if (keepTail)
        FPoints.removeLast();
    else
        keepTail = (FPoints.size() - 1) % 2 == 1;
    QList<QPointF> kept;
    kept.reserve(FPoints.size() / 2 + 2);
    for (qsizetype i = 0; i < FPoints.size(); i += 2)
        kept.append(FPoints[i]);
    FPoints = std::move(kept);
    FStride *= 2;
    FTailExtra = keepTail;
    if (keepTail)
        FPoints.append(tail);
}
