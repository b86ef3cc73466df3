#pragma once
#include <QPoint>

class TGraphDraw;

// A point of one series of a chart: what the pointer is over.
struct SeriesPoint {
    int series = -1; // -1: no series near the pointer
    int point = -1;
};

// The series whose curve passes nearest the pointer, at most `tolerance` pixels above or below
// it and within its band, and its point nearest the pointer's column. Curves lie on top of each other where bands
// overlap: the nearest one wins, the later series on a tie (it is drawn on top).
SeriesPoint SeriesUnderPointer(const TGraphDraw& chart, QPoint pointer, int tolerance);
