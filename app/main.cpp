// Lumenarc: a movie player that draws every frame through a distortion mesh.

#include "app/Application.h"

#include <QApplication>
#include <clocale>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Lumenarc");
    std::setlocale(LC_NUMERIC, "C"); // Qt takes the user's locale; file numbers never do
    lumenarc::Application lumenarc(application);
    return lumenarc.run(QCoreApplication::arguments().mid(1));
}
