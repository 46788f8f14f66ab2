#pragma once

#include "ui/Button.h"
#include "ui/MenuItem.h"
#include "ui/Slider.h"
#include "view/MyOpenGLView.h"

#include <string>
#include <vector>

namespace lumenarc::test {

// The toolkit side of a view that has no window: it records titles, alerts and the end.
class FakeViewHost : public MyOpenGLView::Host {
public:
    std::string title = "Lumenarc";
    std::vector<std::pair<std::string, std::string>> alerts;
    std::vector<std::string> informativeTexts;
    int terminations = 0;
    float width = 640, height = 480;

    float boundsWidth() const override { return width; }
    float boundsHeight() const override { return height; }
    int pixelWidth() const override { return static_cast<int>(width); }
    int pixelHeight() const override { return static_cast<int>(height); }
    double refreshRate() const override { return 60; }
    bool makeCurrentContext(bool) override { return false; }
    void presentDrawable() override {}
    void releaseContext() override {}
    void centerWindow() override { ++centrings; }
    void setWindowContentSize(float w, float h) override { contentSizes.emplace_back(w, h); }
    int centrings = 0;
    std::vector<std::pair<float, float>> contentSizes;
    void setWindowTitle(const std::string& t) override { title = t; }
    void runAlert(const std::string& t, const std::string& message,
                  const std::string& informative) override {
        alerts.emplace_back(t, message);
        informativeTexts.push_back(informative);
    }
    void terminate() override { ++terminations; }
    std::unique_ptr<GlyphSource> makeGlyphSource() override { return nullptr; }
};

class FakeButton : public Button {
public:
    std::string text = "Play";
    int value = 0;
    std::string title() const override { return text; }
    void setTitle(const std::string& t) override { text = t; }
    int state() const override { return value; }
    void setState(int s) override { value = s; }
};

class FakeMenuItem : public MenuItem {
public:
    std::string text;
    int value = 0;
    int itemTag = 0;
    std::string title() const override { return text; }
    void setTitle(const std::string& t) override { text = t; }
    int state() const override { return value; }
    void setState(int s) override { value = s; }
    int tag() const override { return itemTag; }
};

class FakeSlider : public Slider {
public:
    float value = 0;
    float floatValue() const override { return value; }
    void setFloatValue(float v) override { value = v; }
    int intValue() const override { return static_cast<int>(value); }
    void setIntValue(int v) override { value = static_cast<float>(v); }
};

} // namespace lumenarc::test
