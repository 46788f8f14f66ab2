#include "rendertool/MovieWriter.h"

#include "rendertool/AudioTranscoder.h"
#include "rendertool/LibavError.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

namespace lumenarc {
namespace {

void setError(std::string* error, const std::string& message) {
    if (error != nullptr) {
        *error = message;
    }
}

int interrupted(void* opaque) {
    const auto stop = reinterpret_cast<bool (*)()>(opaque);
    return stop != nullptr && stop() ? 1 : 0;
}

// The encoder's own settings for the codec and the quality on its scale.
void configure(AVCodecContext* encoder, const VideoCodec& codec, int quality) {
    void* own = encoder->priv_data;
    if (codec.name == "h264" || codec.name == "hevc") {
        // The encoders' own default preset, with a look-ahead of 10 frames instead of 40
        // (x264) or 20 (x265): each frame it holds costs about 7 MB at 1920x1080, and the
        // longer look-ahead alone would take the tool past 500 MB at that size.
        av_opt_set(own, "preset", "medium", 0);
        av_opt_set_double(own, "crf", quality, 0);
        if (codec.name == "h264") {
            av_opt_set(own, "x264-params", "rc-lookahead=10", 0);
        } else {
            av_opt_set(own, "x265-params", "log-level=error:rc-lookahead=10", 0);
        }
    } else if (codec.name == "prores") {
        av_opt_set_int(own, "profile", quality, 0);
        av_opt_set(own, "vendor", "apl0", 0);
    } else if (codec.name == "ffv1") {
        av_opt_set_int(own, "slicecrc", 1, 0);
        encoder->level = 3; // slices, so that both cores encode
        encoder->slices = 4;
    } else if (codec.name == "hap") {
        av_opt_set(own, "format", CodecTable::hapFormat(quality), 0);
        av_opt_set_int(own, "chunks", 4, 0); // compressed in parts, on both cores
    }
}

} // namespace

std::unique_ptr<MovieWriter> MovieWriter::create(const std::string& path, const std::string& name,
                                                 const std::string& container, const Video& video,
                                                 bool (*stop)(), std::string* error) {
    std::unique_ptr<MovieWriter> writer(new MovieWriter);
    writer->m_path = path;
    writer->m_name = name;
    writer->m_stop = stop;
    writer->m_colour = video.colour;
    const int made =
        avformat_alloc_output_context2(&writer->m_format, nullptr, container.c_str(), path.c_str());
    writer->m_picture = av_frame_alloc();
    writer->m_videoPacket = av_packet_alloc();
    if (made < 0 || writer->m_picture == nullptr || writer->m_videoPacket == nullptr) {
        setError(error, "cannot make a " + container + " file");
        return nullptr;
    }
    writer->m_format->interrupt_callback.callback = interrupted;
    writer->m_format->interrupt_callback.opaque = reinterpret_cast<void*>(stop);
    if (!writer->openEncoder(video, error)) {
        return nullptr;
    }
    return writer;
}

MovieWriter::~MovieWriter() {
    avcodec_free_context(&m_encoder);
    m_audio.clear();
    if (m_format != nullptr) {
        avio_closep(&m_format->pb);
        avformat_free_context(m_format);
    }
    av_frame_free(&m_picture);
    av_packet_free(&m_videoPacket);
}

bool MovieWriter::openEncoder(const Video& video, std::string* error) {
    const AVCodec* codec = avcodec_find_encoder_by_name(std::string(video.codec->encoder).c_str());
    if (codec == nullptr) {
        setError(error, "the " + std::string(video.codec->name) + " encoder (" +
                            std::string(video.codec->encoder) +
                            ") is not available in this libavcodec");
        return false;
    }
    m_encoder = avcodec_alloc_context3(codec);
    if (m_encoder == nullptr) {
        setError(error, "out of memory");
        return false;
    }
    m_encoder->width = video.width;
    m_encoder->height = video.height;
    m_encoder->pix_fmt = CodecTable::pixelFormat(*video.codec, video.quality);
    m_encoder->sample_aspect_ratio = AVRational{1, 1};
    m_encoder->time_base = video.timeBase;
    m_encoder->framerate = video.frameRate;
    m_encoder->colorspace = video.colour.matrix;
    m_encoder->color_range = video.colour.range;
    m_encoder->color_primaries = video.colour.primaries;
    m_encoder->color_trc = video.colour.transfer;
    m_encoder->thread_count = 0;
    if ((m_format->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        m_encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    configure(m_encoder, *video.codec, video.quality);
    const int opened = avcodec_open2(m_encoder, codec, nullptr);
    if (opened < 0) {
        setError(error, "cannot open the " + std::string(video.codec->encoder) +
                            " encoder: " + LibavError::text(opened));
        return false;
    }
    m_videoStream = avformat_new_stream(m_format, nullptr);
    if (m_videoStream == nullptr ||
        avcodec_parameters_from_context(m_videoStream->codecpar, m_encoder) < 0) {
        setError(error, "out of memory");
        return false;
    }
    m_videoStream->time_base = m_encoder->time_base;
    m_videoStream->avg_frame_rate = video.frameRate;
    if (video.codec->name == "hevc" && std::string(m_format->oformat->name) != "matroska") {
        m_videoStream->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1'); // what Apple players need
    }
    return true;
}

bool MovieWriter::addAudio(const AVStream* input, std::string* error) {
    AVStream* output = avformat_new_stream(m_format, nullptr);
    if (output == nullptr) {
        setError(error, "out of memory");
        return false;
    }
    AudioOut out;
    out.stream = output->index;
    out.inputTimeBase = input->time_base;
    if (avformat_query_codec(m_format->oformat, input->codecpar->codec_id, FF_COMPLIANCE_NORMAL) ==
        1) {
        if (avcodec_parameters_copy(output->codecpar, input->codecpar) < 0) {
            setError(error, "out of memory");
            return false;
        }
        output->codecpar->codec_tag = 0; // the container's own tag
        output->time_base = input->time_base;
    } else {
        out.transcoder = AudioTranscoder::create(
            input, output, (m_format->oformat->flags & AVFMT_GLOBALHEADER) != 0, error);
        if (!out.transcoder) {
            return false;
        }
    }
    av_dict_copy(&output->metadata, input->metadata, 0);
    output->disposition = input->disposition;
    m_audio[input->index] = std::move(out);
    return true;
}

bool MovieWriter::copiesAudio(int inputIndex) const {
    const auto found = m_audio.find(inputIndex);
    return found != m_audio.end() && !found->second.transcoder;
}

bool MovieWriter::start(std::string* error) {
    if ((m_format->oformat->flags & AVFMT_NOFILE) == 0) {
        const int opened = avio_open2(&m_format->pb, m_path.c_str(), AVIO_FLAG_WRITE,
                                      &m_format->interrupt_callback, nullptr);
        if (opened < 0) {
            return failWrite(opened, error);
        }
    }
    const int written = avformat_write_header(m_format, nullptr);
    if (written < 0) {
        return failWrite(written, error);
    }
    m_started = true;
    return true;
}

AVPixelFormat MovieWriter::pixelFormat() const {
    return m_encoder->pix_fmt;
}

AVFrame* MovieWriter::picture(std::string* error) {
    if (m_picture->data[0] == nullptr) {
        m_picture->format = m_encoder->pix_fmt;
        m_picture->width = m_encoder->width;
        m_picture->height = m_encoder->height;
        // Some encoders (ProRes) write the tags from each picture rather than the context.
        m_picture->colorspace = m_colour.matrix;
        m_picture->color_range = m_colour.range;
        m_picture->color_primaries = m_colour.primaries;
        m_picture->color_trc = m_colour.transfer;
        if (av_frame_get_buffer(m_picture, 0) < 0) {
            setError(error, "out of memory");
            return nullptr;
        }
    }
    // The encoder may still hold the last picture; then this gives a fresh buffer.
    if (av_frame_make_writable(m_picture) < 0) {
        setError(error, "out of memory");
        return nullptr;
    }
    return m_picture;
}

bool MovieWriter::failWrite(int code, std::string* error) {
    setError(error, "cannot write " + m_name + ": " + LibavError::text(code));
    return false;
}

bool MovieWriter::writePacket(AVPacket* packet, AVRational from, int stream, std::string* error) {
    av_packet_rescale_ts(packet, from, m_format->streams[stream]->time_base);
    packet->stream_index = stream;
    std::lock_guard lock(m_muxLock);
    const int written = av_interleaved_write_frame(m_format, packet);
    return written >= 0 || failWrite(written, error);
}

bool MovieWriter::drainVideo(std::string* error) {
    for (;;) {
        // While flushing, each call encodes one of the frames the encoder still holds.
        if (m_stop != nullptr && m_stop()) {
            setError(error, "stopped");
            return false;
        }
        const int received = avcodec_receive_packet(m_encoder, m_videoPacket);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
            return true;
        }
        if (received < 0) {
            setError(error, "cannot encode the video: " + LibavError::text(received));
            return false;
        }
        if (!writePacket(m_videoPacket, m_encoder->time_base, m_videoStream->index, error)) {
            av_packet_unref(m_videoPacket);
            return false;
        }
    }
}

bool MovieWriter::encode(AVFrame* picture, std::string* error) {
    const int sent = avcodec_send_frame(m_encoder, picture);
    if (sent < 0) {
        setError(error, "cannot encode the video: " + LibavError::text(sent));
        return false;
    }
    return drainVideo(error);
}

bool MovieWriter::writeAudio(int inputIndex, AVPacket* packet, std::string* error) {
    const auto found = m_audio.find(inputIndex);
    if (found == m_audio.end()) {
        return true;
    }
    AudioOut& out = found->second;
    if (!out.transcoder) {
        return packet == nullptr || writePacket(packet, out.inputTimeBase, out.stream, error);
    }
    const AVRational encoded = out.transcoder->encoder()->time_base;
    return out.transcoder->send(
        packet, [&](AVPacket* p, std::string* e) { return writePacket(p, encoded, out.stream, e); },
        error);
}

bool MovieWriter::finish(std::string* error) {
    for (auto& [index, out] : m_audio) {
        if (out.transcoder && !writeAudio(index, nullptr, error)) {
            return false;
        }
    }
    if (!encode(nullptr, error)) {
        return false;
    }
    std::lock_guard lock(m_muxLock);
    const int trailer = av_write_trailer(m_format);
    if (trailer < 0) {
        return failWrite(trailer, error);
    }
    if (m_format->pb == nullptr) {
        return true; // a muxer that writes no file
    }
    const int pending = m_format->pb->error;
    const int closed = avio_closep(&m_format->pb);
    if (pending < 0 || closed < 0) {
        return failWrite(pending < 0 ? pending : closed, error);
    }
    return true;
}

} // namespace lumenarc
