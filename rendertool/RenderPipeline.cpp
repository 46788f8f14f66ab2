#include "rendertool/RenderPipeline.h"

#include "rendertool/FrameClock.h"
#include "rendertool/MovieReader.h"
#include "rendertool/MovieWriter.h"
#include "rendertool/OutputConverter.h"
#include "rendertool/PlanarInput.h"
#include "rendertool/ProgressLine.h"
#include "rendertool/ReadbackRing.h"
#include "rendertool/RgbaConverter.h"
#include "rendertool/StopSignal.h"
#include "warp/MeshWarper.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <optional>
#include <thread>

namespace lumenarc {
namespace {

// A blank picture in the encoder's format and size.
AVFrame* encoderPicture(AVPixelFormat format, int width, int height) {
    AVFrame* frame = av_frame_alloc();
    if (frame == nullptr) {
        return nullptr;
    }
    frame->format = format;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame, 0) < 0) {
        av_frame_free(&frame);
    }
    return frame;
}

} // namespace

RenderPipeline::RenderPipeline(const Parts& parts, const TimeWindow& window)
    : m_parts(parts), m_window(window), m_inputStride(RgbaConverter::rowStride(parts.frameWidth)),
      m_freeInputs(kInputBuffers), m_decoded(kInputBuffers),
      m_freeSlots(static_cast<size_t>(parts.ring->slots())),
      m_drawn(static_cast<size_t>(parts.ring->slots())) {
    const size_t bytes = static_cast<size_t>(m_inputStride) * parts.frameHeight;
    const auto never = [] { return false; };
    for (int k = 0; k < kInputBuffers; ++k) {
        if (parts.planar) {
            m_frameInputs.emplace_back(av_frame_alloc());
        } else {
            m_inputs.emplace_back(static_cast<uint8_t*>(av_malloc(bytes)));
        }
        m_freeInputs.push(k, never);
    }
    for (int k = 0; k < parts.ring->slots(); ++k) {
        m_freeSlots.push(k, never);
        if (parts.planar) {
            m_frameSlots.emplace_back(
                encoderPicture(parts.writer->pixelFormat(), parts.outWidth, parts.outHeight));
        } else if (parts.processorOnly) {
            m_pictures.emplace_back(static_cast<uint8_t*>(
                av_malloc(static_cast<size_t>(parts.outStride) * parts.outHeight)));
        }
    }
}

const uint8_t* RenderPipeline::slotPixels(int slot) const {
    return m_parts.processorOnly ? m_pictures[static_cast<size_t>(slot)].get()
                                 : m_parts.ring->pixels(slot);
}

void RenderPipeline::FreeBuffer::operator()(uint8_t* p) const {
    av_free(p);
}

void RenderPipeline::FreeFrame::operator()(AVFrame* frame) const {
    av_frame_free(&frame);
}

void RenderPipeline::fail(const std::string& message) {
    std::lock_guard lock(m_errorLock);
    if (!m_failed.exchange(true)) {
        m_error = message;
    }
}

bool RenderPipeline::stopping() const {
    return m_failed.load() || StopSignal::requested();
}

bool RenderPipeline::run(std::string* error) {
    const auto missing = [](const auto& buffers) {
        return std::any_of(buffers.begin(), buffers.end(), [](const auto& b) { return !b; });
    };
    if (missing(m_inputs) || missing(m_pictures) || missing(m_frameInputs) ||
        missing(m_frameSlots)) {
        *error = "out of memory";
        return false;
    }
    std::thread reader([this] { readLoop(); });
    std::thread encoder([this] { encodeLoop(); });
    drawLoop();
    reader.join();
    encoder.join();
    if (m_failed.load()) {
        std::lock_guard lock(m_errorLock);
        *error = m_error;
        return false;
    }
    return true;
}

// ---- reader thread ---------------------------------------------------------------------

