// The window over the scripted mixer, offscreen: layout, start-up, what each slider's
// move writes and asks to play, the focus's look, closing. Without a mixer the message
// box comes before the window: e2e.atspi, as main() shows the window.
#include "ui/root.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QRegion>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <memory>
#include <tuple>

#include "tests/support/scripted_mixer.h"
#include "ui/volume_slider.h"

using testing_support::Call;
using Calls = std::vector<Call>;

namespace {

// Logs sound requests with the mixer's calls, so that their order shows.
struct Window : testing_support::ScriptedMixer, SoundService {
    Root root{*this, *this};
    bool sndPlaySoundA(const char* pszSound, std::uint32_t fuSound) override {
        calls.push_back({std::string("play ") + pszSound, fuSound});
        return true;
    }
    Slider* operator[](const char* name) {
        return root.findChild<Slider*>(QString::fromUtf8(name));
    }
    // Loaded and shown, `name` at `from`, the calls so far forgotten.
    Slider* Shown(const char* name, int from) {
        root.Form_Load(), root.show();
        (*this)[name]->Value(from);
        calls.clear();
        return (*this)[name];
    }
};

const char* const kSliders[] = {"RLautstärke", "RMicrofon", "RLineIn",
                                "RCDAudio",    "RMidi",     "RWave"};
const Call kDing{"play ding.wav", 0x11};

}  // namespace

// Centred on the offscreen screen with its 2 px frame: (800 - 483) / 2 = 158.5,
// (800 - 274) / 2 = 263.
TEST(Root, IsAFixedCentredWindowLaidOutFromTwips) {
    Window w;
    w.root.show();
    ASSERT_EQ(w.root.screen()->availableGeometry(), QRect(0, 0, 800, 800));
    EXPECT_EQ(std::tuple(w.root.windowTitle(), w.root.pos()),
              std::tuple(QString("Pegelwerk"), QPoint(158, 263)));
    EXPECT_EQ(w.root.minimumSize(), QSize(479, 270));
    EXPECT_EQ(w.root.maximumSize(), QSize(479, 270));
    EXPECT_EQ(w.root.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                                      Qt::WindowMaximizeButtonHint),
              Qt::WindowCloseButtonHint);
    // Name, left, top, right edge and height in pixels at 96 dpi (twips / 15). A label may
    // grow away from its aligned edge, so -1 leaves the other edge open.
    const std::tuple<const char*, int, int, int, int> boxes[] = {
        {"RLautstärke", 18, 69, 142, 42}, {"RMidi", 174, 162, 298, 42},
        {"RWave", 324, 162, 448, 42},     {"LMicrofon", 171, 30, -1, 13},
        {"Label8", -1, 144, 299, 13},     {"Label4", -1, 51, 296, 13}};
    for (auto [name, left, top, right, height] : boxes) {
        const QRect r = w.root.findChild<QWidget*>(QString::fromUtf8(name))->geometry();
        EXPECT_EQ(std::tuple(r.y(), r.height(), left < 0 ? -1 : r.x()),
                  std::tuple(top, height, left))
            << name;
        EXPECT_EQ(right < 0 ? -1 : r.x() + r.width(), right) << name;
    }
    QRegion covered;
    for (QWidget* c : w.root.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        EXPECT_FALSE(covered.intersects(c->geometry())) << c->objectName().toStdString();
        covered += c->geometry();
    }
    EXPECT_TRUE(w.root.rect().contains(covered.boundingRect()));
}

// Min before Max, slider by slider; then Value, only where level / 6000 differs from the
// position held (range, level, position held; Min, Max, Value, whether Value is written).
TEST(Root, StartUpFitsRangesAndLevelsToPositions) {
    const std::tuple<int, int, int, int, int, int, int, bool> rows[] = {
        {0, 65535, 0, 0, 0, 11, 0, false},      {-65536, 65535, -65536, 0, -11, 11, -11, true},
        {0, 65535, 3000, 0, 0, 11, 0, true},    {0, 65535, 9000, 0, 0, 11, 2, true},
        {0, 65535, 15000, 0, 0, 11, 2, true},   {0, 65535, 21000, 0, 0, 11, 4, true},
        {0, 65535, 32767, 0, 0, 11, 5, true},   {0, 65535, 60000, 0, 0, 11, 10, true},
        {0, 65535, 65535, 11, 0, 11, 11, true}, {0, 65535, 12000, 2, 0, 11, 2, false},
        {0, 65535, 12000, 3, 0, 11, 2, true}};
    for (auto [min, max, level, before, sliderMin, sliderMax, value, valueWritten] : rows) {
        Window w;
        using Write = std::tuple<std::string, Slider::Property, int>;
        std::vector<Write> writes, expected;
        for (const char* name : kSliders) {
            w[name]->Max(11), w[name]->Value(before);
            QObject::connect(w[name], &Slider::Written, [&writes, name](Slider::Property p, int v) {
                writes.emplace_back(name, p, v);
            });
            expected.emplace_back(name, Slider::Property::Min, sliderMin);
            expected.emplace_back(name, Slider::Property::Max, sliderMax);
        }
        for (const char* name : kSliders)
            if (valueWritten) expected.emplace_back(name, Slider::Property::Value, value);
        for (auto& [type, line] : w.lines) {
            line.minimum = min, line.maximum = max;
            w.levels[line.controlId] = static_cast<DWORD>(level);
        }
        w.root.Form_Load();
        EXPECT_EQ(writes, expected) << min << ".." << max << " at " << level;
        EXPECT_EQ(w.calls.back(), (Call{"mixerGetControlDetailsA", 3}));  // the last read
    }
}

