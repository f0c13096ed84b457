// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapCompare.h"
#include "maps/SurfaceGeometry.h"
#include "maps/WorkingTrail.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QThread>

using namespace tarvex::maps;

namespace {

std::vector<int> cellsOf(const WorkingTrail &trail)
{
    std::vector<int> cells;
    for (const WorkingTrail::Point &p : trail.points())
        cells.push_back(p.cell);
    return cells;
}

TEST(WorkingTrail, KeepsTheLastMovesNewestStrongest)
{
    WorkingTrail trail;
    EXPECT_EQ(trail.newest(), -1);
    for (int cell : {34, 34, 35, -1, 256, 51})
        trail.visit(cell);
    EXPECT_EQ(cellsOf(trail), (std::vector<int>{34, 35, 51})) << "a tick on the same cell or outside adds nothing";
    EXPECT_EQ(trail.newest(), 51);
    const auto points = trail.points();
    EXPECT_DOUBLE_EQ(points.back().strength, 1.0);
    EXPECT_DOUBLE_EQ(points.front().strength, 23.0 / 25);

    for (int cell = 100; cell < 130; ++cell)
        trail.visit(cell);
    EXPECT_EQ(trail.points().size(), size_t(WorkingTrail::kLength));
    EXPECT_EQ(trail.points().front().cell, 105) << "the oldest fall off the ring";
    EXPECT_DOUBLE_EQ(trail.points().front().strength, 1.0 / 25);
    trail.clear();
    EXPECT_TRUE(trail.points().empty());
}

TEST(MapCompare, DifferencesCompareNumbersByValue)
{
    QStringList ecu(256, QStringLiteral("40"));
    QStringList file = ecu;
    file[3] = QStringLiteral("040");
    file[7] = QStringLiteral("41");
    ecu[9] = QString();
    const std::vector<CellDifference> d = mapDifferences(ecu, file);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].cell, 7);
    EXPECT_EQ(d[0].ecu, QStringLiteral("40"));
    EXPECT_EQ(d[0].file, QStringLiteral("41"));
    EXPECT_EQ(d[1].cell, 9);
    EXPECT_TRUE(mapDifferences(ecu, ecu).empty());
}

TEST(MapCompare, TheNewestKeptCopyByTimeLeavingOneOut)
{
    QTemporaryDir dir;
    EXPECT_EQ(newestMapFile(dir.path(), QStringLiteral(".inj")), QString());
    for (const char *name : {"31-12-26_23-59-59.inj", "01-01-27_00-00-01.inj", "01-01-27_00-00-02.ign"}) {
        QFile f(dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        QThread::msleep(20); // written one after the other; names do not sort by time
    }
    EXPECT_TRUE(newestMapFile(dir.path(), QStringLiteral(".inj")).endsWith(QLatin1String("01-01-27_00-00-01.inj")));
    EXPECT_TRUE(newestMapFile(dir.path(), QStringLiteral(".inj"), dir.filePath(QStringLiteral("01-01-27_00-00-01.inj")))
                    .endsWith(QLatin1String("31-12-26_23-59-59.inj")));
}

TEST(SurfaceGeometry, ProjectionFromAboveAndFromTheSide)
{
    const SurfaceFrame frame{0, 100, QSize(600, 600)};
    // From above, unturned: the grid as it lies on the page.
    const SurfaceView above{0, 90, 1.0};
    const QPointF topLeft = projectSurfacePoint(above, frame, 0, 0, 0).at;
    const QPointF bottomRight = projectSurfacePoint(above, frame, 15, 15, 100).at;
    EXPECT_LT(topLeft.x(), 300);
    EXPECT_LT(topLeft.y(), 300);
    EXPECT_NEAR(bottomRight.x(), 600 - topLeft.x(), 1e-9);
    EXPECT_NEAR(bottomRight.y(), 600 - topLeft.y(), 1e-9);
    EXPECT_NEAR(projectSurfacePoint(above, frame, 7.5, 7.5, 50).at.x(), 300, 1e-9);
    // From the side: a higher value stands higher, nearer rows are nearer.
    const SurfaceView side{0, 0, 1.0};
    EXPECT_LT(projectSurfacePoint(side, frame, 3, 3, 100).at.y(), projectSurfacePoint(side, frame, 3, 3, 0).at.y());
    EXPECT_LT(projectSurfacePoint(side, frame, 3, 15, 0).depth, projectSurfacePoint(side, frame, 3, 0, 0).depth);
    // Zoom scales about the centre.
    const QPointF near2 = projectSurfacePoint(SurfaceView{0, 90, 2.0}, frame, 0, 0, 0).at;
    EXPECT_NEAR(near2.x() - 300, 2 * (topLeft.x() - 300), 1e-9);
}

TEST(SurfaceGeometry, DraggingAndZoomStayInBounds)
{
    const SurfaceView v{-30, 35, 1.0};
    EXPECT_DOUBLE_EQ(draggedView(v, 20, 0).yaw, -20);
    EXPECT_DOUBLE_EQ(draggedView(v, 0, 500).pitch, 90);
    EXPECT_DOUBLE_EQ(draggedView(v, 0, -500).pitch, 0);
    EXPECT_NEAR(zoomedView(v, 1).zoom, 1.15, 1e-12);
    EXPECT_DOUBLE_EQ(zoomedView(v, 100).zoom, 4.0);
    EXPECT_DOUBLE_EQ(zoomedView(v, -100).zoom, 0.4);
}

} // namespace
