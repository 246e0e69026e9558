#include "ui/volume_slider.h"

#include <algorithm>

namespace {
// Never more tick marks than this, whatever the range.
constexpr std::int64_t kMostTicks = 60;
}  // namespace

Slider::Slider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
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

// actionTriggered comes only from the user's input. The new position is in
// sliderPosition() while value() still holds the old one.
void Slider::OnAction(int action) {
    if (action == QAbstractSlider::SliderNoAction) return;
    const int position = sliderPosition();
    if (position == value()) return;
    setValue(position);
    emit Scroll();
}
