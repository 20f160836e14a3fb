// The program's clock: a counter raised by 1 every 10 ms by Allegro's timer thread.
#pragma once

#include <atomic>
#include <cstdint>

extern std::atomic<int32_t> ticks;

// Installs Allegro's timer, sets ticks to 0 and starts tick_handler every 10 ms.
void install_ticks();
void tick_handler();
// The current tick count, read afresh on every call.
int32_t get_ticks();
