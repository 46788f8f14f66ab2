#pragma once

namespace lumenarc {

// A slider as an action's sender sees it: a float value within the slider's range.
class Slider {
public:
    virtual ~Slider() = default;
    virtual float floatValue() const = 0;
    virtual void setFloatValue(float value) = 0;
    virtual int intValue() const = 0;
    virtual void setIntValue(int value) = 0;
    // Shows a value that follows playback, frame by frame: a change too small to see may be
    // left out.
    virtual void followValue(float value) { setFloatValue(value); }
};

} // namespace lumenarc
