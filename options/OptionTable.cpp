#include "options/OptionTable.h"

namespace lumenarc {

const Option* OptionTable::byFlag(std::string_view flag) {
    for (const Option& option : kRows) {
        if (option.onCommandLine() && option.flag == flag) {
            return &option;
        }
    }
    return nullptr;
}

const Option* OptionTable::byKey(std::string_view key) {
    for (const Option& option : kRows) {
        if (option.saved() && option.key == key) {
            return &option;
        }
    }
    return nullptr;
}

} // namespace lumenarc
