/* Preloaded into lumenarc-render by its tests: a libavcodec built without one encoder, as
 * some distributions ship it. avcodec_find_encoder_by_name answers "none" for the name in
 * LUMENARC_HIDE_ENCODER and passes every other name on to the real library. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>

struct AVCodec;

const struct AVCodec* avcodec_find_encoder_by_name(const char* name) {
    typedef const struct AVCodec* (*Find)(const char*);
    const char* hidden = getenv("LUMENARC_HIDE_ENCODER");
    if (hidden != NULL && name != NULL && strcmp(hidden, name) == 0) {
        return NULL;
    }
    Find real = (Find)dlsym(RTLD_NEXT, "avcodec_find_encoder_by_name");
    return real != NULL ? real(name) : NULL;
}
