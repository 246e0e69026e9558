// The window's slider: program writes of Min, Max and Value in any order and
// never a Scroll for them; a Scroll for every move the user makes.
#include <QSignalSpy>
#include <QTest>

#include "tests/integration/user_actions.h"
#include "ui/volume_slider.h"

class SliderTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    void min_and_max_are_accepted_in_either_order() {
        QFETCH(int, oldMin);
        QFETCH(int, oldMax);
        QFETCH(bool, minFirst);
        QFETCH(int, newMin);
        QFETCH(int, newMax);
        Slider s;
        s.Min(oldMin);
        s.Max(oldMax);
        if (minFirst) {
            s.Min(newMin);
            s.Max(newMax);
        } else {
            s.Max(newMax);
            s.Min(newMin);
        }
        QCOMPARE(s.Min(), newMin);
        QCOMPARE(s.Max(), newMax);
        QCOMPARE(s.minimum(), newMin);
        QCOMPARE(s.maximum(), newMax);
        QVERIFY(s.Value() >= newMin && s.Value() <= newMax);
    }
    void min_and_max_are_accepted_in_either_order_data() {
        QTest::addColumn<int>("oldMin");
        QTest::addColumn<int>("oldMax");
        QTest::addColumn<bool>("minFirst");
        QTest::addColumn<int>("newMin");
        QTest::addColumn<int>("newMax");
        QTest::newRow("0..0 to 5..11, Min first") << 0 << 0 << true << 5 << 11;
        QTest::newRow("0..11 to 20..30, Min first") << 0 << 11 << true << 20 << 30;
        QTest::newRow("0..11 to -20..-15, Min first") << 0 << 11 << true << -20 << -15;
        QTest::newRow("0..11 to 20..30, Max first") << 0 << 11 << false << 20 << 30;
        QTest::newRow("0..11 to -20..-15, Max first") << 0 << 11 << false << -20 << -15;
        QTest::newRow("to a single position") << 0 << 11 << true << 0 << 0;
        QTest::newRow("full 32-bit range") << 0 << 0 << true << INT32_MIN << INT32_MAX;
    }

    // A Min above Max stays as written; the thumb then has the one position Max.
    void a_reversed_range_leaves_one_position_at_max() {
        Slider s;
        s.Max(11);
        s.Value(7);
        s.Min(11);
        s.Max(0);
        QCOMPARE(s.Min(), 11);
        QCOMPARE(s.Max(), 0);
        QCOMPARE(s.minimum(), 0);
        QCOMPARE(s.maximum(), 0);
        QCOMPARE(s.Value(), 0);
    }

    void a_value_outside_the_range_is_kept_inside() {
        Slider s;
        s.Min(0);
        s.Max(11);
        s.Value(50);
        QCOMPARE(s.Value(), 11);
        s.Value(-3);
        QCOMPARE(s.Value(), 0);
    }

    void program_writes_are_reported_and_raise_no_scroll() {
        Slider s;
        QSignalSpy scroll(&s, &Slider::Scroll);
        QSignalSpy written(&s, &Slider::Written);
        s.Min(-4);
        s.Max(11);
        s.Value(3);
        s.Value(3);  // the same value again is still a write
        s.Min(0);
        s.Max(2);  // moves the thumb from 3 to 2
        QCOMPARE(scroll.count(), 0);
        QCOMPARE(written.count(), 6);
        QCOMPARE(written.at(3).at(0).value<Slider::Property>(), Slider::Property::Value);
        QCOMPARE(written.at(3).at(1).toInt(), 3);
        QCOMPARE(s.Value(), 2);
    }

    // Each key moves the thumb and raises one Scroll, with Value already at
    // the new position when the handler reads it.
    void keys_raise_scroll_with_the_new_value() {
        Slider s;
        s.Min(0);
        s.Max(20);
        s.Value(10);
        std::vector<int> seen;
        connect(&s, &Slider::Scroll, &s, [&] { seen.push_back(s.Value()); });
        s.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s));
        QTest::keyClick(&s, Qt::Key_Right);
        QTest::keyClick(&s, Qt::Key_Left);
        QTest::keyClick(&s, Qt::Key_Left);
        QTest::keyClick(&s, Qt::Key_PageUp);
        QTest::keyClick(&s, Qt::Key_PageDown);
        QTest::keyClick(&s, Qt::Key_End);
        QTest::keyClick(&s, Qt::Key_Home);
        const int step = s.pageStep();
        QCOMPARE(seen, (std::vector<int>{11, 10, 9, 9 + step, 9, 20, 0}));
        // At the end of the track a key moves nothing and raises nothing.
        QTest::keyClick(&s, Qt::Key_Home);
        QTest::keyClick(&s, Qt::Key_Left);
        QCOMPARE(seen.size(), size_t{7});
    }

    void a_click_on_the_track_and_a_drag_raise_scroll() {
        Slider s;
        s.resize(124, 42);
        s.Min(0);
        s.Max(11);
        s.Value(0);
        std::vector<int> seen;
        connect(&s, &Slider::Scroll, &s, [&] { seen.push_back(s.Value()); });
        s.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s));

        // A click on the track to the right of the thumb pages towards it.
        integration::ClickTrack(s, s.width() - 8);
        QVERIFY(!seen.empty());
        QCOMPARE(seen.back(), s.Value());
        QVERIFY(s.Value() > 0);

        // Drag the thumb from wherever it is now to the right end.
        s.Value(0);
        seen.clear();
        const int thumb = integration::HandleRect(s).center().x();
        integration::Drag(s, {thumb + 30, s.width() + 20});
        QVERIFY(seen.size() >= 2);
        QCOMPARE(seen.back(), 11);
        QCOMPARE(s.Value(), 11);
    }

    void the_wheel_raises_scroll() {
        Slider s;
        s.Min(0);
        s.Max(11);
        s.Value(5);
        QSignalSpy scroll(&s, &Slider::Scroll);
        s.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s));
        integration::Wheel(s, 120);
        QCOMPARE(scroll.count(), 1);
        QVERIFY(s.Value() != 5);
    }
};

QTEST_MAIN(SliderTest)
#include "slider_test.moc"
