#pragma once

#include <cstddef>
#include <cstdint>

namespace lumenarc {

// Names one row of the option table (options/OptionTable.h), in the table's order.
enum class OptionId : uint8_t {
    Help,
    Version,
    LoopByDefault,
    QuitWhenMovieFinishes,
    StartupInFullScreen,
    Volume,
    DefaultMap,
    HScreens,
    VScreens,
    HideMouse,
    Paused,
    OscPort,
    OscBind,
    SyncLeader,
    SyncFollow,
    SyncBind,
    SyncLog,
    SyncSecret,
    Count
};

inline constexpr std::size_t kOptionCount = static_cast<std::size_t>(OptionId::Count);

constexpr std::size_t indexOf(OptionId id) {
    return static_cast<std::size_t>(id);
}

} // namespace lumenarc
