// Lumenarc: a movie player that draws every frame through a distortion mesh.

#include "app/Application.h"
#include "app/CommandLine.h"

#include "playback/AudioOutput.h"

#include <QApplication>
#include <QScreen>
#include <clocale>
#include <cstdio>

namespace {

// `--audio-device help`: the devices libmpv sees, without a display.
int listAudioDevices() {
    std::string error;
    const auto devices = lumenarc::AudioOutput::devices(&error);
    if (!error.empty()) {
        std::fprintf(stderr, "lumenarc: cannot list the audio devices: %s\n", error.c_str());
        return 1;
    }
    std::fputs(lumenarc::AudioOutput::listing(devices).c_str(), stdout);
    return 0;
}

// `--list-screens`: the outputs by the number and name `--screen` takes.
int listScreens() {
    const auto screens = QGuiApplication::screens();
    for (int k = 0; k < screens.size(); ++k) {
        const QRect r = screens[k]->geometry();
        std::printf("%d  %s  %dx%d at %d,%d%s\n", k, screens[k]->name().toLocal8Bit().constData(),
                    r.width(), r.height(), r.x(), r.y(),
                    screens[k] == QGuiApplication::primaryScreen() ? "  (primary)" : "");
    }
    return 0;
}

} // namespace

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
    const auto& given = command.options.given;
    if (given.text(lumenarc::OptionId::AudioDevice) == "help") {
        return listAudioDevices();
    }
    int toolkitArgc = 1;
    QApplication application(toolkitArgc, argv);
    QApplication::setApplicationName("Lumenarc");
    std::setlocale(LC_NUMERIC, "C"); // Qt takes the user's locale; file numbers never do
    if (given.flag(lumenarc::OptionId::ListScreens)) {
        return listScreens();
    }
    lumenarc::Application lumenarc(application);
    return lumenarc.run(command.options);
}
