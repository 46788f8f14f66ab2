#pragma once

#include "ui/Slider.h"

class QSlider;

namespace lumenarc {

// A QSlider seen as a float slider: its integer steps divided by a fixed scale.
class QtSlider : public Slider {
public:
    QtSlider(QSlider* slider, int stepsPerUnit) : m_slider(slider), m_steps(stepsPerUnit) {}
    float floatValue() const override;
    void setFloatValue(float value) override;
    int intValue() const override;
    void setIntValue(int value) override;
    void followValue(float value) override;

private:
    QSlider* m_slider;
    int m_steps;
};

} // namespace lumenarc
