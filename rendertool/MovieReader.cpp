#include "rendertool/MovieReader.h"

#include "rendertool/LibavError.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace lumenarc {
namespace {

int interrupted(void* opaque) {
    const auto stop = reinterpret_cast<bool (*)()>(opaque);
    return stop != nullptr && stop() ? 1 : 0;
}

void setError(std::string* error, const std::string& message) {
    if (error != nullptr) {
        *error = message;
    }
}

// The movie's main video stream; cover pictures do not count.
int findVideo(AVFormatContext* format) {
    const int best = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (best >= 0 && (format->streams[best]->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0) {
        return best;
    }
    for (unsigned k = 0; k < format->nb_streams; ++k) {
        const AVStream* stream = format->streams[k];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

} // namespace

std::unique_ptr<MovieReader> MovieReader::open(const std::string& path, std::string* error,
                                               bool (*stop)()) {
    std::unique_ptr<MovieReader> reader(new MovieReader);
    reader->m_format = avformat_alloc_context();
    reader->m_packet = av_packet_alloc();
    if (reader->m_format == nullptr || reader->m_packet == nullptr) {
        setError(error, "out of memory");
        return nullptr;
    }
    reader->m_format->interrupt_callback.callback = interrupted;
    reader->m_format->interrupt_callback.opaque = reinterpret_cast<void*>(stop);
    // Only files: the tool renders what is on the disk, never what a URL would fetch.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int opened = avformat_open_input(&reader->m_format, path.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) {
        setError(error, "cannot read " + path + ": " + LibavError::text(opened));
        return nullptr; // avformat_open_input has freed the context
    }
    const int found = avformat_find_stream_info(reader->m_format, nullptr);
    if (found < 0) {
        setError(error, "cannot read " + path + ": " + LibavError::text(found));
        return nullptr;
    }
    reader->m_videoIndex = findVideo(reader->m_format);
    if (reader->m_videoIndex < 0) {
        setError(error, path + " has no video stream");
        return nullptr;
    }
    if (!reader->openDecoder(error)) {
        return nullptr;
    }
    return reader;
}

MovieReader::~MovieReader() {
    avcodec_free_context(&m_decoder);
    avformat_close_input(&m_format);
    av_packet_free(&m_packet);
}

bool MovieReader::openDecoder(std::string* error) {
    const AVCodecParameters* parameters = videoStream()->codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    if (codec == nullptr) {
        setError(error, std::string("no decoder for the video codec ") +
                            avcodec_get_name(parameters->codec_id));
        return false;
    }
    m_decoder = avcodec_alloc_context3(codec);
    if (m_decoder == nullptr || avcodec_parameters_to_context(m_decoder, parameters) < 0) {
        setError(error, "out of memory");
        return false;
    }
    m_decoder->pkt_timebase = videoStream()->time_base;
    m_decoder->thread_count = 0; // as many as there are cores
    const int opened = avcodec_open2(m_decoder, codec, nullptr);
    if (opened < 0) {
        setError(error, "cannot open the video decoder: " + LibavError::text(opened));
        return false;
    }
    return true;
}

AVStream* MovieReader::videoStream() const {
    return m_format->streams[m_videoIndex];
}

int64_t MovieReader::videoOrigin() const {
    const int64_t start = videoStream()->start_time;
    return start != AV_NOPTS_VALUE ? start : 0;
}

double MovieReader::videoSeconds() const {
    const AVStream* stream = videoStream();
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        return static_cast<double>(stream->duration) * av_q2d(stream->time_base);
    }
    if (m_format->duration != AV_NOPTS_VALUE && m_format->duration > 0) {
        return static_cast<double>(m_format->duration) / AV_TIME_BASE;
    }
    return 0;
}

bool MovieReader::seek(int64_t ts) {
    if (avformat_seek_file(m_format, m_videoIndex, INT64_MIN, ts, ts, 0) < 0) {
        return false;
    }
    avcodec_flush_buffers(m_decoder);
    m_draining = false;
    return true;
}

MovieReader::Next MovieReader::next(AVFrame* frame, AVPacket* packet, std::string* error) {
    for (;;) {
        const int received = avcodec_receive_frame(m_decoder, frame);
        if (received == 0) {
            return Next::Frame;
        }
        if (received == AVERROR_EOF) {
            return Next::End;
        }
        if (received == AVERROR_INVALIDDATA) {
            continue; // a damaged picture: the decoder goes on with the next
        }
        if (received != AVERROR(EAGAIN)) {
            setError(error, "cannot decode the video: " + LibavError::text(received));
            return Next::Error;
        }
        if (m_draining) {
            return Next::End; // the decoder wants input after a flush: nothing more
        }
        const int read = av_read_frame(m_format, m_packet);
        if (read == AVERROR_EOF || (read < 0 && avio_feof(m_format->pb))) {
            m_draining = true;
            avcodec_send_packet(m_decoder, nullptr);
            continue;
        }
        if (read < 0) {
            setError(error, "cannot read the movie: " + LibavError::text(read));
            return Next::Error;
        }
        if (m_packet->stream_index != m_videoIndex) {
            av_packet_move_ref(packet, m_packet);
            return Next::Packet;
        }
        const int sent = avcodec_send_packet(m_decoder, m_packet);
        av_packet_unref(m_packet);
        // A damaged packet costs its own picture only; the decoder carries on with the next.
        if (sent < 0 && sent != AVERROR_INVALIDDATA && sent != AVERROR(EAGAIN)) {
            setError(error, "cannot decode the video: " + LibavError::text(sent));
            return Next::Error;
        }
    }
}

} // namespace lumenarc