bool RenderPipeline::handleFrame(AVFrame* frame, FrameClock& clock, const Fill& fill,
                                 bool& videoDone) {
    const AVRational timeBase = m_parts.reader->videoStream()->time_base;
    const int64_t stamp = frame->best_effort_timestamp;
    const int64_t pts =
        clock.next(stamp != AV_NOPTS_VALUE ? std::optional<int64_t>(stamp) : std::nullopt,
                   frame->pkt_duration);
    const auto place = m_window.place(pts, timeBase);
    if (place == TimeWindow::Place::After) {
        videoDone = true;
    }
    if (place != TimeWindow::Place::Inside || videoDone) {
        return true;
    }
    const auto stop = [this] { return stopping(); };
    const auto buffer = m_freeInputs.pop(stop);
    if (!buffer) {
        return false;
    }
    const int64_t duration = frame->pkt_duration; // the planar fill may take the frame over
    if (!fill(frame, *buffer)) {
        fail(m_parts.planar ? "cannot convert a video frame for the warp"
                            : "cannot convert a video frame to RGB");
        return false;
    }
    return m_decoded.push(Decoded{*buffer, m_window.shift(pts, timeBase), duration}, stop);
}

bool RenderPipeline::handlePacket(AVPacket* packet, std::vector<int>& audioOpen) {
    const int index = packet->stream_index;
    if (!m_parts.audio || std::find(audioOpen.begin(), audioOpen.end(), index) == audioOpen.end()) {
        return true;
    }
    const AVRational timeBase = m_parts.reader->format()->streams[index]->time_base;
    const int64_t ts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    if (ts != AV_NOPTS_VALUE) {
        const auto place = m_window.place(ts, timeBase);
        if (place == TimeWindow::Place::After) {
            audioOpen.erase(std::find(audioOpen.begin(), audioOpen.end(), index));
        }
        if (place != TimeWindow::Place::Inside) {
            return true;
        }
    }
    if (packet->pts != AV_NOPTS_VALUE) {
        packet->pts = m_window.shift(packet->pts, timeBase);
    }
    if (packet->dts != AV_NOPTS_VALUE) {
        packet->dts = m_window.shift(packet->dts, timeBase);
    }
    std::string error;
    if (!m_parts.writer->writeAudio(index, packet, &error)) {
        fail(error);
        return false;
    }
    return true;
}

