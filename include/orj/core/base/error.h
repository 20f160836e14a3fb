/// @file
/// The engine's one error convention.
///
/// A function that can fail returns an ErrorKind (ERROR_NONE on success) and,
/// when given an Error, fills it: the kind, the file it is about, the line
/// (1-based, 0 when none) and the whole message a person reads, in one of the
/// forms "PATH:LINE: what was wrong" or "PATH: what was wrong".
#pragma once

#include <string>

namespace orj {

/// What went wrong, for a caller that acts on it; the message says it to a person.
enum ErrorKind {
    ERROR_NONE = 0,       ///< success
    ERROR_CANNOT_OPEN,    ///< missing, unreadable, or not a regular file
    ERROR_CANNOT_WRITE,   ///< the output could not be written or put in place
    ERROR_MALFORMED,      ///< the content breaks its format
    ERROR_TOO_LARGE,      ///< over one of the engine's limits
    ERROR_UNSUPPORTED,    ///< a valid file of a kind or variant the engine does not take
    ERROR_REFUSED,        ///< a request the engine will not carry out (say, an output that is also an input)
    ERROR_OUT_OF_MEMORY,  ///< an allocation failed
};

/// A failure's description, filled by the function that failed (set_error).
/// The caller owns it; a function given a null Error only returns the kind.
struct Error {
    ErrorKind kind = ERROR_NONE;  ///< ERROR_NONE until a failure fills it
    std::string path;             ///< the file the message is about; empty when none
    int line = 0;                 ///< 1-based line in path; 0 when none
    std::string message;          ///< "PATH:LINE: what" or "PATH: what" (or "what" when there is no path)
};

/// Fills error (when not null) and returns kind. format is printf-style and
/// says what was wrong; the path and line are put in front of it.
ErrorKind set_error(Error *error, ErrorKind kind, const char *path, int line, const char *format, ...)
    __attribute__((format(printf, 5, 6)));

/// A short lower-case name of the kind ("malformed", "too large", ...).
const char *error_kind_name(ErrorKind kind);

}  // namespace orj
