#include "ui/rf/ChartReadout.h"

#include "ui/rf/GraphDraw.h"

#include <cstdlib>
#include <limits>

SeriesPoint SeriesUnderPointer(const TGraphDraw& chart, QPoint pointer, int tolerance)
{
    SeriesPoint best;
    int bestDistance = tolerance + 1;
    for (int s = 0; s < chart.GraphCount(); ++s) {
        const TGraphData& series = chart.Graph(s);
        int nearest = -1;
        int nearestColumnDistance = std::numeric_limits<int>::max();
        QPoint at;
        for (int i = 0; i < series.Count(); ++i) {
            const QPoint p = chart.PointPosition(series.X(i), series.Y(i));
            const int columnDistance = std::abs(p.x() - pointer.x());
            if (columnDistance < nearestColumnDistance) {
                nearest = i;
                nearestColumnDistance = columnDistance;
                at = p;
            }
        }
        if (nearest < 0)
            continue;
        // Beyond either end of its band a curve is not under the pointer.
        const int first = chart.PointPosition(series.X(0), series.Y(0)).x();
        const int last = chart.PointPosition(series.X(series.Count() - 1), series.Y(series.Count() - 1)).x();
        if (pointer.x() < first - tolerance || pointer.x() > last + tolerance)
            continue;
        const int distance = std::abs(at.y() - pointer.y());
        if (distance <= bestDistance) {
            best = { s, nearest };
            bestDistance = distance;
        }
    }
    return best;
}
