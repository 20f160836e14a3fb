#include "orj/gl/display/message.h"

#include <allegro.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orj {

bool messages_to_stderr()
{
    const char *value = getenv(MESSAGE_ENV_VAR);
    return value && strcmp(value, "stderr") == 0;
}

void show_message(const char *format, ...)
{
    char text[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);

    if (messages_to_stderr()) {
        size_t length = strlen(text);
        fputs(text, stderr);
        if (length == 0 || text[length - 1] != '\n') fputc('\n', stderr);
        fflush(stderr);
        return;
    }
    allegro_message("%s", text);
}

}  // namespace orj
