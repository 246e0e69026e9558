// The start-up floor: a bare Qt Widgets window with the real window's 24
// widgets (6 horizontal sliders, 18 labels) at the same places, in the same
// fonts and style, and nothing else: no mixer, no sound service, no icon.
#include <QApplication>
#include <QLabel>
#include <QSlider>
#include <QWidget>

#include "ui/window_font.h"

namespace {

constexpr int Px(int twips) { return twips / 15; }

struct LabelBox {
    int left, top, width, height;
    const char* text;
    bool caption;
    bool right;
};

constexpr LabelBox kLabels[] = {
    {270, 450, 1650, 195, "Lautstärkeregler", true, false},
    {2565, 450, 840, 195, "Microfon", true, false},
    {4860, 450, 675, 195, "Line In", true, false},
    {270, 1845, 900, 195, "CD-Audio", true, false},
    {2610, 1845, 465, 195, "MIDI", true, false},
    {4860, 1845, 540, 195, "Wave", true, false},
    {1620, 765, 525, 195, "65500", false, true},
    {270, 765, 105, 195, "0", false, false},
    {3915, 765, 525, 195, "65500", false, true},
    {2565, 765, 105, 195, "0", false, false},
    {1620, 2160, 525, 195, "65500", false, true},
    {270, 2160, 105, 195, "0", false, false},
    {2610, 2160, 105, 195, "0", false, false},
    {3960, 2160, 525, 195, "65500", false, true},
    {6210, 765, 525, 195, "65500", false, true},
    {4860, 765, 105, 195, "0", false, false},
    {6210, 2160, 525, 195, "65500", false, true},
    {4860, 2160, 105, 195, "0", false, false},
};

constexpr int kSliders[][2] = {{270, 1035}, {2565, 1035}, {4860, 1035},
                               {270, 2430}, {2610, 2430}, {4860, 2430}};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));

    QWidget window;
    window.setWindowTitle(QStringLiteral("Pegelwerk floor"));
    window.setFont(WindowFont(false));
    window.setFixedSize(Px(7185), Px(4050));
    for (const LabelBox& box : kLabels) {
        auto* label = new QLabel(QString::fromUtf8(box.text), &window);
        if (box.caption) label->setFont(WindowFont(true));
        label->setAlignment((box.right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        QRect rect(Px(box.left), Px(box.top), Px(box.width), Px(box.height));
        const int needed = label->sizeHint().width();
        if (needed > rect.width()) {
            if (box.right)
                rect.setLeft(rect.right() + 1 - needed);
            else
                rect.setWidth(needed);
        }
        label->setGeometry(rect);
    }
    for (const auto& [left, top] : kSliders) {
        auto* slider = new QSlider(Qt::Horizontal, &window);
        slider->setTickPosition(QSlider::TicksBelow);
        slider->setRange(0, 10);
        slider->setPageStep(5);
        slider->setGeometry(Px(left), Px(top), Px(1860), Px(630));
    }
    window.show();
    return QApplication::exec();
}
