#include "rendertool/AudioTranscoder.h"

#include "rendertool/LibavError.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace lumenarc {
namespace {

constexpr int kFallbackRate = 48000;
constexpr int64_t kBitsPerChannel = 96000;

void setError(std::string* error, const std::string& message) {
    if (error != nullptr) {
        *error = message;
    }
}

bool supportsRate(const AVCodec* codec, int rate) {
    if (codec->supported_samplerates == nullptr) {
        return true;
    }
    for (const int* r = codec->supported_samplerates; *r != 0; ++r) {
        if (*r == rate) {
            return true;
        }
    }
    return false;
}

// The input's channel layout where the encoder takes it, stereo (or mono) otherwise.
AVChannelLayout chooseLayout(const AVCodec* codec, const AVChannelLayout& input) {
    AVChannelLayout chosen{};
    if (codec->ch_layouts != nullptr) {
        for (const AVChannelLayout* l = codec->ch_layouts; l->nb_channels != 0; ++l) {
            if (av_channel_layout_compare(l, &input) == 0) {
                av_channel_layout_copy(&chosen, &input);
                return chosen;
            }
        }
        av_channel_layout_default(&chosen, input.nb_channels == 1 ? 1 : 2);
        return chosen;
    }
    av_channel_layout_copy(&chosen, &input);
    return chosen;
}

} // namespace

std::unique_ptr<AudioTranscoder> AudioTranscoder::create(const AVStream* input, AVStream* output,
                                                         bool globalHeader, std::string* error) {
    std::unique_ptr<AudioTranscoder> t(new AudioTranscoder);
    t->m_decoded = av_frame_alloc();
    t->m_toEncode = av_frame_alloc();
    t->m_encoded = av_packet_alloc();
    if (t->m_decoded == nullptr || t->m_toEncode == nullptr || t->m_encoded == nullptr) {
        setError(error, "out of memory");
        return nullptr;
    }
    if (!t->openDecoder(input, error) || !t->openEncoder(globalHeader, error)) {
        return nullptr;
    }
    if (avcodec_parameters_from_context(output->codecpar, t->m_encoder) < 0) {
        setError(error, "out of memory");
        return nullptr;
    }
    output->time_base = t->m_encoder->time_base;
    t->m_fifo = av_audio_fifo_alloc(t->m_encoder->sample_fmt, t->m_encoder->ch_layout.nb_channels,
                                    t->m_encoder->frame_size > 0 ? t->m_encoder->frame_size : 1024);
    if (t->m_fifo == nullptr) {
        setError(error, "out of memory");
        return nullptr;
    }
    return t;
}

AudioTranscoder::~AudioTranscoder() {
    avcodec_free_context(&m_decoder);
    avcodec_free_context(&m_encoder);
    swr_free(&m_resampler);
    if (m_fifo != nullptr) {
        av_audio_fifo_free(m_fifo);
    }
    av_frame_free(&m_decoded);
    av_frame_free(&m_toEncode);
    av_packet_free(&m_encoded);
}

bool AudioTranscoder::openDecoder(const AVStream* input, std::string* error) {
    const AVCodec* codec = avcodec_find_decoder(input->codecpar->codec_id);
    if (codec == nullptr) {
        setError(error, std::string("no decoder for the sound codec ") +
                            avcodec_get_name(input->codecpar->codec_id));
        return false;
    }
    m_decoder = avcodec_alloc_context3(codec);
    if (m_decoder == nullptr || avcodec_parameters_to_context(m_decoder, input->codecpar) < 0) {
        setError(error, "out of memory");
        return false;
    }
    m_decoder->pkt_timebase = input->time_base;
    const int opened = avcodec_open2(m_decoder, codec, nullptr);
    if (opened < 0) {
        setError(error, "cannot open the sound decoder: " + LibavError::text(opened));
        return false;
    }
    return true;
}

bool AudioTranscoder::openEncoder(bool globalHeader, std::string* error) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (codec == nullptr) {
        setError(error, "the AAC encoder is not available in this libavcodec");
        return false;
    }
    m_encoder = avcodec_alloc_context3(codec);
    if (m_encoder == nullptr) {
        setError(error, "out of memory");
        return false;
    }
    const int rate = m_decoder->sample_rate;
    m_encoder->sample_rate = rate > 0 && supportsRate(codec, rate) ? rate : kFallbackRate;
    m_encoder->ch_layout = chooseLayout(codec, m_decoder->ch_layout);
    m_encoder->sample_fmt =
        codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    m_encoder->bit_rate = kBitsPerChannel * m_encoder->ch_layout.nb_channels;
    m_encoder->time_base = AVRational{1, m_encoder->sample_rate};
    if (globalHeader) {
        m_encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    const int opened = avcodec_open2(m_encoder, codec, nullptr);
    if (opened < 0) {
        setError(error, "cannot open the sound encoder: " + LibavError::text(opened));
        return false;
    }
    return true;
}

