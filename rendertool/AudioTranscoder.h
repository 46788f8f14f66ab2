#pragma once

#include <functional>
#include <memory>
#include <string>

struct AVAudioFifo;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwrContext;

namespace lumenarc {

// Re-encodes one sound stream to AAC for a container that does not take its codec: decode,
// resample to the encoder's format, and encode in the encoder's frame size.
class AudioTranscoder {
public:
    using Write = std::function<bool(AVPacket* packet, std::string* error)>;

    // Sets up the decoder and the encoder and describes `output` to the muxer; nullptr and a
    // reason when it cannot.
    static std::unique_ptr<AudioTranscoder> create(const AVStream* input, AVStream* output,
                                                   bool globalHeader, std::string* error);
    ~AudioTranscoder();
    AudioTranscoder(const AudioTranscoder&) = delete;
    AudioTranscoder& operator=(const AudioTranscoder&) = delete;

    // Takes one packet in the input's time base (nullptr: the end) and hands every encoded
    // packet, in the encoder's time base, to `write`.
    bool send(const AVPacket* packet, const Write& write, std::string* error);
    AVCodecContext* encoder() const { return m_encoder; }

private:
    AudioTranscoder() = default;
    bool openDecoder(const AVStream* input, std::string* error);
    bool openEncoder(bool globalHeader, std::string* error);
    bool resample(const AVFrame* decoded, std::string* error);
    bool encodeFrames(bool flush, const Write& write, std::string* error);
    bool drain(const Write& write, std::string* error);

    AVCodecContext* m_decoder = nullptr;
    AVCodecContext* m_encoder = nullptr;
    SwrContext* m_resampler = nullptr;
    AVAudioFifo* m_fifo = nullptr;
    AVFrame* m_decoded = nullptr;
    AVFrame* m_toEncode = nullptr;
    AVPacket* m_encoded = nullptr;
    int64_t m_nextPts = 0; // in samples
    bool m_havePts = false;
};

} // namespace lumenarc