// Slider, position; one step away from 0 writes level to control (0: nothing, no sound).
// The master spans 32 bits: 357914 * 6000 does not fit; 2147489296 is -2147478000.
TEST(Root, AMoveWritesItsOwnLineThenAsksForTheDingUnlessTheLevelOverflows) {
    const std::tuple<const char*, int, DWORD, DWORD> rows[] = {
        // clang-format off
        {"RLautstärke", 0, 1, 6000}, {"RMicrofon", 0, 2, 6000}, {"RLineIn", 0, 6, 6000},
        {"RCDAudio", 0, 5, 6000},    {"RMidi", 0, 4, 6000},     {"RWave", 0, 3, 6000},
        {"RLautstärke", 357912, 1, 2147478000u}, {"RLautstärke", 357913, 0, 0},
        {"RLautstärke", -357912, 1, 2147489296u}, {"RLautstärke", -357913, 0, 0}};
    // clang-format on
    for (auto [slider, from, control, level] : rows) {
        Window w;
        w.lines[0x0004] = {.controlId = 1, .minimum = INT32_MIN, .maximum = INT32_MAX};
        QTest::keyClick(w.Shown(slider, from), from < 0 ? Qt::Key_Left : Qt::Key_Right);
        EXPECT_EQ(w[slider]->Value(), from + (from < 0 ? -1 : 1));
        EXPECT_EQ(w.calls,
                  (control ? Calls{{"mixerSetControlDetails", control, level}, kDing} : Calls{}))
            << slider << " from " << from;
    }
}

// A line that moved to another device (a sound server that answered late) shows that device's
// level, read as at the start; no other line is read, nothing is written or played. The window
// stops listening for moves when it goes.
TEST(Root, ALineThatMovedToAnotherDeviceShowsThatDevicesLevel) {
    const std::pair<DWORD, std::string> lines[] = {{1, "RLautstärke"}, {2, "RMicrofon"},
                                                   {6, "RLineIn"},     {5, "RCDAudio"},
                                                   {4, "RMidi"},       {3, "RWave"}};
    for (const auto& [control, slider] : lines) {
        Window w;
        w.Shown(slider.c_str(), 0);
        for (DWORD c = 1; c <= 7; ++c) w.levels[c] = 45000;  // 7.5 positions: 8, ties to even
        w.moved = {control};
        ASSERT_TRUE(w.watcher);
        w.watcher();
        QCoreApplication::sendPostedEvents();
        for (const char* name : kSliders)
            EXPECT_EQ(w[name]->Value(), name == slider ? 8 : 0) << name << " after " << slider;
        EXPECT_EQ(w.calls, Calls({{"mixerGetControlDetailsA", control}}));
    }
    testing_support::ScriptedMixer mixer;
    {
        Window sound;
        Root root(mixer, sound);
        EXPECT_TRUE(mixer.watcher);
    }
    EXPECT_FALSE(mixer.watcher);
}

