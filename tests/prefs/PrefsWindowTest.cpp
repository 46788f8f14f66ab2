#include "prefs/PrefsWindow.h"

#include "prefs/PrefsManager.h"
#include "ui/Button.h"
#include "ui/Slider.h"
#include "ui/TextField.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace lumenarc {
namespace {

struct FakeButton : Button {
    std::string title() const override { return {}; }
    void setTitle(const std::string&) override {}
    int state() const override { return on; }
    void setState(int state) override { on = state; }
    int on = -1; // mixed until filled, so that filling with off shows
};

// Reads its number as the standard library does, which is what the real field promises.
struct FakeTextField : TextField {
    std::string stringValue() const override { return text; }
    void setStringValue(const std::string& value) override { text = value; }
    int intValue() const override { return std::atoi(text.c_str()); }
    void setIntValue(int value) override { text = std::to_string(value); }
    std::string text = "untouched";
};

struct FakeSlider : Slider {
    float floatValue() const override { return static_cast<float>(value); }
    void setFloatValue(float v) override { value = static_cast<int>(v); }
    int intValue() const override { return value; }
    void setIntValue(int v) override { value = v; }
    int value = -99;
};

class PrefsWindowTest : public ::testing::Test {
protected:
    PrefsWindowTest() {
        window.setControls({
            .loopByDefaultButton = &loop,
            .quitWhenMovieFinishesButton = &quit,
            .startupInFullScreenButton = &fullScreen,
            .defaultMap = &defaultMap,
            .hscreens = &hscreens,
            .vscreens = &vscreens,
            .hscreensslide = &hscreensslide,
            .vscreensslide = &vscreensslide,
            .hideMouseButton = &hideMouse,
        });
    }

    void fill() { window.setPrefsManager(&manager); }

