#include "shell/ModalWatcher.h"
#include "shell/PointerHider.h"

#include "support/WidgetApplication.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>

#include <memory>
#include <vector>

namespace lumenarc {
namespace {

[[maybe_unused]] const auto* const widgetApplication =
    ::testing::AddGlobalTestEnvironment(new test::WidgetApplication);

bool pointerHidden() {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor != nullptr && cursor->shape() == Qt::BlankCursor;
}

TEST(PointerHider, HiddenOnceAskedButNotWhileAModalWindowIsUp) {
    EXPECT_FALSE(PointerHider::hidden(false, false));
    EXPECT_FALSE(PointerHider::hidden(false, true));
    EXPECT_TRUE(PointerHider::hidden(true, false));
    EXPECT_FALSE(PointerHider::hidden(true, true));

    QWidget window;
    window.show();
    PointerHider pointer;
    pointer.setModalUp(true);
    EXPECT_FALSE(pointerHidden());
    pointer.hide(); // asked while an alert is up: it shows until the alert goes
    EXPECT_FALSE(pointerHidden());
    pointer.setModalUp(false);
    EXPECT_TRUE(pointerHidden());
    EXPECT_EQ(window.windowHandle()->cursor().shape(), Qt::BlankCursor);
    pointer.hide(); // twice: still one override to undo
    pointer.setModalUp(true);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_NE(window.windowHandle()->cursor().shape(), Qt::BlankCursor);
    pointer.setModalUp(false);
    EXPECT_TRUE(pointerHidden());
    pointer.setModalUp(true); // leave the application as it was
}

// Runs `modal` and records what the watcher says while it is up and after it went.
TEST(ModalWatcher, TellsWhenTheFirstModalWindowComesAndTheLastGoes) {
    QWidget window;
    window.show();
    std::vector<bool> told;
    ModalWatcher watcher([&](bool up) { told.push_back(up); });
    QMessageBox alert(QMessageBox::Warning, "File error", "Not a mesh", QMessageBox::Ok, &window);
    QDialog sheet(&window);
    sheet.setWindowModality(Qt::WindowModal);
    QTimer::singleShot(100, &alert, [&] {
        EXPECT_EQ(told, std::vector<bool>{true});
        // A sheet opened from the alert keeps a modal window up when the alert goes.
        QTimer::singleShot(100, &sheet, [&] {
            alert.done(0);
            QTimer::singleShot(100, &sheet, [&] { sheet.done(0); });
        });
        sheet.exec();
    });
    QTimer::singleShot(5000, &window, [&] { // a watchdog, should anything hang
        alert.done(0);
        sheet.done(0);
    });
    alert.exec();
    QTimer::singleShot(100, &window, [] { QCoreApplication::exit(0); });
    QApplication::exec();
    EXPECT_EQ(told, (std::vector<bool>{true, false}));
}

} // namespace
} // namespace lumenarc
