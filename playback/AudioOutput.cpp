#include "playback/AudioOutput.h"

#include <mpv/client.h>

#include <charconv>
#include <cmath>
#include <memory>
#include <string_view>

namespace lumenarc {
namespace {

std::string number(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

std::string field(const mpv_node& map, std::string_view key) {
    if (map.format != MPV_FORMAT_NODE_MAP) {
        return {};
    }
    for (int i = 0; i < map.u.list->num; ++i) {
        const mpv_node& value = map.u.list->values[i];
        if (map.u.list->keys[i] == key && value.format == MPV_FORMAT_STRING) {
            return value.u.string;
        }
    }
    return {};
}

} // namespace

std::string AudioOutput::checkDelay(double seconds) {
    if (std::isfinite(seconds) && std::fabs(seconds) <= kMaxDelay) {
        return {};
    }
    return "the audio delay must be between " + number(-kMaxDelay) + " and " + number(kMaxDelay) +
           " seconds, not " + number(seconds);
}

std::vector<AudioOutput::Device> AudioOutput::devices(std::string* error) {
    std::string ignored;
    error = error != nullptr ? error : &ignored;
    const std::unique_ptr<mpv_handle, void (*)(mpv_handle*)> core(mpv_create(),
                                                                  &mpv_terminate_destroy);
    if (!core) {
        *error = "the decoder cannot start";
        return {};
    }
    for (const auto& [name, value] : {std::pair{"config", "no"},
                                      {"terminal", "no"},
                                      {"idle", "yes"},
                                      {"vo", "null"},
                                      {"ao", "null"}}) {
        mpv_set_option_string(core.get(), name, value);
    }
    if (const int status = mpv_initialize(core.get()); status < 0) {
        *error = std::string("the decoder cannot start: ") + mpv_error_string(status);
        return {};
    }
    mpv_node list{};
    if (const int status =
            mpv_get_property(core.get(), "audio-device-list", MPV_FORMAT_NODE, &list);
        status < 0) {
        *error = std::string("the decoder lists no audio devices: ") + mpv_error_string(status);
        return {};
    }
    std::vector<Device> found;
    if (list.format == MPV_FORMAT_NODE_ARRAY) {
        for (int i = 0; i < list.u.list->num; ++i) {
            const mpv_node& device = list.u.list->values[i];
            found.push_back({field(device, "name"), field(device, "description")});
        }
    }
    mpv_free_node_contents(&list);
    return found;
}

std::string AudioOutput::listing(const std::vector<Device>& devices) {
    std::string text;
    for (const Device& device : devices) {
        text += device.name + "  " + device.description + "\n";
    }
    return text;
}

} // namespace lumenarc
