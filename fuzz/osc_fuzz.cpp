// Feeds arbitrary bytes to the show-control parser. A command it accepts must be within the
// ranges the player takes; anything it refuses must say why.

#include "remote/OscParser.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using lumenarc::OscCommand;
using lumenarc::OscParser;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "osc_fuzz: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string why;
    const auto command = OscParser::parse(data, size, why);
    if (!command) {
        check(!why.empty(), "a datagram was refused without a reason");
        return 0;
    }
    check(std::isfinite(command->number), "a number that is not finite was accepted");
    check(command->text.size() <= OscParser::kMaxPathLength, "a path too long was accepted");
    switch (command->verb) {
    case OscCommand::Verb::Rate:
        check(std::fabs(command->number) <= 100, "a rate out of range was accepted");
        break;
    case OscCommand::Verb::Seek:
        check(command->number >= 0, "a seek before the start was accepted");
        break;
    case OscCommand::Verb::Volume:
        check(command->number >= 0 && command->number <= 1, "a volume out of range was accepted");
        break;
    case OscCommand::Verb::Projection:
        check(std::fabs(command->number) < 1e6 &&
                  OscParser::isProjectionCode(static_cast<int>(command->number)),
              "an unknown projection was accepted");
        break;
    default:
        break;
    }
    return 0;
}
