#include "playback/MpvPlayback.h"

#include "playback/MpvMovie.h"

namespace lumenarc {
namespace {

MpvTextureContext* mpvContextOf(MyOpenGLView& view) {
    return dynamic_cast<MpvTextureContext*>(view.textureContext());
}

} // namespace

PlaybackControl::MovieOpener MpvPlayback::movieOpener(MyOpenGLView& view, Settings settings) {
    return
        [&view, settings](const std::string& path, std::string* error) -> std::shared_ptr<Movie> {
            MpvMovie::Options options;
            options.audio = settings.audio;
            options.videoOutput = settings.videoOutput;
            options.beforeLoad = [&view](mpv_handle* core) {
                // The render thread makes the texture context while it prepares the GL context;
                // a task queued behind that preparation runs only once it is done.
                view.renderThread().runAndWait([] {});
                if (MpvTextureContext* context = mpvContextOf(view)) {
                    context->attachCore(core);
                }
            };
            options.beforeDestroy = [&view](mpv_handle* core) {
                if (MpvTextureContext* context = mpvContextOf(view)) {
                    context->detachCore(core);
                }
            };
            return MpvMovie::open(path, options, error);
        };
}

MyOpenGLView::TextureContextFactory
MpvPlayback::textureContexts(MyOpenGLView& view, MpvTextureContext::GetProcAddress getProcAddress,
                             void* procContext) {
    return [&view, getProcAddress, procContext]() -> std::unique_ptr<TextureContext> {
        return std::make_unique<MpvTextureContext>(view.renderThread(), getProcAddress,
                                                   procContext);
    };
}

} // namespace lumenarc
