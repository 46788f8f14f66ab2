#pragma once

#include <cstring>
#include <lo/lo_lowlevel.h>
#include <memory>
#include <type_traits>

namespace lumenarc {

// A liblo message owned like any other object: freed when it goes out of scope.
class LoMessage {
public:
    struct Free {
        void operator()(lo_message message) const { lo_message_free(message); }
    };
    using Owned = std::unique_ptr<std::remove_pointer_t<lo_message>, Free>;

    // An argument's value. liblo's arguments lie in the message at 4-byte steps, which is less
    // than its union's alignment: they are copied out, never read through the union.
    template <typename T> static T valueOf(const lo_arg* arg) {
        T value;
        std::memcpy(&value, static_cast<const void*>(arg), sizeof value);
        return value;
    }
};

} // namespace lumenarc
