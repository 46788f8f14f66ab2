#include "shell/QtSlider.h"

#include <QSignalBlocker>
#include <QSlider>
#include <cmath>

namespace lumenarc {

float QtSlider::floatValue() const {
    return static_cast<float>(m_slider->value()) / static_cast<float>(m_steps);
}

void QtSlider::setFloatValue(float value) {
    // Setting a value from code is not a user action: the slider sends nothing. While the user
    // holds the knob, the hand wins over the movie's position.
    if (m_slider->isSliderDown()) {
        return;
    }
    const QSignalBlocker quiet(m_slider);
    const float steps =
        std::isfinite(value) ? std::round(value * static_cast<float>(m_steps)) : 0.0f;
    m_slider->setValue(static_cast<int>(std::clamp(steps, -2e9f, 2e9f)));
}

int QtSlider::intValue() const {
    return static_cast<int>(std::lround(floatValue()));
}

void QtSlider::setIntValue(int value) {
    setFloatValue(static_cast<float>(value));
}

} // namespace lumenarc
