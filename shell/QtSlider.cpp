#include "shell/QtSlider.h"

#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <algorithm>
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

void QtSlider::followValue(float value) {
    // Each new value repaints the slider, and on a compositor that is a commit of the window
    // besides the view's own on every frame: a knob that would not move a pixel stays. The
    // widget's whole length is at least the knob's travel, so no visible move is left out.
    if (m_slider->isVisible() && std::isfinite(value)) {
        const int length =
            m_slider->orientation() == Qt::Horizontal ? m_slider->width() : m_slider->height();
        const float steps = std::round(value * static_cast<float>(m_steps));
        const int wanted = static_cast<int>(std::clamp(steps, -2e9f, 2e9f));
        const auto at = [&](int v) {
            return QStyle::sliderPositionFromValue(m_slider->minimum(), m_slider->maximum(), v,
                                                   std::max(length, 1));
        };
        if (at(wanted) == at(m_slider->value())) {
            return;
        }
    }
    setFloatValue(value);
}

int QtSlider::intValue() const {
    return static_cast<int>(std::lround(floatValue()));
}

void QtSlider::setIntValue(int value) {
    setFloatValue(static_cast<float>(value));
}

} // namespace lumenarc
