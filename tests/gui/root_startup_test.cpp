// Start-up and closing of the window on the scripted mixer: ranges and levels
// fitted to the sliders, the no-mixer message, and the mixer closed once.
#include <QAbstractButton>
#include <QCloseEvent>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "tests/gui/gui_test_support.h"
#include "ui/root.h"

using gui_test::SliderLines;
using gui_test::SliderOf;
using testing_support::ScriptedMixer;

namespace {

// One program write of a slider property, in the order they happened.
struct Write {
    QString slider;
    Slider::Property property;
    int value;
    bool operator==(const Write&) const = default;
};

class WriteLog {
public:
    explicit WriteLog(Root& root) {
        for (const auto& line : SliderLines()) {
            Slider* s = SliderOf(root, line.slider);
            const QString name = QString::fromUtf8(line.slider);
            QObject::connect(s, &Slider::Written, s, [this, name](Slider::Property p, int v) {
                writes.push_back({name, p, v});
            });
        }
    }
    std::vector<Write> writes;
    std::vector<Write> ValueWrites() const {
        std::vector<Write> out;
        for (const auto& w : writes)
            if (w.property == Slider::Property::Value) out.push_back(w);
        return out;
    }
};

}  // namespace

class RootStartupTest : public QObject {
    Q_OBJECT

    gui_test::RecordingSound sound_;

private slots:
    void initTestCase() {
        QApplication::setApplicationName(QStringLiteral("Pegelwerk"));
        QApplication::setApplicationDisplayName(QStringLiteral("Pegelwerk"));
        QApplication::setStyle(QStringLiteral("Fusion"));
    }

    // Every line gets the same range; each slider gets Min and Max from it.
    void ranges_become_positions() {
        QFETCH(int, low);
        QFETCH(int, high);
        QFETCH(int, min);
        QFETCH(int, max);
        ScriptedMixer mixer = ScriptedMixer::FullCard();
        for (auto& [type, line] : mixer.lines) {
            line.minimum = low;
            line.maximum = high;
            mixer.levels[line.controlId] = static_cast<DWORD>(low);
        }
        Root root(mixer, sound_);
        root.Form_Load();
        for (const auto& line : SliderLines()) {
            QCOMPARE(SliderOf(root, line.slider)->Min(), min);
            QCOMPARE(SliderOf(root, line.slider)->Max(), max);
        }
    }
    void ranges_become_positions_data() {
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::newRow("0..65535") << 0 << 65535 << 0 << 11;
        QTest::newRow("-65536..65535") << -65536 << 65535 << -11 << 11;
        QTest::newRow("ties to even: 3000..9000") << 3000 << 9000 << 0 << 2;
        QTest::newRow("ties to even: -9000..15000") << -9000 << 15000 << -2 << 2;
        QTest::newRow("full 32-bit") << INT32_MIN << INT32_MAX << -357914 << 357914;
        QTest::newRow("0..0") << 0 << 0 << 0 << 0;
    }

    // Distinct ranges per line show that each slider takes its own line's,
    // written Min then Max, slider by slider, before any Value.
    void each_slider_takes_its_own_range_min_then_max_in_order() {
        ScriptedMixer mixer = ScriptedMixer::FullCard();
        std::vector<Write> expected;
        int k = 1;
        for (const auto& line : SliderLines()) {
            auto& l = mixer.lines.at(line.componentType);
            l.minimum = -6000 * k;
            l.maximum = 6000 * (10 + k);
            expected.push_back({QString::fromUtf8(line.slider), Slider::Property::Min, -k});
            expected.push_back({QString::fromUtf8(line.slider), Slider::Property::Max, 10 + k});
            mixer.levels[l.controlId] = static_cast<DWORD>(6000 * (k + 1));
            ++k;
        }
        Root root(mixer, sound_);
        WriteLog log(root);
        root.Form_Load();
        QVERIFY(log.writes.size() >= 12);
        QCOMPARE(std::vector<Write>(log.writes.begin(), log.writes.begin() + 12), expected);
        k = 1;
        for (const auto& line : SliderLines()) QCOMPARE(SliderOf(root, line.slider)->Value(), ++k);
    }

