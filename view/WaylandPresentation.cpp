#include "view/WaylandPresentation.h"

#include "presentation-time-client-protocol.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <wayland-client.h>

namespace lumenarc {

struct WaylandPresentation::Request {
    WaylandPresentation* owner;
    uint64_t token;
    struct wp_presentation_feedback* feedback;
};

namespace {

struct Binding {
    WaylandPresentation* self = nullptr;
    wp_presentation* presentation = nullptr;
    wl_registry* registry = nullptr;
};

void onClockId(void* data, wp_presentation*, uint32_t clockId) {
    static_cast<WaylandPresentation*>(data)->setClockId(clockId);
}

const wp_presentation_listener presentationListener{onClockId};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* binding = static_cast<Binding*>(data);
    if (binding->presentation == nullptr &&
        std::strcmp(interface, wp_presentation_interface.name) == 0) {
        binding->presentation = static_cast<wp_presentation*>(
            wl_registry_bind(registry, name, &wp_presentation_interface, 1));
        // At once: the compositor names its clock as the object is bound.
        wp_presentation_add_listener(binding->presentation, &presentationListener, binding->self);
    }
}

void onGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener{onGlobal, onGlobalRemove};

void onSyncOutput(void*, struct wp_presentation_feedback*, wl_output*) {}

void onPresented(void* data, struct wp_presentation_feedback*, uint32_t secondsHigh,
                 uint32_t secondsLow, uint32_t nanoseconds, uint32_t refresh, uint32_t mscHigh,
                 uint32_t mscLow, uint32_t) {
    auto* request = static_cast<WaylandPresentation::Request*>(data);
    WaylandPresentation::Feedback feedback;
    feedback.token = request->token;
    feedback.shown = true;
    const uint64_t seconds = (uint64_t{secondsHigh} << 32) | secondsLow;
    feedback.instant = static_cast<int64_t>(seconds) * 1'000'000'000 + nanoseconds;
    feedback.msc = (uint64_t{mscHigh} << 32) | mscLow;
    feedback.refresh = refresh;
    request->owner->finished(request, feedback);
}

void onDiscarded(void* data, struct wp_presentation_feedback*) {
    auto* request = static_cast<WaylandPresentation::Request*>(data);
    WaylandPresentation::Feedback feedback;
    feedback.token = request->token;
    request->owner->finished(request, feedback);
}

const wp_presentation_feedback_listener feedbackListener{onSyncOutput, onPresented, onDiscarded};

void onFrameDone(void* data, wl_callback*, uint32_t) {
    static_cast<WaylandPresentation*>(data)->frameDone();
}

const wl_callback_listener frameListener{onFrameDone};

int64_t monotonicNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

} // namespace

std::unique_ptr<WaylandPresentation> WaylandPresentation::create(wl_display* display,
                                                                 wl_surface* surface) {
    if (display == nullptr || surface == nullptr) {
        return nullptr;
    }
    wl_event_queue* queue = wl_display_create_queue(display);
    if (queue == nullptr) {
        return nullptr;
    }
    std::unique_ptr<WaylandPresentation> self(new WaylandPresentation(display, surface, queue));
    // The registry is asked on our own queue, so that its answers never reach the toolkit's.
    auto* wrapped = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapped), queue);
    Binding binding;
    binding.self = self.get();
    binding.registry = wl_display_get_registry(wrapped);
    wl_proxy_wrapper_destroy(wrapped);
    wl_registry_add_listener(binding.registry, &registryListener, &binding);
    wl_display_roundtrip_queue(display, queue);
    wl_registry_destroy(binding.registry);
    if (binding.presentation == nullptr) {
        return nullptr;
    }
    self->m_presentation = binding.presentation;
    self->m_surfaceOnQueue = static_cast<wl_surface*>(wl_proxy_create_wrapper(surface));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(self->m_surfaceOnQueue), queue);
    wl_display_roundtrip_queue(display, queue); // the clock's name, should it come late
    return self;
}

WaylandPresentation::WaylandPresentation(wl_display* display, wl_surface* surface,
                                         wl_event_queue* queue)
    : m_display(display), m_surface(surface), m_queue(queue) {}

WaylandPresentation::~WaylandPresentation() {
    for (const auto& request : m_pending) {
        wp_presentation_feedback_destroy(request->feedback);
    }
    m_pending.clear();
    if (m_frame != nullptr) {
        wl_callback_destroy(m_frame);
    }
    if (m_surfaceOnQueue != nullptr) {
        wl_proxy_wrapper_destroy(m_surfaceOnQueue);
    }
    if (m_presentation != nullptr) {
        wp_presentation_destroy(m_presentation);
    }
    wl_display_flush(m_display);
    wl_event_queue_destroy(m_queue);
}

void WaylandPresentation::request(uint64_t token) {
    if (m_pending.size() >= kMaxPending) {
        // A compositor that stopped answering (a window hidden for good): the oldest goes.
        wp_presentation_feedback_destroy(m_pending.front()->feedback);
        m_pending.erase(m_pending.begin());
    }
    auto request = std::make_unique<Request>(Request{this, token, nullptr});
    request->feedback = wp_presentation_feedback(m_presentation, m_surface);
    wp_presentation_feedback_add_listener(request->feedback, &feedbackListener, request.get());
    m_pending.push_back(std::move(request));
}

void WaylandPresentation::finished(Request* request, const Feedback& feedback) {
    m_done.push_back(feedback);
    wp_presentation_feedback_destroy(request->feedback);
    const auto it = std::find_if(m_pending.begin(), m_pending.end(),
                                 [request](const auto& held) { return held.get() == request; });
    if (it != m_pending.end()) {
        m_pending.erase(it);
    }
}

void WaylandPresentation::requestFrame() {
    if (m_frame != nullptr) {
        wl_callback_destroy(m_frame); // the one before never came; this one counts
    }
    m_frame = wl_surface_frame(m_surfaceOnQueue);
    wl_callback_add_listener(m_frame, &frameListener, this);
}

void WaylandPresentation::frameDone() {
    wl_callback_destroy(m_frame);
    m_frame = nullptr;
    m_framesCome = true;
}

bool WaylandPresentation::waitForFrame(int64_t timeout) {
    readEvents();
    if (m_frame == nullptr) {
        return true;
    }
    if (!m_framesCome) {
        return false;
    }
    const int64_t deadline = monotonicNow() + timeout;
    for (int64_t left = timeout; m_frame != nullptr && left > 0; left = deadline - monotonicNow()) {
        readEvents(left);
    }
    m_framesCome = m_frame == nullptr;
    return m_framesCome;
}

void WaylandPresentation::readEvents(int64_t timeout) {
    // The documented way for a thread to read a queue of its own beside other readers: prepare,
    // read what is there without waiting, dispatch only this queue.
    while (wl_display_prepare_read_queue(m_display, m_queue) != 0) {
        wl_display_dispatch_queue_pending(m_display, m_queue);
    }
    wl_display_flush(m_display);
    pollfd readable{wl_display_get_fd(m_display), POLLIN, 0};
    const int milliseconds = static_cast<int>((timeout + 999'999) / 1'000'000);
    if (poll(&readable, 1, milliseconds) > 0 && (readable.revents & POLLIN) != 0) {
        wl_display_read_events(m_display);
    } else {
        wl_display_cancel_read(m_display);
    }
    wl_display_dispatch_queue_pending(m_display, m_queue);
}

void WaylandPresentation::collect(std::vector<Feedback>& out) {
    readEvents();
    out.insert(out.end(), m_done.begin(), m_done.end());
    m_done.clear();
}

} // namespace lumenarc
