#include "shell/SeekSlider.h"

#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QSlider>
#include <QWheelEvent>

#include <cmath>
#include <memory>
#include <vector>

namespace lumenarc {
namespace {

[[maybe_unused]] const auto* const widgetApplication =
    ::testing::AddGlobalTestEnvironment(new test::WidgetApplication);

TEST(SeekSliderLogic, AWheelNotchStepsByTheSecondsGivenWithinTheRange) {
    // 5 s of a 100 s movie on a slider of 100000 steps: 5000 steps.
    EXPECT_EQ(SeekSlider::wheelTarget(20000, 0, 100000, 1, 100.0, 5.0), 25000);
    EXPECT_EQ(SeekSlider::wheelTarget(20000, 0, 100000, -2, 100.0, 5.0), 10000);
    EXPECT_EQ(SeekSlider::wheelTarget(2000, 0, 100000, -1, 100.0, 5.0), 0);
    EXPECT_EQ(SeekSlider::wheelTarget(99000, 0, 100000, 3, 100.0, 5.0), 100000);
    EXPECT_EQ(SeekSlider::wheelTarget(0, 0, 100000, 1, 3600.0, 5.0), 139); // an hour: 0.14 %
    EXPECT_EQ(SeekSlider::wheelTarget(0, 0, 100000, 1, 2.0, 5.0), 100000); // shorter than a step
    for (const double noLength : {0.0, -1.0, std::nan(""), HUGE_VAL}) {
        EXPECT_EQ(SeekSlider::wheelTarget(500, 0, 100000, 1, noLength, 5.0), 500) << noLength;
    }
    EXPECT_EQ(SeekSlider::wheelTarget(500, 0, 100000, 0, 100.0, 5.0), 500);
    EXPECT_EQ(SeekSlider::wheelTarget(500, 0, 100000, 1'000'000'000, 1e-9, 5.0), 100000);
}

// The real widget, as the position slider is set up: a click and the wheel move it so that it
// sends its value change, which is what seeks.
class SeekSliderTest : public ::testing::Test {
protected:
    SeekSliderTest() {
        slider.setOrientation(Qt::Horizontal);
        slider.setRange(0, 100000);
        slider.resize(500, 24);
        slider.show();
        QObject::connect(&slider, &QSlider::valueChanged,
                         [this](int value) { sent.push_back(value); });
    }

    void click(int x) {
        const QPointF at(x, 12);
        QMouseEvent press(QEvent::MouseButtonPress, at, slider.mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&slider, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, slider.mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&slider, &release);
    }
    void wheel(int angle) {
        const QPointF at(250, 12);
        QWheelEvent event(at, slider.mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&slider, &event);
    }

    QSlider slider;
    double seconds = 100.0;
    std::vector<int> sent;
    SeekSlider seek{&slider, [this] { return seconds; }};
};

TEST_F(SeekSliderTest, AClickOnTheGrooveJumpsThere) {
    click(375);
    ASSERT_FALSE(sent.empty());
    EXPECT_NEAR(slider.value(), 75000, 3000); // the knob's half width aside
    click(50);
    EXPECT_NEAR(slider.value(), 10000, 3000);
    EXPECT_FALSE(slider.isSliderDown()); // released: the movie's position moves it again
}

TEST_F(SeekSliderTest, TheWheelStepsByFiveSecondsOfTheMovie) {
    slider.setValue(50000);
    sent.clear();
    wheel(120);
    EXPECT_EQ(slider.value(), 55000);
    wheel(-240);
    EXPECT_EQ(slider.value(), 45000);
    wheel(60); // half a notch of a fine wheel: nothing yet, then the other half makes one
    EXPECT_EQ(slider.value(), 45000);
    wheel(60);
    EXPECT_EQ(slider.value(), 50000);
    EXPECT_EQ(sent, (std::vector<int>{55000, 45000, 50000}));
    seconds = 0; // no movie: the wheel does nothing
    wheel(120);
    EXPECT_EQ(slider.value(), 50000);
}

TEST(SeekSliderLifetime, TheSliderMayOutliveItsHand) {
    QSlider slider;
    {
        SeekSlider seek(&slider, [] { return 10.0; });
    }
    slider.show();
    slider.setValue(3); // still a working slider, on the application's style
    EXPECT_EQ(slider.style(), QApplication::style());
    auto owned = std::make_unique<QSlider>();
    SeekSlider outlived(owned.get(), [] { return 10.0; });
    owned.reset(); // and the hand may outlive the slider
}

} // namespace
} // namespace lumenarc
