#include "ui/volume_slider.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QStyleOptionSlider>
#include <QStylePainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {
// Never more tick marks than this, whatever the range.
constexpr std::int64_t kMostTicks = 60;
// One notch of a mouse wheel; finer wheels and touchpads send parts of it.
constexpr int kNotch = 120;

// What a screen reader sees of a slider: its caption as name, its position as
// value, and setting the value moves the slider as the user's hand would.
class SliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SliderAccessible(Slider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QVariant currentValue() const override { return Target()->Value(); }
    QVariant minimumValue() const override { return Target()->minimum(); }
    QVariant maximumValue() const override { return Target()->maximum(); }
    QVariant minimumStepSize() const override { return Target()->singleStep(); }
    void setCurrentValue(const QVariant& value) override {
        bool ok = false;
        const double wanted = value.toDouble(&ok);
        if (!ok || std::isnan(wanted)) return;
        Target()->MoveTo(static_cast<std::int32_t>(std::lround(
            std::clamp(wanted, double(Target()->minimum()), double(Target()->maximum())))));
    }

private:
    Slider* Target() const { return static_cast<Slider*>(widget()); }
};

QAccessibleInterface* SliderAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(Slider::staticMetaObject.className()))
        return new SliderAccessible(static_cast<Slider*>(object));
    return nullptr;
}
}  // namespace

Slider::Slider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    [[maybe_unused]] static const bool factoryInstalled =
        (QAccessible::installFactory(SliderAccessibleFactory), true);
    setFocusPolicy(Qt::StrongFocus);
    setTickPosition(QSlider::TicksBelow);
    setSingleStep(1);
    setPageStep(5);
    setTracking(true);
    ApplyRange();
    connect(this, &QAbstractSlider::actionTriggered, this, &Slider::OnAction);
}

void Slider::Min(std::int32_t newMin) {
    min_ = newMin;
    ApplyRange();
    emit Written(Property::Min, newMin);
}

void Slider::Max(std::int32_t newMax) {
    max_ = newMax;
    ApplyRange();
    emit Written(Property::Max, newMax);
}

void Slider::Value(std::int32_t newValue) {
    setValue(newValue);
    emit Written(Property::Value, newValue);
}

// With tracking on, a new slider position is a user's action.
void Slider::MoveTo(std::int32_t position) { setSliderPosition(position); }

// The thumb moves over Min..Max. A Min above Max (a half-written range, or a
// mixer that reports its bounds the wrong way round) leaves a single position
// at Max, the value a level write is clamped to in that case.
void Slider::ApplyRange() {
    const std::int32_t low = std::min(min_, max_);
    setRange(low, max_);
    const std::int64_t span = static_cast<std::int64_t>(max_) - low;
    setTickInterval(
        static_cast<int>(std::max<std::int64_t>(1, (span + kMostTicks - 1) / kMostTicks)));
}

// actionTriggered comes only from the user's input (assistive tools included,
// through MoveTo). The new position is in
// sliderPosition() while value() still holds the old one.
void Slider::OnAction(int action) {
    if (action == QAbstractSlider::SliderNoAction) return;
    const int position = sliderPosition();
    if (position == value()) return;
    setValue(position);
    emit Scroll();
}

// The style draws the slider without its hover and focus cues, which look
// alike in some styles; focus gets a frame of its own, clear on light and dark
// palettes alike, inside the slider's box so nothing moves.
void Slider::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.state &=
        ~(QStyle::State_MouseOver | QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange);
    if (!(option.state & QStyle::State_Sunken)) option.activeSubControls = QStyle::SC_None;
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    if (tickPosition() != NoTicks) option.subControls |= QStyle::SC_SliderTickmarks;
    painter.drawComplexControl(QStyle::CC_Slider, option);
    if (!hasFocus()) return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 3, 3);
}

// One notch is one position, whatever the desktop's scroll-lines setting: the
// wheel's turn adds up until it makes whole notches. Up and right raise.
void Slider::wheelEvent(QWheelEvent* event) {
    const QPoint turn = event->angleDelta();
    int delta = turn.y() != 0 ? turn.y() : -turn.x();
    if (event->inverted()) delta = -delta;
    if ((delta > 0 && wheelRest_ < 0) || (delta < 0 && wheelRest_ > 0)) wheelRest_ = 0;
    wheelRest_ += delta;
    event->accept();
    for (; wheelRest_ >= kNotch; wheelRest_ -= kNotch) triggerAction(SliderSingleStepAdd);
    for (; wheelRest_ <= -kNotch; wheelRest_ += kNotch) triggerAction(SliderSingleStepSub);
}
