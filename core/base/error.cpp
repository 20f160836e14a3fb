#include "orj/core/base/error.h"

#include <cstdarg>
#include <cstdio>

namespace orj {

ErrorKind set_error(Error *error, ErrorKind kind, const char *path, int line, const char *format, ...)
{
    if (!error) return kind;
    char what[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(what, sizeof what, format, args);
    va_end(args);
    error->kind = kind;
    error->path = path ? path : "";
    error->line = line;
    if (!path || !*path) {
        error->message = what;
    } else if (line > 0) {
        error->message = error->path + ":" + std::to_string(line) + ": " + what;
    } else {
        error->message = error->path + ": " + what;
    }
    return kind;
}

const char *error_kind_name(ErrorKind kind)
{
    switch (kind) {
    case ERROR_NONE:
        return "no error";
    case ERROR_CANNOT_OPEN:
        return "cannot open";
    case ERROR_CANNOT_WRITE:
        return "cannot write";
    case ERROR_MALFORMED:
        return "malformed";
    case ERROR_TOO_LARGE:
        return "too large";
    case ERROR_UNSUPPORTED:
        return "unsupported";
    case ERROR_REFUSED:
        return "refused";
    case ERROR_OUT_OF_MEMORY:
        return "out of memory";
    }
    return "unknown error";
}

}  // namespace orj
