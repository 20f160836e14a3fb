#include "orj/core/viewer/record_name.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace orj {

static const int MAX_FIELD_WIDTH = 20;

// Appends the pattern's text with number in place of its field to *out;
// false when the pattern breaks the rules above.
static bool expand(const char *pattern, int32_t number, std::string *out)
{
    int fields = 0;
    for (const char *p = pattern; *p; p++) {
        if (*p != '%') {
            out->push_back(*p);
            continue;
        }
        p++;
        if (*p == '%') {
            out->push_back('%');
            continue;
        }
        bool zeros = *p == '0';
        if (zeros) p++;
        int width = 0;
        while (*p >= '0' && *p <= '9') {
            width = width * 10 + (*p - '0');
            if (width > MAX_FIELD_WIDTH) return false;
            p++;
        }
        if (*p != 'd') return false;
        char digits[32];
        snprintf(digits, sizeof digits, zeros ? "%0*d" : "%*d", width, (int)number);
        out->append(digits);
        fields++;
    }
    return fields == 1;
}

bool check_record_pattern(const char *pattern)
{
    std::string name;
    return pattern && expand(pattern, 0, &name);
}

bool record_file_name(const char *pattern, int32_t number, char *buffer, size_t size)
{
    std::string name;
    if (!pattern || !expand(pattern, number, &name) || name.size() + 1 > size) return false;
    memcpy(buffer, name.c_str(), name.size() + 1);
    return true;
}

}  // namespace orj