    PrefsManager manager;
    std::vector<int> stopCodes;
    PrefsWindow window{[this](int code) { stopCodes.push_back(code); }};
    FakeButton loop, quit, fullScreen, hideMouse;
    FakeTextField defaultMap, hscreens, vscreens;
    FakeSlider hscreensslide, vscreensslide;
};

TEST_F(PrefsWindowTest, FillingShowsEveryManagerSetting) {
    manager.setLoopByDefault(true);
    manager.setStartupInFullScreen(true);
    manager.setDefaultMapPath("/maps/dome.data");
    manager.setHScreens(3);
    manager.setVScreens(2);
    fill();
    EXPECT_EQ(loop.on, 1);
    EXPECT_EQ(quit.on, 0);
    EXPECT_EQ(fullScreen.on, 1);
    EXPECT_EQ(hideMouse.on, 0);
    EXPECT_EQ(defaultMap.text, "/maps/dome.data");
    EXPECT_EQ(hscreensslide.value, 3);
    EXPECT_EQ(hscreens.text, "3");
    EXPECT_EQ(vscreensslide.value, 2);
    EXPECT_EQ(vscreens.text, "2");
}

// With the pattern above, every pair of check boxes differs in at least one of the two fillings.
TEST_F(PrefsWindowTest, FillingSetsEachCheckBoxFromItsOwnSetting) {
    manager.setLoopByDefault(true);
    manager.setQuitWhenMovieFinishes(true);
    fill();
    EXPECT_EQ(loop.on, 1);
    EXPECT_EQ(quit.on, 1);
    EXPECT_EQ(fullScreen.on, 0);
    EXPECT_EQ(hideMouse.on, 0);
}

TEST_F(PrefsWindowTest, AManagerWithoutAPathFillsAnEmptyField) {
    manager.setDefaultMapPath(std::nullopt);
    fill();
    EXPECT_EQ(defaultMap.text, "");
}

TEST_F(PrefsWindowTest, CheckBoxesChangeTheManagerAtOnce) {
    fill();
    loop.on = 1;
    window.setLoopByDefault(loop);
    EXPECT_TRUE(manager.loopByDefault());
    quit.on = 1;
    window.setQuitWhenMovieFinishes(quit);
    EXPECT_TRUE(manager.quitWhenMovieFinishes());
    fullScreen.on = 1;
    window.setStartupInFullScreen(fullScreen);
    EXPECT_TRUE(manager.startupInFullScreen());
    hideMouse.on = 1;
    window.setHideMouse(hideMouse);
    EXPECT_TRUE(manager.hideMouse());
    EXPECT_TRUE(stopCodes.empty());

    loop.on = 0;
    window.setLoopByDefault(loop);
    EXPECT_FALSE(manager.loopByDefault());
    hideMouse.on = -1; // mixed is not on
    window.setHideMouse(hideMouse);
    EXPECT_FALSE(manager.hideMouse());
}

TEST_F(PrefsWindowTest, AcceptingStoresTheFieldsAndStopsTheLoopWithOne) {
    fill();
    defaultMap.text = "relative/not-there.data";
    hscreens.text = "3";
    vscreens.text = "40000";
    window.acceptSheet();
    EXPECT_EQ(manager.defaultMapPath(), "relative/not-there.data");
    EXPECT_EQ(manager.hscreens(), 3);
    EXPECT_EQ(manager.vscreens(), 16); // the most the full-screen window spans
    EXPECT_EQ(vscreens.text, "16");
    EXPECT_EQ(stopCodes, std::vector<int>{1});
}

TEST_F(PrefsWindowTest, AcceptingAnEmptyMapFieldStoresTheEmptyString) {
    manager.setDefaultMapPath(std::nullopt);
    fill();
    window.acceptSheet();
    EXPECT_EQ(manager.defaultMapPath(), std::optional<std::string>(""));
}

TEST_F(PrefsWindowTest, ScreenCountsOfZeroOrLessOrNoNumberBecomeOneInFieldAndManager) {
    fill();
    for (const std::string text : {"0", "-3", "many", ""}) {
        hscreens.text = text;
        vscreens.text = text;
        manager.setHScreens(7);
        manager.setVScreens(7);
        window.acceptSheet();
        EXPECT_EQ(manager.hscreens(), 1) << text;
        EXPECT_EQ(manager.vscreens(), 1) << text;
        EXPECT_EQ(hscreens.text, "1") << text;
        EXPECT_EQ(vscreens.text, "1") << text;
    }
}

TEST_F(PrefsWindowTest, AcceptingNeverReadsTheSliders) {
    fill();
    hscreensslide.value = 9;
    vscreensslide.value = 9;
    hscreens.text = "2";
    vscreens.text = "5";
    window.acceptSheet();
    EXPECT_EQ(manager.hscreens(), 2);
    EXPECT_EQ(manager.vscreens(), 5);
}

TEST_F(PrefsWindowTest, ASecondHandOverDoesNotRefillButReplacesTheReference) {
    fill();
    hscreens.text = "0";
    vscreens.text = "4 screens";
    defaultMap.text = "typed but never accepted";
    window.acceptSheet();
    defaultMap.text = "typed but never accepted";

    manager.setHScreens(6);
    manager.setLoopByDefault(true);
    PrefsManager other;
    other.setDefaultMapPath("/elsewhere.data");
    window.setPrefsManager(&manager);
    window.setPrefsManager(&other);
    EXPECT_EQ(hscreens.text, "1");
    EXPECT_EQ(vscreens.text, "4 screens");
    EXPECT_EQ(defaultMap.text, "typed but never accepted");
    EXPECT_EQ(loop.on, 0);

    // The reference is replaced: the next actions reach the new manager.
    window.acceptSheet();
    EXPECT_EQ(other.vscreens(), 4);
    EXPECT_EQ(other.defaultMapPath(), "typed but never accepted");
}

// What was typed and never accepted is not shown again when the sheet next opens: the sheet
// shows the manager's settings, also those changed elsewhere (the volume aside, none are).
TEST_F(PrefsWindowTest, OpeningTheSheetShowsTheManagersSettingsAgain) {
    fill();
    hscreens.text = "4";
    vscreens.text = "3";
    hscreensslide.value = 4;
    defaultMap.text = "typed but never accepted";
    manager.setLoopByDefault(true);
    window.sheetWillOpen();
    EXPECT_EQ(hscreens.text, "1");
    EXPECT_EQ(hscreensslide.value, 1);
    EXPECT_EQ(vscreens.text, "1");
    EXPECT_EQ(defaultMap.text, "");
    EXPECT_EQ(loop.on, 1);
    EXPECT_TRUE(stopCodes.empty());

    hscreens.text = "2";
    window.acceptSheet();
    hscreens.text = "5"; // typed after the accept, then the sheet is closed
    window.sheetWillOpen();
    EXPECT_EQ(hscreens.text, "2");
    EXPECT_EQ(manager.hscreens(), 2);
}

TEST_F(PrefsWindowTest, OpeningWithoutAManagerLeavesTheControls) {
    window.sheetWillOpen();
    EXPECT_EQ(hscreens.text, "untouched");
    EXPECT_EQ(loop.on, -1);
}

TEST_F(PrefsWindowTest, WithoutAManagerNothingIsFilledOrStoredButTheLoopStillEnds) {
    window.setPrefsManager(nullptr);
    EXPECT_EQ(hscreens.text, "untouched");
    loop.on = 1;
    window.setLoopByDefault(loop);
    window.acceptSheet();
    EXPECT_EQ(stopCodes, std::vector<int>{1});

    fill(); // the first real manager still fills
    EXPECT_EQ(hscreens.text, "1");
    EXPECT_FALSE(manager.loopByDefault());
}

} // namespace
} // namespace lumenarc
