#include "core/sprites/frame_name.h"

#include <cstring>

bool next_frame_name(char *name)
{
    size_t length = name ? strlen(name) : 0;
    if (length < 4) return false;
    char *digit = name + length - 1;
    // The three lower places carry; the fourth-last is raised without a test.
    for (int place = 0; place < 3; place++, digit--) {
        if (*digit != '9') {
            (*digit)++;
            return true;
        }
        *digit = '0';
    }
    (*digit)++;
    return true;
}
