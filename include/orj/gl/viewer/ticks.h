/// @file
/// The program's clock: a counter raised by 1 every 10 ms by Allegro's timer thread.
#pragma once

#include <cstdint>

namespace orj {

/// Installs Allegro's timer, sets the count to 0 and starts tick_handler every
/// 10 ms. The count is the process's one clock: Allegro's timer callbacks take
/// no argument, so it cannot live in a record of the caller's.
void install_ticks();
/// Adds one to the count; Allegro's timer thread calls it.
void tick_handler();
/// The current tick count, read afresh on every call.
int32_t get_ticks();

}  // namespace orj
