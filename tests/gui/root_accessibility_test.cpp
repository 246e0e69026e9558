// What a screen reader learns about the sliders: each one is a slider named by
// the caption above it, and its value is the position the user sees.
#include <QAccessible>
#include <QAccessibleInterface>
#include <QAccessibleValueInterface>
#include <QTest>

#include "tests/gui/gui_test_support.h"
#include "ui/root.h"

using gui_test::RecordingSound;
using gui_test::SliderOf;
using testing_support::ScriptedMixer;

class RootAccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void each_slider_is_announced_by_its_caption_and_position() {
        QFETCH(QString, slider);
        QFETCH(QString, caption);
        ScriptedMixer mixer = ScriptedMixer::FullCard();
        RecordingSound sound;
        Root root(mixer, sound);
        root.Form_Load();
        root.show();
        QVERIFY(QTest::qWaitForWindowExposed(&root));
        Slider* s = SliderOf(root, slider.toUtf8().constData());
        QVERIFY(s);

        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(s);
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::Slider);
        QCOMPARE(a->text(QAccessible::Name), caption);
        QAccessibleValueInterface* value = a->valueInterface();
        QVERIFY(value);
        QCOMPARE(value->currentValue().toInt(), 0);
        QCOMPARE(value->minimumValue().toInt(), 0);
        QCOMPARE(value->maximumValue().toInt(), 11);

        // The user moves it: the announced value follows.
        s->setFocus();
        for (int i = 0; i < 5; ++i) QTest::keyClick(s, Qt::Key_Right);
        QCOMPARE(value->currentValue().toInt(), 5);
        QCOMPARE(a->text(QAccessible::Name) + ", slider, " + value->currentValue().toString(),
                 caption + ", slider, 5");
    }
    void each_slider_is_announced_by_its_caption_and_position_data() {
        QTest::addColumn<QString>("slider");
        QTest::addColumn<QString>("caption");
        QTest::newRow("master") << QStringLiteral("RLautstärke") << QStringLiteral("Lautstärkeregler");
        QTest::newRow("microphone") << QStringLiteral("RMicrofon") << QStringLiteral("Microfon");
        QTest::newRow("line in") << QStringLiteral("RLineIn") << QStringLiteral("Line In");
        QTest::newRow("cd") << QStringLiteral("RCDAudio") << QStringLiteral("CD-Audio");
        QTest::newRow("midi") << QStringLiteral("RMidi") << QStringLiteral("MIDI");
        QTest::newRow("wave") << QStringLiteral("RWave") << QStringLiteral("Wave");
    }
};

QTEST_MAIN(RootAccessibilityTest)
#include "root_accessibility_test.moc"
