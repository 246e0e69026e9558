// The six Scroll handlers: position x 6000 to the slider's own line, then the
// feedback sound; an overflowing product writes nothing and asks no sound.
#include <QSignalSpy>
#include <QTest>

#include "tests/gui/gui_test_support.h"
#include "ui/root.h"

using gui_test::LevelWrites;
using gui_test::RecordingSound;
using gui_test::SliderLines;
using gui_test::SliderOf;
using testing_support::ScriptedMixer;

namespace {
// Every line spans the whole signed 32-bit range, so every slider position
// the handler can overflow on exists.
ScriptedMixer FullRangeMixer() {
    ScriptedMixer mixer = ScriptedMixer::FullCard();
    for (auto& [type, line] : mixer.lines) {
        line.minimum = INT32_MIN;
        line.maximum = INT32_MAX;
    }
    return mixer;
}
}  // namespace

class RootScrollTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    // Every slider at each position of the table: its own line gets the level,
    // and then "ding.wav" is asked for, asynchronous, not cutting in. On the
    // full 32-bit range the extreme positions exist; the handler asks for the
    // product only where it fits, and otherwise writes nothing and asks for no
    // sound.
    void each_handler_sets_its_own_line_then_dings() {
        QFETCH(bool, fullRange);
        QFETCH(int, position);
        QFETCH(bool, written);
        QFETCH(int, level);
        for (const auto& line : SliderLines()) {
            ScriptedMixer mixer = fullRange ? FullRangeMixer() : ScriptedMixer::FullCard();
            RecordingSound sound;
            Root root(mixer, sound);
            root.Form_Load();
            mixer.calls.clear();
            Slider* s = SliderOf(root, line.slider);
            s->Value(position);
            QCOMPARE(s->Value(), position);
            emit s->Scroll();
            if (written) {
                const std::vector<std::pair<DWORD, DWORD>> expected = {
                    {mixer.ControlOf(line.componentType), static_cast<DWORD>(level)}};
                QCOMPARE(LevelWrites(mixer), expected);
                QCOMPARE(sound.requests.size(), size_t{1});
                QCOMPARE(sound.requests[0].name, std::string("ding.wav"));
                QCOMPARE(sound.requests[0].flags, std::uint32_t{0x0011});
            } else {
                QVERIFY(mixer.calls.empty());
                QVERIFY(sound.requests.empty());
                QCOMPARE(s->Value(), position);  // the slider keeps the user's position
            }
        }
    }
    void each_handler_sets_its_own_line_then_dings_data() {
        QTest::addColumn<bool>("fullRange");
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("written");
        QTest::addColumn<int>("level");
        QTest::newRow("0") << false << 0 << true << 0;
        QTest::newRow("10") << false << 10 << true << 60000;
        QTest::newRow("11 clamps 66000") << false << 11 << true << 65535;
        QTest::newRow("357913") << true << 357913 << true << 2147478000;
        QTest::newRow("-357913") << true << -357913 << true << -2147478000;
        QTest::newRow("357914") << true << 357914 << false << 0;
        QTest::newRow("-357914") << true << -357914 << false << 0;
    }

    // The user's own keys drive the handlers: End and Home reach the
    // overflowing ends and are dropped; the program goes on, and the next
    // move sets the line.
    void user_keys_reach_the_handlers_and_overflow_is_survived() {
        ScriptedMixer mixer = FullRangeMixer();
        RecordingSound sound;
        Root root(mixer, sound);
        root.Form_Load();
        root.show();
        QVERIFY(QTest::qWaitForWindowActive(&root));
        Slider* s = SliderOf(root, "RMidi");
        s->setFocus();
        const DWORD midi = mixer.ControlOf(MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER);
        mixer.calls.clear();

        QTest::keyClick(s, Qt::Key_End);
        QCOMPARE(s->Value(), 357914);
        QTest::keyClick(s, Qt::Key_Home);
        QCOMPARE(s->Value(), -357914);
        QVERIFY(mixer.calls.empty());
        QVERIFY(sound.requests.empty());

        QTest::keyClick(s, Qt::Key_Right);
        const std::vector<std::pair<DWORD, DWORD>> expected = {
            {midi, static_cast<DWORD>(-357913 * 6000)}};
        QCOMPARE(LevelWrites(mixer), expected);
        QCOMPARE(sound.requests.size(), size_t{1});
    }

    // Each move the user makes sets the line and asks for a sound; whether
    // the sound plays while another still plays is the sound service's call.
    void every_user_move_sets_the_line() {
        ScriptedMixer mixer = ScriptedMixer::FullCard();
        RecordingSound sound;
        Root root(mixer, sound);
        root.Form_Load();
        root.show();
        QVERIFY(QTest::qWaitForWindowActive(&root));
        Slider* s = SliderOf(root, "RLautstärke");
        const DWORD master = mixer.ControlOf(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS);
        QCOMPARE(QApplication::focusWidget(), s);
        for (int i = 0; i < 4; ++i) QTest::keyClick(s, Qt::Key_Right);
        QTest::keyClick(s, Qt::Key_End);
        const std::vector<std::pair<DWORD, DWORD>> expected = {
            {master, 6000}, {master, 12000}, {master, 18000}, {master, 24000}, {master, 65535}};
        QCOMPARE(LevelWrites(mixer), expected);
        QCOMPARE(sound.requests.size(), size_t{5});
        QCOMPARE(mixer.levels[master], DWORD{65535});
    }
};

QTEST_MAIN(RootScrollTest)
#include "root_scroll_test.moc"
