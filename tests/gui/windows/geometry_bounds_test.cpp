// A main_window value out of all bounds (a window of two billion pixels a
// side, or one far off every screen) is brought onto the screen.
#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include "desktop/store/config_list.h"
#include "desktop/views/window_layout.h"

using namespace quillet;

class GeometryBoundsTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void outOfRangeGeometryIsClampedToTheScreen() {
        const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect kept[] = {QRect(0, 0, 2'000'000'000, 2'000'000'000),
                              QRect(900'000, -900'000, 300, 200)};
        for (const QRect& place : kept) {
            QWidget saved;
            saved.setGeometry(place);
            ConfigList list;
            keep_geometry(list, layout_key::kMainWindow, saved);
            QWidget restored;
            QVERIFY(restore_geometry(list, layout_key::kMainWindow, restored));
            QVERIFY2(room.contains(restored.geometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                        .arg(restored.x())
                                                                        .arg(restored.y())
                                                                        .arg(restored.width())
                                                                        .arg(restored.height())));
        }
    }
};

QTEST_MAIN(GeometryBoundsTest)
#include "geometry_bounds_test.moc"
