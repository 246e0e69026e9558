// The window as laid out: boxes, texts, fonts, alignment, focus and frame.
#include <QFontInfo>
#include <QLabel>
#include <QScreen>
#include <QSet>
#include <QTest>

#include "tests/gui/gui_test_support.h"
#include "ui/pegelwerk_icon.h"
#include "ui/root.h"

using gui_test::SliderOf;

namespace {

struct Box {
    const char* name;
    int left, top, width, height;  // twips
    const char* text;
    bool bold;
    bool right;
};

const Box kLabels[] = {
    {"LLautstärke", 270, 450, 1650, 195, "Lautstärkeregler", true, false},
    {"LMicrofon", 2565, 450, 840, 195, "Microfon", true, false},
    {"LLineIn", 4860, 450, 675, 195, "Line In", true, false},
    {"LCDAudio", 270, 1845, 900, 195, "CD-Audio", true, false},
    {"LMidi", 2610, 1845, 465, 195, "MIDI", true, false},
    {"LWave", 4860, 1845, 540, 195, "Wave", true, false},
    {"PLautstärke2", 1620, 765, 525, 195, "65500", false, true},
    {"PLautstärke1", 270, 765, 105, 195, "0", false, false},
    {"Label4", 3915, 765, 525, 195, "65500", false, true},
    {"Label3", 2565, 765, 105, 195, "0", false, false},
    {"Label6", 1620, 2160, 525, 195, "65500", false, true},
    {"Label5", 270, 2160, 105, 195, "0", false, false},
    {"Label7", 2610, 2160, 105, 195, "0", false, false},
    {"Label8", 3960, 2160, 525, 195, "65500", false, true},
    {"Label10", 6210, 765, 525, 195, "65500", false, true},
    {"Label9", 4860, 765, 105, 195, "0", false, false},
    {"Label12", 6210, 2160, 525, 195, "65500", false, true},
    {"Label13", 4860, 2160, 105, 195, "0", false, false},
};

const Box kSliders[] = {
    {"RLautstärke", 270, 1035, 1860, 630, "", false, false},
    {"RMicrofon", 2565, 1035, 1860, 630, "", false, false},
    {"RLineIn", 4860, 1035, 1860, 630, "", false, false},
    {"RCDAudio", 270, 2430, 1860, 630, "", false, false},
    {"RMidi", 2610, 2430, 1860, 630, "", false, false},
    {"RWave", 4860, 2430, 1860, 630, "", false, false},
};

QRect Pixels(const Box& b) { return QRect(b.left / 15, b.top / 15, b.width / 15, b.height / 15); }

}  // namespace

class RootLayoutTest : public QObject {
    Q_OBJECT

    testing_support::ScriptedMixer mixer_ = testing_support::ScriptedMixer::FullCard();
    gui_test::RecordingSound sound_;

private slots:
    void initTestCase() { QApplication::setApplicationDisplayName(QStringLiteral("Pegelwerk")); }

    void sliders_stand_in_their_boxes() {
        Root root(mixer_, sound_);
        for (const Box& b : kSliders) {
            Slider* s = SliderOf(root, b.name);
            QVERIFY2(s, b.name);
            QCOMPARE(s->geometry(), Pixels(b));
            QCOMPARE(s->orientation(), Qt::Horizontal);
            QCOMPARE(s->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
        }
        QCOMPARE(root.findChildren<Slider*>().size(), 6);
    }

    // Each label keeps its box; only where the installed face runs wider than
    // the box does it widen, away from its aligned edge.
    void labels_stand_in_their_boxes_with_their_texts() {
        Root root(mixer_, sound_);
        for (const Box& b : kLabels) {
            auto* label = root.findChild<QLabel*>(QString::fromUtf8(b.name));
            QVERIFY2(label, b.name);
            QCOMPARE(label->text(), QString::fromUtf8(b.text));
            const QRect box = Pixels(b);
            const QRect got = label->geometry();
            QCOMPARE(got.top(), box.top());
            QCOMPARE(got.height(), box.height());
            if (b.right)
                QCOMPARE(got.right(), box.right());
            else
                QCOMPARE(got.left(), box.left());
            QCOMPARE(got.width(), std::max(box.width(), label->sizeHint().width()));
            QCOMPARE(label->focusPolicy(), Qt::NoFocus);
            QCOMPARE(label->frameShape(), QFrame::NoFrame);
            const Qt::Alignment side = b.right ? Qt::AlignRight : Qt::AlignLeft;
            QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, side);
        }
        QCOMPARE(root.findChildren<QLabel*>().size(), 18);
    }

