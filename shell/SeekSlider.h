#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QSlider;
class QStyle;

namespace lumenarc {

// The position slider's hand, as in any player: a click on the groove jumps to the clicked
// point, and each wheel notch steps by kWheelStepSeconds of the movie. Both only move the
// slider; the slider's own value change then seeks, through the one seeking path, so the
// position arithmetic stays in one place. Main thread only.
class SeekSlider : public QObject {
    Q_OBJECT
public:
    static constexpr double kWheelStepSeconds = 5.0;
    // The movie's length in seconds; 0 (or less) without a movie.
    using Duration = std::function<double()>;

    SeekSlider(QSlider* slider, Duration duration);
    ~SeekSlider() override;

    // The slider value `notches` wheel notches away from `value` (positive: later), each
    // stepping by `stepSeconds` of a movie `durationSeconds` long, kept within the range.
    // Without a length to go by, the value stays.
    static int wheelTarget(int value, int minimum, int maximum, int notches, double durationSeconds,
                           double stepSeconds);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QSlider> m_slider;
    Duration m_duration;
    std::unique_ptr<QStyle> m_style;
    int m_pendingAngle = 0; // wheel turns short of a whole notch, as fine wheels send them
};

} // namespace lumenarc
