// Lumenarc: a movie player that draws every frame through a distortion mesh.

#include "app/MainWindow.h"
#include "app/MyController.h"
#include "app/VideoWindow.h"
#include "render/MyOpenGLView.h"

#include <QApplication>
#include <QDir>
#include <clocale>

namespace {

// <folder of the executable>/../share/lumenarc, the shape of both the build and the installed tree.
std::string resourcePath() {
    const QString path = QCoreApplication::applicationDirPath() + "/../share/lumenarc";
    return QDir::cleanPath(path).toStdString();
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Lumenarc");
    std::setlocale(LC_NUMERIC, "C"); // Qt takes the user's locale; file numbers never do

    lumenarc::MainWindow window;
    lumenarc::MyOpenGLView view(window.videoWindow(), resourcePath());
    window.videoWindow().setView(&view);
    view.setVolumeSlider(&window.volumeSlider());

    // The controller wakes first: the view's own wake-up reads the preferences it was handed.
    lumenarc::MyController controller(window, view);
    controller.awakeFromNib();
    view.awakeFromNib();

    QObject::connect(&application, &QCoreApplication::aboutToQuit,
                     [&controller] { controller.applicationWillTerminate(); });
    window.show();
    return QApplication::exec();
}