    void no_two_controls_overlap() {
        Root root(mixer_, sound_);
        QList<QWidget*> controls;
        for (QObject* child : root.children())
            if (auto* w = qobject_cast<QWidget*>(child)) controls << w;
        QCOMPARE(controls.size(), 24);
        for (int i = 0; i < controls.size(); ++i)
            for (int j = i + 1; j < controls.size(); ++j)
                QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
                         qPrintable(controls[i]->objectName() + " / " + controls[j]->objectName()));
    }

    void captions_are_bold_range_labels_use_the_window_font() {
        Root root(mixer_, sound_);
        const QFont window = root.font();
        QVERIFY(window.families().contains(QStringLiteral("Verdana")));
        QCOMPARE(window.families().first(), QStringLiteral("Verdana"));
        QCOMPARE(window.pointSizeF(), 8.25);
        QVERIFY(!window.bold());
        QVERIFY(!window.italic());
        for (const Box& b : kLabels) {
            auto* label = root.findChild<QLabel*>(QString::fromUtf8(b.name));
            const QFontInfo used(label->font());
            QCOMPARE(label->font().pointSizeF(), 8.25);
            QCOMPARE(used.bold(), b.bold);
            QCOMPARE(label->font().families(), window.families());
            // Whatever face stands in for Verdana, it has the same size.
            QVERIFY2(std::abs(used.pointSizeF() - 8.25) < 0.5, qPrintable(used.family()));
        }
    }

    void the_frame_is_fixed_with_close_button_and_no_min_or_max() {
        Root root(mixer_, sound_);
        QCOMPARE(root.windowTitle(), QStringLiteral("Pegelwerk"));
        QCOMPARE(root.size(), QSize(479, 270));
        QCOMPARE(root.minimumSize(), QSize(479, 270));
        QCOMPARE(root.maximumSize(), QSize(479, 270));
        const Qt::WindowFlags flags = root.windowFlags();
        QCOMPARE(root.windowType(), Qt::Window);
        QVERIFY(flags & Qt::CustomizeWindowHint);
        QVERIFY(flags & Qt::WindowTitleHint);
        QVERIFY(flags & Qt::WindowSystemMenuHint);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        root.resize(800, 600);
        QCOMPARE(root.size(), QSize(479, 270));
    }

    void first_shown_centred_with_focus_on_the_master_slider() {
        Root root(mixer_, sound_);
        root.Form_Load();
        root.show();
        QVERIFY(QTest::qWaitForWindowActive(&root));
        QCOMPARE(QApplication::focusWidget(), SliderOf(root, "RLautstärke"));
        const QRect area = root.screen()->availableGeometry();
        QVERIFY(std::abs(root.frameGeometry().center().x() - area.center().x()) <= 1);
        QVERIFY(std::abs(root.frameGeometry().center().y() - area.center().y()) <= 1);
    }

    void tab_and_backtab_cycle_through_the_six_sliders() {
        Root root(mixer_, sound_);
        root.Form_Load();
        root.show();
        QVERIFY(QTest::qWaitForWindowActive(&root));
        const char* order[] = {"RLautstärke", "RMicrofon", "RLineIn",    "RCDAudio",
                               "RMidi",       "RWave",     "RLautstärke"};
        for (int i = 1; i < 7; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), SliderOf(root, order[i]));
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), SliderOf(root, "RWave"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), SliderOf(root, "RMidi"));
    }

    void the_icon_is_a_16_colour_plate_with_clear_outer_columns() {
        const QImage icon = PegelwerkIcon().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(icon.size(), QSize(16, 16));
        QCOMPARE(PegelwerkIcon().colorCount() - 1, 16);  // sixteen colours and the clear one
        QSet<QRgb> colours;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const bool outer = x < 2 || x > 13;
                QCOMPARE(qAlpha(icon.pixel(x, y)), outer ? 0 : 255);
                if (!outer) colours.insert(icon.pixel(x, y));
            }
        QVERIFY(colours.size() >= 4 && colours.size() <= 16);

        Root root(mixer_, sound_);
        const QImage shown =
            root.windowIcon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(shown, icon);
    }

    // A picture of the window for a person to look at.
    void screenshot() {
        Root root(mixer_, sound_);
        root.Form_Load();
        root.show();
        QVERIFY(QTest::qWaitForWindowExposed(&root));
        const QString path = QStringLiteral(PEGELWERK_GUI_TEST_OUTPUT "/root_offscreen.png");
        QVERIFY(root.grab().save(path));
        qInfo("screenshot: %s", qPrintable(path));
    }
};

QTEST_MAIN(RootLayoutTest)
#include "root_layout_test.moc"
