#include "rendertool/LibavError.h"

extern "C" {
#include <libavutil/error.h>
}

namespace lumenarc {

std::string LibavError::text(int code) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buffer, sizeof buffer);
    return buffer;
}

} // namespace lumenarc