// Lines scrolled per notch on the desktop, the wheel's turns (angle deltas: y, or x for a
// sideways wheel, where right raises), natural scrolling, the position before; the levels
// written (position * 6000), each followed by a ding, and the position after. 120 is one
// notch.
TEST(Root, EachWheelNotchMovesOnePositionWhateverTheDesktopsScrollLines) {
    using Turns = std::vector<QPoint>;
    const std::tuple<int, Turns, bool, int, std::vector<DWORD>, int> rows[] = {
        {3, {{0, 120}}, false, 5, {36000}, 6},
        {1, {{0, -120}}, false, 5, {24000}, 4},
        {10, {{-120, 0}}, false, 5, {36000}, 6},
        {3, {{120, 0}}, false, 5, {24000}, 4},
        {3, {{0, 120}}, true, 5, {24000}, 4},
        {3, {{0, 40}, {0, 40}, {0, 40}}, false, 5, {36000}, 6},  // a fine wheel: thirds
        {3, Turns(7, {0, 15}), false, 5, {}, 5},                 // 105: not yet a notch
        {3, Turns(9, {0, 15}), false, 5, {36000}, 6},            // 135: one, 15 left over
        {3, {{0, 90}, {0, -60}, {0, 90}}, false, 5, {}, 5},      // turning back starts anew
        {3, {{0, 240}}, false, 5, {36000, 42000}, 7},            // two notches, two moves
        {3, {{0, 360}}, false, 10, {65535}, 11},                 // 66000 is past the top
    };
    for (const auto& [lines, turns, inverted, from, levels, to] : rows) {
        Window w;
        Slider* slider = w.Shown("RLautstärke", from);
        QApplication::setWheelScrollLines(lines);
        for (QPoint turn : turns) {
            QWheelEvent event(QPointF(20, 20), slider->mapToGlobal(QPointF(20, 20)), {}, turn,
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, inverted);
            QApplication::sendEvent(slider, &event);
        }
        Calls expected;
        for (DWORD level : levels)
            expected.insert(expected.end(), {{"mixerSetControlDetails", 1, level}, kDing});
        EXPECT_EQ(w.calls, expected)
            << lines << " lines, " << turns.size() << " turns from " << from;
        EXPECT_EQ(slider->Value(), to);
    }
    QApplication::setWheelScrollLines(3);
}

// Pixels where two grabs differ strongly (by more than 96 in a colour channel): a
// difference a person sees at a glance, not shading.
int StrongDifferences(const QImage& a, const QImage& b) {
    int count = a.size() == b.size() ? 0 : -1;
    for (int y = 0; count >= 0 && y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            count += std::max({std::abs(p.red() - q.red()), std::abs(p.green() - q.green()),
                               std::abs(p.blue() - q.blue())}) > 96;
        }
    return count;
}

// The sliders all stand at 0, so each looks like the Wave slider, which is never focused or
// pointed at here, but the focused one, which looks alike in every step: its frame is 2 px wide, 1
// px inside the 124 x 42 box: 122 x 40 - 118 x 36 = 4880 - 4248 = 632 pixels, a few less at the
// round corners.
TEST(Root, TheFocusedSliderAloneLooksFocusedWhereverThePointerRests) {
    QPalette dark(QColor(0x35, 0x35, 0x35), QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    dark.setColor(QPalette::WindowText, Qt::white);
    // What happens, the slider pointed at after it, the slider with focus after it.
    const std::tuple<const char*, const char*, const char*> steps[] = {
        {"start", "RMicrofon", "RLautstärke"},
        {"tab", "RMicrofon", "RMicrofon"},
        {"tab", "RLautstärke", "RLineIn"},
        {"click", "RMidi", "RMidi"},
        {"minimise and restore", "RCDAudio", "RMidi"},
    };
    for (const QPalette& palette : {QApplication::style()->standardPalette(), dark}) {
        Window w;
        w.root.setPalette(palette);
        w.root.Form_Load();
        QImage focusedLook;  // the same in every step and on every slider
        for (auto [what, pointed, focused] : steps) {
            const std::string step = what;
            if (step == "start") w.root.show();
            if (step == "tab") QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (step == "click") QTest::mouseClick(w[pointed], Qt::LeftButton, {}, QPoint(5, 21));
            if (step == "minimise and restore") w.root.showMinimized(), w.root.showNormal();
            w.root.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&w.root)) << what;
            QTest::mouseMove(w[pointed], QPoint(5, 21));  // on the thumb, at 0
            const QImage plain = w["RWave"]->grab().toImage();
            for (const char* name : kSliders) {
                const QImage look = w[name]->grab().toImage();
                if (name != std::string(focused)) {
                    EXPECT_EQ(StrongDifferences(look, plain), 0) << what << ": " << name;
                    continue;
                }
                EXPECT_GT(StrongDifferences(look, plain), 560) << what << ": " << name;
                if (focusedLook.isNull()) focusedLook = look;
                EXPECT_EQ(StrongDifferences(look, focusedLook), 0) << what << ": " << name;
            }
        }
    }
}

// By close(), by the window system's close event, by both, or destroyed without closing.
TEST(Root, ClosingClosesTheMixerExactlyOnceWhateverTheWay) {
    for (int way = 0; way < 4; ++way) {
        Window w;  // its own root is never loaded and never closes the mixer
        auto root = std::make_unique<Root>(w, w);
        root->Form_Load();
        root->show();
        QCloseEvent byWindowSystem;
        if (way == 0 || way == 2) root->close();
        if (way == 1 || way == 2) QApplication::sendEvent(root->windowHandle(), &byWindowSystem);
        EXPECT_EQ(root->isVisible(), way == 3) << way;
        EXPECT_EQ(std::count(w.calls.begin(), w.calls.end(), Call{"mixerClose"}), way < 3) << way;
        root.reset();
        EXPECT_EQ(std::count(w.calls.begin(), w.calls.end(), Call{"mixerClose"}), 1) << way;
    }
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