void RenderPipeline::readLoop() {
    MovieReader& reader = *m_parts.reader;
    RgbaConverter rgba(m_parts.frameWidth, m_parts.frameHeight);
    PlanarInput planar(m_parts.frameWidth, m_parts.frameHeight, m_parts.frameFormat,
                       m_parts.writer->pixelFormat(), m_parts.writer->colour());
    const Fill fill = [&](AVFrame* frame, int buffer) {
        const auto k = static_cast<size_t>(buffer);
        return m_parts.planar ? planar.take(frame, m_frameInputs[k].get())
                              : rgba.convert(frame, m_inputs[k].get(), m_inputStride);
    };
    if (m_window.begin() > reader.videoOrigin()) {
        reader.seek(m_window.begin()); // on failure the frames before the cut are decoded
    }
    std::vector<int> audioOpen;
    for (unsigned k = 0; k < reader.format()->nb_streams; ++k) {
        if (m_parts.writer->hasAudio(static_cast<int>(k))) {
            audioOpen.push_back(static_cast<int>(k));
        }
    }
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    FrameClock clock;
    bool videoDone = false;
    std::string error;
    while (frame != nullptr && packet != nullptr && !stopping()) {
        const auto next = reader.next(frame, packet, &error);
        bool ok = true;
        if (next == MovieReader::Next::Frame) {
            ok = handleFrame(frame, clock, fill, videoDone);
            av_frame_unref(frame);
        } else if (next == MovieReader::Next::Packet) {
            ok = handlePacket(packet, audioOpen);
            av_packet_unref(packet);
        } else {
            if (next == MovieReader::Next::Error && !stopping()) {
                fail(error);
            }
            break;
        }
        // Past the cut, read on only for the sound that belongs before its end.
        if (!ok || (videoDone && (audioOpen.empty() || !m_parts.audio))) {
            break;
        }
    }
    if (frame == nullptr || packet == nullptr) {
        fail("out of memory");
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    m_decoded.close();
}

// ---- GL thread ---------------------------------------------------------------------------

void RenderPipeline::drawLoop() {
    const auto stop = [this] { return stopping(); };
    ReadbackRing& ring = *m_parts.ring;
    std::optional<Drawn> pending;
    // Hands the previous picture on once its read-back is complete, after the next one has
    // been started: drawing, reading back and encoding overlap.
    const auto handOn = [&]() -> bool {
        if (!pending) {
            return true;
        }
        if (!ring.wait(pending->slot)) {
            fail("reading back a drawn picture failed");
            return false;
        }
        const bool pushed = m_drawn.push(*pending, stop);
        pending.reset();
        return pushed;
    };
    while (auto item = m_decoded.pop(stop)) {
        const auto slot = m_freeSlots.pop(stop);
        if (!slot) {
            break;
        }
        if (m_parts.planar) {
            warpPlanes(item->buffer, *slot);
            m_freeInputs.push(item->buffer, stop);
            if (!m_drawn.push(Drawn{*slot, item->pts, item->duration}, stop)) {
                break;
            }
            continue;
        }
        const uint8_t* input = m_inputs[static_cast<size_t>(item->buffer)].get();
        if (m_parts.processorOnly) {
            m_parts.warper->warpInto(input, m_parts.frameWidth, m_parts.frameHeight, m_inputStride,
                                     m_pictures[static_cast<size_t>(*slot)].get(),
                                     m_parts.outStride);
            m_freeInputs.push(item->buffer, stop);
            if (!m_drawn.push(Drawn{*slot, item->pts, item->duration}, stop)) {
                break;
            }
            continue;
        }
        m_parts.warper->draw(input, m_parts.frameWidth, m_parts.frameHeight, m_inputStride);
        m_freeInputs.push(item->buffer, stop);
        ring.read(*slot);
        if (!handOn()) {
            break;
        }
        pending = Drawn{*slot, item->pts, item->duration};
    }
    if (!stopping()) {
        handOn();
    }
    m_drawn.close();
}

void RenderPipeline::warpPlanes(int buffer, int slot) {
    AVFrame* in = m_frameInputs[static_cast<size_t>(buffer)].get();
    AVFrame* out = m_frameSlots[static_cast<size_t>(slot)].get();
    auto picture = PlaneWarper::bottomFirst<PlaneWarper::Picture>(
        out->data, out->linesize, out->height, m_parts.chromaShiftY);
    picture.tenBits = m_parts.tenBits;
    m_parts.warper->warpPlanesInto(
        PlaneWarper::bottomFirst<PlaneWarper::Frame>(in->data, in->linesize, in->height,
                                                     m_parts.frameChromaShiftY),
        picture, m_parts.lumaBlack);
    av_frame_unref(in); // the decoder's buffer back to it
}

// ---- encoder thread ------------------------------------------------------------------------

void RenderPipeline::encodeLoop() {
    const auto stop = [this] { return stopping(); };
    MovieWriter& writer = *m_parts.writer;
    OutputConverter converter(m_parts.outWidth, m_parts.outHeight, writer.pixelFormat(),
                              writer.colour());
    if (!converter.valid()) {
        fail("cannot convert the drawn pictures for the encoder");
        return;
    }
    const double tick = av_q2d(m_parts.reader->videoStream()->time_base);
    std::string error;
    while (auto item = m_drawn.pop(stop)) {
        AVFrame* picture = writer.picture(&error);
        if (picture == nullptr) {
            fail(error);
            return;
        }
        const bool converted =
            m_parts.planar
                ? av_frame_copy(picture, m_frameSlots[static_cast<size_t>(item->slot)].get()) >= 0
                : converter.convert(slotPixels(item->slot), m_parts.outStride, picture);
        m_freeSlots.push(item->slot, stop);
        if (!converted) {
            fail("cannot convert a drawn picture for the encoder");
            return;
        }
        picture->pts = item->pts;
        picture->pkt_duration = item->duration;
        if (!writer.encode(picture, &error)) {
            fail(error);
            return;
        }
        m_lastSeconds = static_cast<double>(item->pts) * tick;
        m_parts.progress->update(++m_frames, m_lastSeconds.load());
    }
}

} // namespace lumenarc
