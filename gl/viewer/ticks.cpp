#include "orj/gl/viewer/ticks.h"

#include <allegro.h>

#include <atomic>

namespace orj {

static std::atomic<int32_t> ticks{0};

void tick_handler() { ticks.fetch_add(1, std::memory_order_relaxed); }
END_OF_FUNCTION(tick_handler)

void install_ticks()
{
    install_timer();
    ticks.store(0, std::memory_order_relaxed);
    LOCK_VARIABLE(ticks);
    LOCK_FUNCTION(tick_handler);
    install_int(tick_handler, 10);
}

int32_t get_ticks() { return ticks.load(std::memory_order_relaxed); }

}  // namespace orj
