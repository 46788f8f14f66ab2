#pragma once

#include "meshmake/MakeRequest.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace lumenarc::meshmake {

// The arguments of `lumenarc-mesh make KIND --option value ...`, read through one table that
// also writes the help: each option names the kinds it serves, its value's type and limits.
class MakeArguments {
public:
    struct Result {
        std::optional<MakeRequest> request; // when the arguments are good
        bool help = false;                  // --help was asked for
        std::string error;                  // why the arguments were refused
    };

    // The arguments after "make".
    static Result parse(std::span<const std::string_view> args);
    static std::string help();

private:
    static std::string checkRoom(const MakeRequest& request);
};

} // namespace lumenarc::meshmake
