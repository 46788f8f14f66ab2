#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

namespace lumenarc {

// A movie file read with libavformat and its video decoded with libavcodec: every decoded
// frame in display order, and the other streams' packets as they come in the file.
class MovieReader {
public:
    enum class Next { Frame, Packet, End, Error };

    // The movie, or nullptr and a message: no such file, not a movie, no video stream, no
    // decoder. `stop` ends blocking reads early.
    static std::unique_ptr<MovieReader> open(const std::string& path, std::string* error,
                                             bool (*stop)());
    ~MovieReader();
    MovieReader(const MovieReader&) = delete;
    MovieReader& operator=(const MovieReader&) = delete;

    AVFormatContext* format() const { return m_format; }
    AVStream* videoStream() const;
    AVCodecContext* decoder() const { return m_decoder; }
    // The video's first time stamp (its time base), 0 when the file gives none.
    int64_t videoOrigin() const;
    // The video's duration in seconds from its first frame, when the file tells.
    double videoSeconds() const;

    // Moves to the last key frame at or before `ts` (video time base); frames before it are
    // then decoded and left out by the caller. False when the file cannot seek.
    bool seek(int64_t ts);
    // Frame: a decoded video frame is in `frame`. Packet: a packet of another stream is in
    // `packet` (the caller unreferences it). End: every frame has been given.
    Next next(AVFrame* frame, AVPacket* packet, std::string* error);

private:
    MovieReader() = default;
    bool openDecoder(std::string* error);

    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_decoder = nullptr;
    AVPacket* m_packet = nullptr;
    int m_videoIndex = -1;
    bool m_draining = false;
};

} // namespace lumenarc