    void levels_become_positions() {
        QFETCH(int, level);
        QFETCH(int, position);
        ScriptedMixer mixer = ScriptedMixer::FullCard();
        for (auto& [id, value] : mixer.levels) value = static_cast<DWORD>(level);
        Root root(mixer, sound_);
        root.Form_Load();
        for (const auto& line : SliderLines())
            QCOMPARE(SliderOf(root, line.slider)->Value(), position);
    }
    void levels_become_positions_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("position");
        const int cases[][2] = {{0, 0},     {3000, 0},  {9000, 2},   {15000, 2},
                                {21000, 4}, {32767, 5}, {60000, 10}, {65535, 11}};
        for (const auto& c : cases) QTest::addRow("%d -> %d", c[0], c[1]) << c[0] << c[1];
    }

    // Value is written only where the unrounded quotient differs from the
    // position the slider already has.
    void value_written_only_where_the_quotient_differs() {
        QFETCH(int, level);
        QFETCH(int, before);
        QFETCH(QList<int>, writes);
        ScriptedMixer mixer = ScriptedMixer::FullCard();
        const DWORD master = mixer.ControlOf(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS);
        mixer.levels[master] = static_cast<DWORD>(level);
        Root root(mixer, sound_);
        Slider* s = SliderOf(root, "RLautstärke");
        s->Max(11);
        s->Value(before);
        QCOMPARE(s->Value(), before);
        WriteLog log(root);
        root.Form_Load();
        QList<int> got;
        for (const auto& w : log.ValueWrites())
            if (w.slider == QString::fromUtf8("RLautstärke")) got << w.value;
        QCOMPARE(got, writes);
        QCOMPARE(s->Value(), writes.isEmpty() ? before : writes.back());
    }
    void value_written_only_where_the_quotient_differs_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("before");
        QTest::addColumn<QList<int>>("writes");
        QTest::newRow("12000 at 2: nothing") << 12000 << 2 << QList<int>{};
        QTest::newRow("12000 at 3: becomes 2") << 12000 << 3 << QList<int>{2};
        QTest::newRow("65535 at 11: 11 again") << 65535 << 11 << QList<int>{11};
        QTest::newRow("0 at 0: nothing") << 0 << 0 << QList<int>{};
        QTest::newRow("3000 at 0: 0 again") << 3000 << 0 << QList<int>{0};
    }

    void all_six_levels_are_read_before_any_slider_is_touched() {
        ScriptedMixer mixer = ScriptedMixer::FullCard();
        for (auto& [id, value] : mixer.levels) value = 30000;
        Root root(mixer, sound_);
        std::vector<size_t> readsAtValueWrite;
        for (const auto& line : SliderLines())
            connect(SliderOf(root, line.slider), &Slider::Written, this,
                    [&](Slider::Property p, int) {
                        if (p == Slider::Property::Value)
                            readsAtValueWrite.push_back(
                                mixer.CallsNamed("mixerGetControlDetailsA").size());
                    });
        root.Form_Load();
        QCOMPARE(readsAtValueWrite, std::vector<size_t>(6, 6));
        // The reads go out master, microphone, line-in, CD, MIDI, wave.
        std::vector<DWORD> order;
        for (const auto& c : mixer.CallsNamed("mixerGetControlDetailsA"))
            order.push_back(c.controlId);
        std::vector<DWORD> expected;
        for (const auto& line : SliderLines())
            expected.push_back(mixer.ControlOf(line.componentType));
        QCOMPARE(order, expected);
    }

    // Start-up moves every slider and must neither set a line nor ding.
    void start_up_writes_raise_no_scroll() {
        ScriptedMixer mixer = ScriptedMixer::FullCard();
        for (auto& [id, value] : mixer.levels) value = 45000;
        gui_test::RecordingSound sound;
        Root root(mixer, sound);
        std::vector<std::unique_ptr<QSignalSpy>> spies;
        for (const auto& line : SliderLines())
            spies.push_back(
                std::make_unique<QSignalSpy>(SliderOf(root, line.slider), &Slider::Scroll));
        root.Form_Load();
        root.show();
        QVERIFY(QTest::qWaitForWindowExposed(&root));
        for (const auto& spy : spies) QCOMPARE(spy->count(), 0);
        QVERIFY(mixer.CallsNamed("mixerSetControlDetails").empty());
        QVERIFY(sound.requests.empty());
        QCOMPARE(SliderOf(root, "RMidi")->Value(), 8);
    }

    // The message comes while Form_Load runs, before the window is shown;
    // afterwards the window opens with every slider at 0..0, value 0.
    void no_mixer_shows_the_message_first_then_sliders_at_zero() {
        ScriptedMixer mixer = ScriptedMixer::FullCard();
        mixer.refuse["mixerOpen"] = MMSYSERR_BADDEVICEID;
        Root root(mixer, sound_);
        int boxes = 0;
        bool windowWasHidden = false;
        QString text, title;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon = QMessageBox::Information;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            ++boxes;
            windowWasHidden = !root.isVisible();
            text = box->text();
            title = box->windowTitle();
            buttons = box->standardButtons();
            icon = box->icon();
            box->button(QMessageBox::Ok)->click();
        });
        poll.start(10);
        root.Form_Load();
        poll.stop();
        QCOMPARE(boxes, 1);
        QVERIFY(windowWasHidden);
        QCOMPARE(text, QStringLiteral("Es wurde kein Mixer in Ihrem System gefunden !"));
        QCOMPARE(title, QStringLiteral("Pegelwerk"));
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(icon, QMessageBox::NoIcon);

        root.show();
        QVERIFY(QTest::qWaitForWindowExposed(&root));
        for (const auto& line : SliderLines()) {
            Slider* s = SliderOf(root, line.slider);
            QCOMPARE(s->Min(), 0);
            QCOMPARE(s->Max(), 0);
            QCOMPARE(s->Value(), 0);
        }
        QVERIFY(mixer.CallsNamed("mixerGetLineInfoA").empty());
        root.close();
        QCOMPARE(mixer.CallsNamed("mixerClose").size(), size_t{1});
    }

    void closing_by_any_means_closes_the_mixer_once() {
        QFETCH(QString, how);
        ScriptedMixer mixer = ScriptedMixer::FullCard();
        {
            Root root(mixer, sound_);
            root.Form_Load();
            root.show();
            QVERIFY(QTest::qWaitForWindowExposed(&root));
            QVERIFY(mixer.CallsNamed("mixerClose").empty());
            if (how == "close") {
                QVERIFY(root.close());
            } else if (how == "window system") {
                QCloseEvent event;  // what the close button, system menu and Alt+F4 deliver
                QApplication::sendEvent(root.windowHandle(), &event);
            } else if (how == "twice") {
                root.close();
                QCloseEvent event;
                QApplication::sendEvent(root.windowHandle(), &event);
                root.close();
            }
            if (how != "destroyed") {
                QVERIFY(!root.isVisible());
                QCOMPARE(mixer.CallsNamed("mixerClose").size(), size_t{1});
            }
        }
        QCOMPARE(mixer.CallsNamed("mixerClose").size(), size_t{1});
        QCOMPARE(mixer.CallsNamed("mixerClose").front().handle, ScriptedMixer::kHandle);
    }
    void closing_by_any_means_closes_the_mixer_once_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("by the program") << QStringLiteral("close");
        QTest::newRow("by the window system") << QStringLiteral("window system");
        QTest::newRow("twice") << QStringLiteral("twice");
        QTest::newRow("destroyed without closing") << QStringLiteral("destroyed");
    }

    void query_unload_leaves_cancel_and_releases_the_mixer() {
        ScriptedMixer mixer = ScriptedMixer::FullCard();
        Root root(mixer, sound_);
        root.Form_Load();
        std::int16_t Cancel = -1;
        std::int16_t UnloadMode = 0;
        root.Form_QueryUnload(Cancel, UnloadMode);
        QCOMPARE(Cancel, std::int16_t{-1});
        QCOMPARE(UnloadMode, std::int16_t{0});
        QCOMPARE(mixer.CallsNamed("mixerClose").size(), size_t{1});
    }
};

QTEST_MAIN(RootStartupTest)
#include "root_startup_test.moc"
