// Frames: GIF animation on a one-shot timer per frame, whose interval is the frame's own
// delay.
#include "imaging/image_props.h"
#include "viewer/viewer_p.h"

using State = LumViewer::State;

namespace {

void animation_timer_proc(HWND window, UINT, UINT_PTR id, DWORD) {
    auto* s = reinterpret_cast<State*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (s && UINT_PTR(s) == id && !s->terminated) s->AnimationTick();
}

}  // namespace

void State::KillAnimationTimer() {
    if (animation_timer) KillTimer(window, animation_timer);
    animation_timer = 0;
}

void State::AnimationTick() {
    KillAnimationTimer();  // every timer fires once
    if (loop_counter == 0) return;
    current_page = next_frame;
    if (!animation) return;
    if (display_copy) {
        ReleaseDisplayCopy();
        ReadImageInfo(current);
        LayoutImage(current);
    }
    // The first frame is selected before the image was ever laid out: nothing to paint yet.
    if (modGdiplus::SelectFrame(current, next_frame - 1) == 0 && displayed_width > 0) PaintImage();
    size_t index = size_t(next_frame - 1);
    UINT delay = index < frame_delays.size() ? UINT(frame_delays[index]) : 100;
    animation_timer = SetTimer(window, UINT_PTR(this), delay, &animation_timer_proc);
    if (++next_frame > num_pages) {
        next_frame = 1;
        if (loop_counter > 0) --loop_counter;
    }
}

int32_t LumViewer::GetTotalFrame() {
    return m->num_pages;
}

int32_t LumViewer::PlayGif() {
    if (m->last_status == 0 && m->animation) {
        m->KillAnimationTimer();
        m->loop_counter = -1;
        m->next_frame = 1;
        m->AnimationTick();
        m->menu.enable("mnstopgif", true);
        m->menu.enable("mnplaygif", false);
    }
    return m->last_status;
}

void LumViewer::StopGif() {
    m->KillAnimationTimer();
    m->menu.enable("mnstopgif", false);
    if (m->animation) m->menu.enable("mnplaygif", true);
}
