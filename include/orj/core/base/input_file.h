/// @file
/// Opening a file the user handed in: only a regular file, never waiting on a
/// FIFO or a device, and never larger than the caller can take.
#pragma once

#include <cstdint>
#include <cstdio>

#include "orj/core/base/error.h"

namespace orj {

/// Opens path for reading. Refuses a directory ("is a directory"), anything
/// else that is not a regular file ("not a regular file": FIFOs, devices,
/// sockets) and a file over max_bytes (ERROR_TOO_LARGE). On success *fd is an
/// open descriptor (blocking), which the caller closes, and *size the file's
/// size in bytes. ERROR_CANNOT_OPEN for what cannot be opened or is refused.
ErrorKind open_input_file(const char *path, int64_t max_bytes, int *fd, int64_t *size, Error *error);

/// The same as a stdio stream opened "rb"; the caller closes it with fclose.
ErrorKind open_input_stream(const char *path, int64_t max_bytes, FILE **stream, Error *error);

}  // namespace orj
