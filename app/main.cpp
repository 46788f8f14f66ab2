// Lumenarc: a movie player that draws every frame through a distortion mesh.

#include "app/Application.h"
#include "app/CommandLine.h"

#include <QApplication>
#include <clocale>
#include <cstdio>

int main(int argc, char** argv) {
    // The command line is read before the toolkit starts, so that --help, --version and a wrong
    // option answer without a display. The toolkit gets no arguments to read of its own.
    QStringList arguments;
    for (int k = 0; k < argc; ++k) {
        arguments << QString::fromLocal8Bit(argv[k]);
    }
    const auto command = lumenarc::CommandLine::parse(arguments);
    if (command.outcome != lumenarc::CommandLine::Outcome::Run) {
        std::FILE* out = command.outcome == lumenarc::CommandLine::Outcome::Error ? stderr : stdout;
        std::fputs(command.text.c_str(), out);
        return lumenarc::CommandLine::exitStatus(command.outcome);
    }
    int toolkitArgc = 1;
    QApplication application(toolkitArgc, argv);
    QApplication::setApplicationName("Lumenarc");
    std::setlocale(LC_NUMERIC, "C"); // Qt takes the user's locale; file numbers never do
    lumenarc::Application lumenarc(application);
    return lumenarc.run(command.options);
}
