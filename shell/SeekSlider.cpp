#include "shell/SeekSlider.h"

#include <QProxyStyle>
#include <QSlider>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace lumenarc {
namespace {

constexpr int kAnglePerNotch = 120; // eighths of a degree: one notch of a common wheel

// The application's style, but a left click on a slider's groove sets the value there rather
// than paging towards it.
class JumpToClickStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_Slider_AbsoluteSetButtons) {
            return Qt::LeftButton;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

SeekSlider::SeekSlider(QSlider* slider, Duration duration)
    : m_slider(slider), m_duration(std::move(duration)),
      m_style(std::make_unique<JumpToClickStyle>()) {
    m_slider->setStyle(m_style.get());
    m_slider->installEventFilter(this);
}

SeekSlider::~SeekSlider() {
    // The slider may outlive this: it must not keep a style that goes with it.
    if (m_slider) {
        m_slider->removeEventFilter(this);
        m_slider->setStyle(nullptr);
    }
}

int SeekSlider::wheelTarget(int value, int minimum, int maximum, int notches,
                            double durationSeconds, double stepSeconds) {
    if (!(durationSeconds > 0.0) || !std::isfinite(durationSeconds) || notches == 0 ||
        maximum <= minimum) {
        return value;
    }
    const double span = static_cast<double>(maximum) - minimum;
    const double target = value + notches * (stepSeconds / durationSeconds) * span;
    return static_cast<int>(std::lround(std::clamp(target, double(minimum), double(maximum))));
}

bool SeekSlider::eventFilter(QObject* watched, QEvent* event) {
    // The type first: a slider being destroyed still sends events here, and is no slider then.
    if (event->type() != QEvent::Wheel || watched != m_slider) {
        return false;
    }
    const auto* wheel = static_cast<QWheelEvent*>(event);
    const QPoint angle = wheel->angleDelta();
    m_pendingAngle += angle.y() != 0 ? angle.y() : angle.x();
    const int notches = m_pendingAngle / kAnglePerNotch;
    m_pendingAngle -= notches * kAnglePerNotch;
    const double duration = m_duration ? m_duration() : 0.0;
    const int target = wheelTarget(m_slider->value(), m_slider->minimum(), m_slider->maximum(),
                                   notches, duration, kWheelStepSeconds);
    if (target != m_slider->value()) {
        m_slider->setValue(target);
    }
    return true; // the slider's own wheel steps are a few hundredths of a percent: not used
}

} // namespace lumenarc
