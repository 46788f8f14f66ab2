#include "shell/QuitRequest.h"

#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>

#include <memory>

namespace lumenarc {
namespace {

[[maybe_unused]] const auto* const widgetApplication =
    ::testing::AddGlobalTestEnvironment(new test::WidgetApplication);

// Runs `modal` with a request made from inside its loop, as a signal arriving there would; a
// watchdog ends a loop that the request did not end, so that the test fails instead of hanging.
bool requestEndsTheLoopOf(QDialog& modal, QuitRequest& quit) {
    bool watchdogFired = false;
    QTimer::singleShot(50, &modal, [&] {
        EXPECT_EQ(QApplication::activeModalWidget(), &modal);
        quit.request();
    });
    QTimer::singleShot(5000, &modal, [&] {
        watchdogFired = true;
        modal.done(99);
    });
    modal.exec();
    return !watchdogFired && !modal.isVisible();
}

// Before the main event loop runs (an alert at start) the request ends the alert and is
// remembered for the start-up to see.
TEST(QuitRequest, EndsAnAlertOrSheetBeforeTheEventLoopRunsAndIsRemembered) {
    QWidget window;
    window.show();
    QuitRequest quit;
    EXPECT_FALSE(quit.requested());
    QMessageBox alert(QMessageBox::Warning, "Movie error", "The movie could not be opened.",
                      QMessageBox::Ok, &window);
    EXPECT_TRUE(requestEndsTheLoopOf(alert, quit));
    EXPECT_TRUE(quit.requested());
    QDialog sheet(&window);
    sheet.setWindowModality(Qt::WindowModal);
    EXPECT_TRUE(requestEndsTheLoopOf(sheet, quit));
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
}

// Inside the event loop the request ends it too, from within a sheet run by one of its actions.
TEST(QuitRequest, EndsTheEventLoopFromInsideASheet) {
    QWidget window;
    window.show();
    QuitRequest quit;
    QDialog sheet(&window);
    bool sheetEnded = false;
    QTimer::singleShot(0, &window, [&] {
        EXPECT_TRUE(requestEndsTheLoopOf(sheet, quit));
        sheetEnded = true;
    });
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(10000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(sheetEnded);
}

} // namespace
} // namespace lumenarc
