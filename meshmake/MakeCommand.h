#pragma once

#include <span>
#include <string_view>

namespace lumenarc::meshmake {

// `lumenarc-mesh make`: reads the arguments, makes the mesh and writes it beside its file
// name first, renaming it into place when complete. Returns the exit status.
class MakeCommand {
public:
    static int run(std::span<const std::string_view> args);
};

} // namespace lumenarc::meshmake
