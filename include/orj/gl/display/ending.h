/// @file
/// How a window program's frame loop learns that it is to end: Esc or A
/// pressed (however briefly: a tap that begins and ends between two looks
/// counts), a close request from the window manager (the window's close
/// button), or SIGINT or SIGTERM noted by signals.h.
#pragma once

namespace orj {

/// What asks a window program to end.
enum EndRequest {
    END_NONE,          ///< nothing: the loop goes on
    END_KEY,           ///< Esc or A
    END_CLOSE_BUTTON,  ///< the window manager asked the window to close
    END_SIGNAL,        ///< SIGINT or SIGTERM; signal_ending_received() says which
};

/// Follows Esc and A (a latch set from Allegro's low-level keyboard callback,
/// on its input thread) and the close button (Allegro ignores close requests
/// until a callback is set), and forgets earlier requests. init_display calls
/// it once Allegro has started, before the window opens, so nothing a person
/// does at the window is missed.
void follow_ending_requests();

/// What asks the loop to end, or END_NONE; once something has asked, it goes
/// on answering so.
EndRequest ending_requested();

}  // namespace orj
