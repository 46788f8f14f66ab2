#include "shell/PrefsDialog.h"

#include "prefs/PrefsManager.h"
#include "ui_PrefsDialog.h"

#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>

namespace lumenarc {
namespace {

[[maybe_unused]] const auto* const widgetApplication =
    ::testing::AddGlobalTestEnvironment(new test::WidgetApplication);

void pressKey(QWidget* target, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

class PrefsDialogTest : public ::testing::Test {
protected:
    PrefsDialogTest() { mainWindow.show(); }

    // Runs the sheet's modal loop; `during` runs once the loop is up and should end it. A
    // watchdog ends a loop that nothing ends, so that the test fails instead of hanging.
    int runModalWith(const std::function<void()>& during) {
        bool timedOut = false;
        QTimer::singleShot(0, &dialog, during);
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            timedOut = true;
            dialog.done(-1);
        });
        watchdog.start(5000);
        const int code = dialog.runModal();
        EXPECT_FALSE(timedOut);
        EXPECT_FALSE(dialog.isVisible());
        return code;
    }

    PrefsManager manager;
    QWidget mainWindow;
    PrefsDialog dialog{&mainWindow};
    Ui::PrefsDialog& ui = dialog.ui();
};

TEST_F(PrefsDialogTest, IsTitledAndFilledFromTheManager) {
    manager.setLoopByDefault(true);
    manager.setHideMouse(true);
    manager.setDefaultMapPath("/maps/dome.data");
    manager.setHScreens(3);
    manager.setVScreens(2);
    dialog.setPrefsManager(&manager);
    EXPECT_EQ(dialog.windowTitle(), "Preferences");
    EXPECT_TRUE(ui.loopByDefaultButton->isChecked());
    EXPECT_FALSE(ui.quitWhenMovieFinishesButton->isChecked());
    EXPECT_FALSE(ui.startupInFullScreenButton->isChecked());
    EXPECT_TRUE(ui.hideMouseButton->isChecked());
    EXPECT_EQ(ui.defaultMap->text(), "/maps/dome.data");
    EXPECT_EQ(ui.hscreens->text(), "3");
    EXPECT_EQ(ui.hscreensslide->value(), 3);
    EXPECT_EQ(ui.vscreens->text(), "2");
    EXPECT_EQ(ui.vscreensslide->value(), 2);
}

TEST_F(PrefsDialogTest, AManagerWithoutAPathShowsAnEmptyField) {
    manager.setDefaultMapPath(std::nullopt);
    ui.defaultMap->setText("left over");
    dialog.setPrefsManager(&manager);
    EXPECT_EQ(ui.defaultMap->text(), "");
}

TEST_F(PrefsDialogTest, EachSliderAndItsFieldFollowOneAnother) {
    dialog.setPrefsManager(&manager);
    ui.hscreensslide->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(ui.hscreens->text(), "2");
    ui.vscreensslide->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(ui.vscreens->text(), "16");
    EXPECT_EQ(ui.hscreens->text(), "2");

    ui.hscreens->setText("7");
    EXPECT_EQ(ui.hscreensslide->value(), 7);
    for (const char* notInRange : {"17", "0", "2abc", "", "-3"}) {
        ui.hscreens->setText(notInRange);
        EXPECT_EQ(ui.hscreensslide->value(), 7) << notInRange;
        EXPECT_EQ(ui.hscreens->text(), notInRange);
    }
    EXPECT_EQ(ui.vscreensslide->value(), 16);
}

TEST_F(PrefsDialogTest, ACheckBoxClickChangesTheManagerAtOnce) {
    dialog.setPrefsManager(&manager);
    ui.loopByDefaultButton->click();
    EXPECT_TRUE(manager.loopByDefault());
    ui.quitWhenMovieFinishesButton->click();
    EXPECT_TRUE(manager.quitWhenMovieFinishes());
    ui.startupInFullScreenButton->click();
    EXPECT_TRUE(manager.startupInFullScreen());
    ui.hideMouseButton->click();
    EXPECT_TRUE(manager.hideMouse());
    ui.loopByDefaultButton->click();
    EXPECT_FALSE(manager.loopByDefault());
    EXPECT_TRUE(manager.quitWhenMovieFinishes());
}

TEST_F(PrefsDialogTest, OkEndsTheWindowModalLoopWithOneAndStoresTheFields) {
    dialog.setPrefsManager(&manager);
    const int code = runModalWith([&] {
        EXPECT_EQ(dialog.windowModality(), Qt::WindowModal);
        EXPECT_EQ(QApplication::activeModalWidget(), &dialog);
        ui.defaultMap->setText("");
        ui.hscreens->setText("2abc");
        ui.vscreens->setText("3.7");
        ui.okButton->click();
    });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(manager.defaultMapPath(), std::optional<std::string>(""));
    EXPECT_EQ(manager.hscreens(), 2);
    EXPECT_EQ(manager.vscreens(), 3);
}

TEST_F(PrefsDialogTest, OkTurnsCountsOfZeroOrNoNumberIntoOneAndCapsThemAtSixteen) {
    dialog.setPrefsManager(&manager);
    const int code = runModalWith([&] {
        ui.hscreensslide->setValue(5);
        ui.hscreens->setText("0");
        ui.vscreens->setText("    ");
        ui.okButton->click();
    });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(manager.hscreens(), 1);
    EXPECT_EQ(manager.vscreens(), 1);
    EXPECT_EQ(ui.hscreens->text(), "1");
    EXPECT_EQ(ui.vscreens->text(), "1");
    EXPECT_EQ(ui.hscreensslide->value(), 1);

    runModalWith([&] {
        ui.vscreens->setText("-3");
        ui.hscreens->setText("250");
        ui.okButton->click();
    });
    EXPECT_EQ(manager.hscreens(), 16); // the slider's maximum, the most the window spans
    EXPECT_EQ(ui.hscreens->text(), "16");
    EXPECT_EQ(manager.vscreens(), 1);
    EXPECT_EQ(ui.vscreens->text(), "1");
}

TEST_F(PrefsDialogTest, ReturnInAFieldAccepts) {
    dialog.setPrefsManager(&manager);
    const int code = runModalWith([&] {
        ui.vscreens->setText("4");
        pressKey(ui.vscreens, Qt::Key_Return);
    });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(manager.vscreens(), 4);
}

// Closing without OK ends the loop and stores no field; a click on a check box stays applied.
// The next showing shows the manager's settings, not the fields as they were left.
TEST_F(PrefsDialogTest, ClosingOrEscapeStoresNoFieldAndTheNextShowingShowsTheSettings) {
    manager.setDefaultMapPath("/maps/dome.data");
    dialog.setPrefsManager(&manager);
    const int closed = runModalWith([&] {
        ui.hscreens->setText("4");
        ui.defaultMap->setText("/maps/wall.data");
        ui.loopByDefaultButton->click();
        dialog.close();
    });
    EXPECT_EQ(closed, 0);
    EXPECT_EQ(manager.hscreens(), 1);
    EXPECT_EQ(manager.defaultMapPath(), "/maps/dome.data");
    EXPECT_TRUE(manager.loopByDefault());

    const int escaped = runModalWith([&] {
        EXPECT_EQ(ui.hscreens->text(), "1");
        EXPECT_EQ(ui.hscreensslide->value(), 1);
        EXPECT_EQ(ui.defaultMap->text(), "/maps/dome.data");
        EXPECT_TRUE(ui.loopByDefaultButton->isChecked());
        ui.vscreens->setText("5");
        pressKey(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(escaped, 0);
    EXPECT_EQ(manager.vscreens(), 1);

    runModalWith([&] {
        EXPECT_EQ(ui.vscreens->text(), "1");
        ui.hscreens->setText("4");
        ui.okButton->click();
    });
    EXPECT_EQ(manager.hscreens(), 4);
    EXPECT_EQ(manager.vscreens(), 1);
    EXPECT_EQ(manager.defaultMapPath(), "/maps/dome.data");
    runModalWith([&] {
        EXPECT_EQ(ui.hscreens->text(), "4"); // what was accepted shows again
        pressKey(&dialog, Qt::Key_Escape);
    });
}

TEST_F(PrefsDialogTest, ChooseFillsOnlyTheFieldWithADataFile) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath("dome.data");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    dialog.setPrefsManager(&manager);

    runModalWith([&] {
        ui.chooseDefaultMapButton->click();
        auto* chooser = dialog.findChild<QFileDialog*>();
        ASSERT_NE(chooser, nullptr);
        EXPECT_EQ(chooser->nameFilters(), QStringList{"*.data"});
        EXPECT_EQ(chooser->fileMode(), QFileDialog::ExistingFile);
        chooser->selectFile(path);
        static_cast<QDialog*>(chooser)->accept(); // the file dialog hides accept()
        EXPECT_EQ(ui.defaultMap->text(), path);
        EXPECT_EQ(manager.defaultMapPath(), std::optional<std::string>(""));
        ui.okButton->click();
    });
    EXPECT_EQ(manager.defaultMapPath(), path.toStdString());
}

} // namespace
} // namespace lumenarc
