// Comparing what a statistics page shows with the expected texts: grid
// cells and chart points, reported with their place.
#pragma once

#include <gtest/gtest.h>

#include <QString>

#include <string>

#include "KvBarChart.h"
#include "KvStringGrid.h"

// Point of one hour: hours are added from 23 down to 0.
inline constexpr int kHours = 24;
inline int PointOfHour(int hour) { return kHours - 1 - hour; }

inline void ExpectCell(const TKvStringGrid& grid, int col, int row, const std::string& text)
{
    EXPECT_EQ(grid.Cell(col, row), text) << grid.objectName().toStdString() << " cell (" << col << ", " << row << ")";
}

// A bar with its value and label; marks that show the value show it whole.
inline void ExpectBar(const TKvBarChart& chart, const char* series, int hour, double value, const std::string& label)
{
    const int s = chart.SeriesIndex(series);
    ASSERT_GE(s, 0) << series;
    ASSERT_EQ(chart.PointCount(s), kHours) << series;
    const TKvBarPoint p = chart.Point(s, PointOfHour(hour));
    EXPECT_FALSE(p.Empty) << series << " hour " << hour;
    EXPECT_EQ(p.Value, value) << series << " hour " << hour;
    EXPECT_EQ(p.Label.toStdString(), label) << series << " hour " << hour;
    const TKvMarks marks = chart.Marks(s);
    if (marks.Visible && marks.Style == TKvMarks::ShowValue) {
        QString shown = chart.MarkText(s, PointOfHour(hour));
        EXPECT_EQ(shown.remove(',').toStdString(), std::to_string(static_cast<long long>(value)))
            << series << " hour " << hour << " mark";
    }
}

inline void ExpectEmptyBar(const TKvBarChart& chart, const char* series, int hour, const std::string& label)
{
    const int s = chart.SeriesIndex(series);
    ASSERT_GE(s, 0) << series;
    ASSERT_EQ(chart.PointCount(s), kHours) << series;
    const TKvBarPoint p = chart.Point(s, PointOfHour(hour));
    EXPECT_TRUE(p.Empty) << series << " hour " << hour << " holds " << p.Value;
    EXPECT_EQ(p.Label.toStdString(), label) << series << " hour " << hour;
    EXPECT_EQ(chart.MarkText(s, PointOfHour(hour)), QString()) << series << " hour " << hour;
}

inline void ExpectMark(const TKvBarChart& chart, const char* series, int hour, const std::string& text)
{
    const int s = chart.SeriesIndex(series);
    ASSERT_GE(s, 0) << series;
    EXPECT_EQ(chart.MarkText(s, PointOfHour(hour)).toStdString(), text) << series << " hour " << hour << " mark";
}
