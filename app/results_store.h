// The history of benchmark runs: one SQLite file that every run of the
// benchmark grid adds a record to, read back by "orj bench history" and
// "orj bench compare". SQLite's own locking keeps concurrent writers apart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "orj/core/base/error.h"

struct sqlite3;

namespace orj {

struct ResultsStore {
    sqlite3 *db;
    std::string path;
};

// How long a writer waits for another one's lock before giving up.
const int RESULTS_BUSY_TIMEOUT_MS = 10000;

// Where the history lives unless the user names a file:
// $XDG_DATA_HOME/orj/results.sqlite ($HOME/.local/share when that is unset
// or not absolute), %APPDATA%\orj\results.sqlite on Windows. False when
// neither variable says.
bool default_results_path(std::string *path);

// The default place and, when default_results_path is false, why: for messages.
#ifdef _WIN32
#define RESULTS_DEFAULT_PLACE "%APPDATA%\\orj\\results.sqlite"
#define RESULTS_PLACE_UNKNOWN "APPDATA is not set"
#else
#define RESULTS_DEFAULT_PLACE                                                                                          \
    "$XDG_DATA_HOME/orj/results.sqlite, ~/.local/share/orj/results.sqlite when that is not set"
#define RESULTS_PLACE_UNKNOWN "neither XDG_DATA_HOME nor HOME is set"
#endif

// Opens the history at path. For writing, makes the file and its table when
// missing (and, with make_folders, the folders above it); for reading, a
// missing file is an error. Pair with results_close.
ErrorKind results_open(ResultsStore *store, const char *path, bool writing, bool make_folders, Error *error);
void results_close(ResultsStore *store);

// Adds a run from the viewer's JSON report; *id gets its number.
ErrorKind results_add(ResultsStore *store, const std::string &report_json, int64_t *id, Error *error);

// The runs with the given ids (all of them when ids is empty), oldest first,
// each as a JSON object with the report's field names and its "id". An id
// that is not there is an error.
ErrorKind results_read(ResultsStore *store, const std::vector<int64_t> &ids, std::string *json_array, Error *error);

}  // namespace orj
