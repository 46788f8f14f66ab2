#pragma once

#include "rendertool/RenderOptions.h"

#include <cstdint>
#include <memory>

namespace lumenarc {

class DistortionMatrix;
class MovieReader;
class MovieWriter;
class TempOutput;

// One run of the movie tool, from the options to the finished file: the checks that can fail
// before the work starts (mesh, size, input, output, encoder), the threaded work, and the
// removal of an unfinished file. Messages go to standard error.
class MovieRender {
public:
    explicit MovieRender(const RenderOptions& options);
    ~MovieRender();
    MovieRender(const MovieRender&) = delete;
    MovieRender& operator=(const MovieRender&) = delete;

    static constexpr int kStopped = -1;
    static constexpr int kUsageError = 2;

    // 0 when OUT is complete; 1 after a message saying why not (kUsageError for a start or
    // duration the movie's time base cannot count); kStopped when a stop signal
    // ended the run first, with nothing written. A signal after OUT is complete changes
    // nothing.
    int run();
    // The frames written.
    int64_t frames() const { return m_frames; }

private:
    int openOutput();
    int render();

    const RenderOptions& m_options;
    std::unique_ptr<DistortionMatrix> m_mesh;
    std::unique_ptr<MovieReader> m_reader;
    std::unique_ptr<TempOutput> m_temp;
    std::unique_ptr<MovieWriter> m_writer;
    int64_t m_frames = 0;
};

} // namespace lumenarc
