// The controls of Root at their places. Boxes are laid out in twips; at 96
// dots per inch 15 twips make one logical pixel, and Qt's device-pixel ratio
// scales logical pixels on other displays.
#include <QIcon>
#include <QLabel>
#include <QPixmap>

#include "ui/pegelwerk_icon.h"
#include "ui/root.h"
#include "ui/volume_slider.h"
#include "ui/window_font.h"

namespace {

constexpr int Px(int twips) { return twips / 15; }

struct LabelBox {
    const char* name;
    int left, top, width, height;
    const char* text;
    bool caption;  // bold caption; the range labels use the window's font
    bool right;    // text aligned to the right of the box
};

// In tab index order.
constexpr LabelBox kLabels[] = {
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

// A label fits its text: the box as laid out, widened where a substitute font
// runs wider than Verdana (to the right, or to the left for right-aligned
// text, so the aligned edge stays put).
QLabel* MakeLabel(QWidget* parent, const LabelBox& box) {
    auto* label = new QLabel(QString::fromUtf8(box.text), parent);
    label->setObjectName(QString::fromUtf8(box.name));
    if (box.caption) label->setFont(WindowFont(true));
    label->setAlignment((box.right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    label->setFocusPolicy(Qt::NoFocus);
    label->setFrameShape(QFrame::NoFrame);
    label->setMargin(0);
    label->setTextInteractionFlags(Qt::NoTextInteraction);

    QRect rect(Px(box.left), Px(box.top), Px(box.width), Px(box.height));
    const int needed = label->sizeHint().width();
    if (needed > rect.width()) {
        if (box.right)
            rect.setLeft(rect.right() + 1 - needed);
        else
            rect.setWidth(needed);
    }
    label->setGeometry(rect);
    return label;
}

// A slider is announced by the caption above it ("Microfon, slider, 5").
Slider* MakeSlider(QWidget* parent, const char* name, const char* caption, int left, int top) {
    auto* slider = new Slider(parent);
    slider->setObjectName(QString::fromUtf8(name));
    slider->setAccessibleName(QString::fromUtf8(caption));
    slider->setGeometry(Px(left), Px(top), Px(1860), Px(630));
    return slider;
}

}  // namespace

void Root::BuildControls() {
    setObjectName(QStringLiteral("Root"));
    setWindowTitle(QStringLiteral("Pegelwerk"));
    setWindowIcon(QIcon(QPixmap::fromImage(PegelwerkIcon())));
    setFont(WindowFont());
    setFixedSize(Px(7185), Px(4050));

    for (const LabelBox& box : kLabels) MakeLabel(this, box);

    RLautstärke = MakeSlider(this, "RLautstärke", "Lautstärkeregler", 270, 1035);
    RMicrofon = MakeSlider(this, "RMicrofon", "Microfon", 2565, 1035);
    RLineIn = MakeSlider(this, "RLineIn", "Line In", 4860, 1035);
    RCDAudio = MakeSlider(this, "RCDAudio", "CD-Audio", 270, 2430);
    RMidi = MakeSlider(this, "RMidi", "MIDI", 2610, 2430);
    RWave = MakeSlider(this, "RWave", "Wave", 4860, 2430);

    setTabOrder(RLautstärke, RMicrofon);
    setTabOrder(RMicrofon, RLineIn);
    setTabOrder(RLineIn, RCDAudio);
    setTabOrder(RCDAudio, RMidi);
    setTabOrder(RMidi, RWave);
    RLautstärke->setFocus();
}
