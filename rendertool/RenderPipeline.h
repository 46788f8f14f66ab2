#pragma once

#include "rendertool/BoundedQueue.h"
#include "rendertool/TimeWindow.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

struct AVFrame;
struct AVPacket;

namespace lumenarc {

class FrameClock;
class MeshWarper;
class MovieReader;
class MovieWriter;
class ProgressLine;
class ReadbackRing;
class RgbaConverter;

// Renders a movie on three threads that overlap:
//  - the reader decodes the video, converts each frame to RGBA (or keeps it as it is, when it
//    is warped plane by plane) and writes the sound;
//  - the calling thread, which holds the GL context, draws each frame through the mesh and
//    reads it back into a pixel-buffer slot;
//  - the encoder converts each slot to the output format and encodes it.
// The frames travel through bounded queues of buffer and slot numbers, so memory stays at a
// few frames whatever the movie's length, and a slow stage holds the others back. Each thread
// polls for a failure elsewhere and for a stop signal, and then ends promptly.
class RenderPipeline {
public:
    struct Parts {
        MovieReader* reader = nullptr;
        MovieWriter* writer = nullptr;
        MeshWarper* warper = nullptr;
        ReadbackRing* ring = nullptr;
        ProgressLine* progress = nullptr;
        int frameWidth = 0; // the frame texture's size
        int frameHeight = 0;
        int outWidth = 0;
        int outHeight = 0;
        int outStride = 0; // of the read-back slots
        bool audio = true;
        // The warper makes whole pictures on the processor: they go into slots in memory,
        // and GL neither draws nor reads back.
        bool processorOnly = false;
        // With processorOnly: the decoded frames, 8-bit YUV in `frameFormat`, are warped plane
        // by plane into the encoder's YUV pictures (MeshWarper::planesOnProcessor), with no
        // conversion to RGB and back. The chroma's rows are the luma's divided by
        // 2^frameChromaShiftY in the frames, 2^chromaShiftY in the pictures.
        bool planar = false;
        AVPixelFormat frameFormat = AV_PIX_FMT_NONE;
        int frameChromaShiftY = 0;
        int chromaShiftY = 0;
        bool tenBits = false; // the pictures' samples
        uint8_t lumaBlack = 16;
    };

    static constexpr int kInputBuffers = 3;

    RenderPipeline(const Parts& parts, const TimeWindow& window);

    // Runs to the end of the cut; false with a message on a failure. A stop signal ends it
    // early (true, StopSignal tells). The encoder is not flushed: MovieWriter::finish does.
    bool run(std::string* error);
    int64_t frames() const { return m_frames.load(); }
    double lastSeconds() const { return m_lastSeconds.load(); }

private:
    struct Decoded {
        int buffer;
        int64_t pts; // output time stamp, video time base
        int64_t duration;
    };
    struct Drawn {
        int slot;
        int64_t pts;
        int64_t duration;
    };

    void readLoop();
    void drawLoop();
    void encodeLoop();
    using Fill = std::function<bool(AVFrame* frame, int buffer)>;
    bool handleFrame(AVFrame* frame, FrameClock& clock, const Fill& fill, bool& videoDone);
    void warpPlanes(int buffer, int slot);
    bool handlePacket(AVPacket* packet, std::vector<int>& audioOpen);
    void fail(const std::string& message);
    const uint8_t* slotPixels(int slot) const;
    bool stopping() const;

    struct FreeBuffer {
        void operator()(uint8_t* p) const;
    };
    struct FreeFrame {
        void operator()(AVFrame* frame) const;
    };

    Parts m_parts;
    TimeWindow m_window;
    int m_inputStride;
    std::vector<std::unique_ptr<uint8_t, FreeBuffer>> m_inputs;
    std::vector<std::unique_ptr<uint8_t, FreeBuffer>> m_pictures;   // the slots without GL
    std::vector<std::unique_ptr<AVFrame, FreeFrame>> m_frameInputs; // planar: decoded frames
    std::vector<std::unique_ptr<AVFrame, FreeFrame>> m_frameSlots;  // planar: warped pictures
    BoundedQueue<int> m_freeInputs;
    BoundedQueue<Decoded> m_decoded;
    BoundedQueue<int> m_freeSlots;
    BoundedQueue<Drawn> m_drawn;
    std::atomic<bool> m_failed{false};
    std::mutex m_errorLock;
    std::string m_error;
    std::atomic<int64_t> m_frames{0};
    std::atomic<double> m_lastSeconds{0};
};

} // namespace lumenarc