bool AudioTranscoder::resample(const AVFrame* decoded, std::string* error) {
    if (m_resampler == nullptr) {
        const int made = swr_alloc_set_opts2(
            &m_resampler, &m_encoder->ch_layout, m_encoder->sample_fmt, m_encoder->sample_rate,
            const_cast<AVChannelLayout*>(&decoded->ch_layout),
            static_cast<AVSampleFormat>(decoded->format), decoded->sample_rate, 0, nullptr);
        if (made < 0 || swr_init(m_resampler) < 0) {
            setError(error, "cannot resample the sound");
            return false;
        }
    }
    if (!m_havePts && decoded->pts != AV_NOPTS_VALUE) {
        m_nextPts = av_rescale_q(decoded->pts, m_decoder->pkt_timebase, m_encoder->time_base);
        m_havePts = true;
    }
    const int room = swr_get_out_samples(m_resampler, decoded->nb_samples);
    AVFrame* out = av_frame_alloc();
    if (out == nullptr) {
        setError(error, "out of memory");
        return false;
    }
    out->format = m_encoder->sample_fmt;
    out->sample_rate = m_encoder->sample_rate;
    out->nb_samples = room > 0 ? room : 1;
    bool ok = av_channel_layout_copy(&out->ch_layout, &m_encoder->ch_layout) >= 0 &&
              av_frame_get_buffer(out, 0) >= 0;
    int converted = 0;
    if (ok) {
        converted =
            swr_convert(m_resampler, out->data, out->nb_samples,
                        const_cast<const uint8_t**>(decoded->extended_data), decoded->nb_samples);
        ok = converted >= 0 && av_audio_fifo_write(m_fifo, reinterpret_cast<void**>(out->data),
                                                   converted) == converted;
    }
    av_frame_free(&out);
    if (!ok) {
        setError(error, "cannot resample the sound");
    }
    return ok;
}

bool AudioTranscoder::drain(const Write& write, std::string* error) {
    for (;;) {
        const int received = avcodec_receive_packet(m_encoder, m_encoded);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
            return true;
        }
        if (received < 0) {
            setError(error, "cannot encode the sound: " + LibavError::text(received));
            return false;
        }
        const bool written = write(m_encoded, error);
        av_packet_unref(m_encoded);
        if (!written) {
            return false;
        }
    }
}

bool AudioTranscoder::encodeFrames(bool flush, const Write& write, std::string* error) {
    const int size = m_encoder->frame_size > 0 ? m_encoder->frame_size : 1024;
    while (av_audio_fifo_size(m_fifo) >= size || (flush && av_audio_fifo_size(m_fifo) > 0)) {
        const int count = std::min(size, av_audio_fifo_size(m_fifo));
        av_frame_unref(m_toEncode);
        m_toEncode->nb_samples = count;
        m_toEncode->format = m_encoder->sample_fmt;
        m_toEncode->sample_rate = m_encoder->sample_rate;
        if (av_channel_layout_copy(&m_toEncode->ch_layout, &m_encoder->ch_layout) < 0 ||
            av_frame_get_buffer(m_toEncode, 0) < 0 ||
            av_audio_fifo_read(m_fifo, reinterpret_cast<void**>(m_toEncode->data), count) !=
                count) {
            setError(error, "out of memory");
            return false;
        }
        m_toEncode->pts = m_nextPts;
        m_nextPts += count;
        const int sent = avcodec_send_frame(m_encoder, m_toEncode);
        if (sent < 0) {
            setError(error, "cannot encode the sound: " + LibavError::text(sent));
            return false;
        }
        if (!drain(write, error)) {
            return false;
        }
    }
    if (flush) {
        avcodec_send_frame(m_encoder, nullptr);
        return drain(write, error);
    }
    return true;
}

bool AudioTranscoder::send(const AVPacket* packet, const Write& write, std::string* error) {
    const int sent = avcodec_send_packet(m_decoder, packet);
    if (sent < 0 && sent != AVERROR_INVALIDDATA && sent != AVERROR_EOF) {
        setError(error, "cannot decode the sound: " + LibavError::text(sent));
        return false;
    }
    for (;;) {
        const int received = avcodec_receive_frame(m_decoder, m_decoded);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
            break;
        }
        if (received == AVERROR_INVALIDDATA) {
            continue;
        }
        if (received < 0) {
            setError(error, "cannot decode the sound: " + LibavError::text(received));
            return false;
        }
        const bool ok = resample(m_decoded, error);
        av_frame_unref(m_decoded);
        if (!ok) {
            return false;
        }
    }
    return encodeFrames(packet == nullptr, write, error);
}

} // namespace lumenarc
