#pragma once

#include "rendertool/CodecTable.h"
#include "rendertool/ColourChoice.h"

extern "C" {
#include <libavutil/rational.h>
}

#include <map>
#include <memory>
#include <mutex>
#include <string>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

namespace lumenarc {

class AudioTranscoder;

// The output movie: the video encoder, the sound streams (copied, or re-encoded where the
// container does not take them) and the muxer. The video is encoded on one thread while the
// sound is written from another; the muxer is shared under a lock.
class MovieWriter {
public:
    struct Video {
        const VideoCodec* codec = nullptr;
        int quality = 0;
        int width = 0;
        int height = 0;
        AVRational timeBase{1, 1}; // the input video's: every time stamp is kept
        AVRational frameRate{0, 1};
        Colour colour;
    };

    // The encoder is opened and the video stream added; nullptr and a reason otherwise. An
    // encoder missing from this libavcodec is named as such.
    // Writes to `path`; messages name the file `name` (the OUT the user gave).
    static std::unique_ptr<MovieWriter> create(const std::string& path, const std::string& name,
                                               const std::string& container, const Video& video,
                                               bool (*stop)(), std::string* error);
    ~MovieWriter();
    MovieWriter(const MovieWriter&) = delete;
    MovieWriter& operator=(const MovieWriter&) = delete;

    // Adds a sound stream for input stream `input`; false and a reason when it can be
    // neither copied nor re-encoded. Before start().
    bool addAudio(const AVStream* input, std::string* error);
    bool hasAudio(int inputIndex) const { return m_audio.count(inputIndex) != 0; }
    bool copiesAudio(int inputIndex) const;
    // Opens the file and writes the header. Failures to write say "cannot write NAME: why".
    bool start(std::string* error);

    AVPixelFormat pixelFormat() const;
    const Colour& colour() const { return m_colour; }
    // A picture to fill for encode(), writable, in the encoder's format and size.
    AVFrame* picture(std::string* error);
    // Encodes the picture (nullptr: the end, flushing the encoder) with time stamp `pts`
    // (input video time base, already moved by the cut) and writes what comes out.
    bool encode(AVFrame* picture, std::string* error);
    // Writes a packet of input sound stream `inputIndex` whose time stamps are already moved
    // by the cut; nullptr flushes a re-encoded stream.
    bool writeAudio(int inputIndex, AVPacket* packet, std::string* error);
    // Flushes the re-encoded sound, writes the trailer and closes the file; false, with the
    // reason, if any write failed (a full disk among them).
    bool finish(std::string* error);

private:
    struct AudioOut {
        int stream = -1;
        AVRational inputTimeBase{1, 1};
        std::unique_ptr<AudioTranscoder> transcoder;
    };

    MovieWriter() = default;
    bool openEncoder(const Video& video, std::string* error);
    bool writePacket(AVPacket* packet, AVRational from, int stream, std::string* error);
    bool drainVideo(std::string* error);
    bool failWrite(int code, std::string* error);

    std::string m_path;
    std::string m_name;
    bool (*m_stop)() = nullptr;
    Colour m_colour;
    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_encoder = nullptr;
    AVStream* m_videoStream = nullptr;
    AVFrame* m_picture = nullptr;
    AVPacket* m_videoPacket = nullptr;
    std::map<int, AudioOut> m_audio;
    std::mutex m_muxLock;
    bool m_started = false;
};

} // namespace lumenarc
