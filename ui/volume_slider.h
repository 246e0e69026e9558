// The slider of the main window: a horizontal QSlider with 32-bit Min, Max and
// Value that the program may write freely, and a Scroll signal that only the
// user's moves raise.
#pragma once

#include <QSlider>
#include <cstdint>

class Slider : public QSlider {
    Q_OBJECT

public:
    enum class Property { Min, Max, Value };

    explicit Slider(QWidget* parent = nullptr);

    std::int32_t Min() const { return min_; }
    std::int32_t Max() const { return max_; }
    std::int32_t Value() const { return value(); }

    // Program writes: Min and Max are accepted in either order and kept as
    // written; they never raise Scroll.
    void Min(std::int32_t newMin);
    void Max(std::int32_t newMax);
    void Value(std::int32_t newValue);

    // A user's move to a position, clamped to the range, as an assistive tool
    // makes it: it raises Scroll when the position changes.
    void MoveTo(std::int32_t position);

signals:
    // The user moved the thumb (drag, track click, keys, wheel, assistive
    // tools). Value already holds the new position.
    void Scroll();
    // Every program write of Min, Max or Value, also one that changes nothing;
    // the window's start-up tests follow the order of the writes through it.
    void Written(Slider::Property property, int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void OnAction(int action);
    void ApplyRange();

    std::int32_t min_ = 0;
    std::int32_t max_ = 0;
    // Wheel turn not yet worth a whole notch, in eighths of a degree.
    int wheelRest_ = 0;
};
