#include "orj/gl/display/ending.h"

#include <allegro.h>

#include <atomic>

#include "orj/core/base/signals.h"

namespace orj {

// Set from Allegro's input and window threads, which hand their callbacks no
// pointer of the caller's: so they live here.
static std::atomic<bool> end_key_pressed(false);
static std::atomic<bool> close_requested(false);
static void (*callback_before)(int scancode) = nullptr;

static void on_key(int scancode)
{
    // A release arrives as the scancode with 0x80 set.
    if (scancode == KEY_ESC || scancode == KEY_A) end_key_pressed.store(true);
    if (callback_before) callback_before(scancode);
}

static void on_close_button() { close_requested.store(true); }

void follow_ending_requests()
{
    end_key_pressed.store(false);
    close_requested.store(false);
    if (keyboard_lowlevel_callback != on_key) {
        callback_before = keyboard_lowlevel_callback;
        keyboard_lowlevel_callback = on_key;
    }
    set_close_button_callback(on_close_button);
}

EndRequest ending_requested()
{
    if (signal_ending_received() != 0) return END_SIGNAL;
    if (close_requested.load()) return END_CLOSE_BUTTON;
    if (end_key_pressed.load() || key[KEY_ESC] || key[KEY_A]) return END_KEY;
    return END_NONE;
}

}  // namespace orj
