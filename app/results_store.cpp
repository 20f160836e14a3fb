#include "app/results_store.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

namespace orj {

enum ColumnKind {
    COLUMN_TEXT,
    COLUMN_INTEGER,
    COLUMN_REAL,
    COLUMN_JSON
};

struct Column {
    const char *name;  // the report's field name
    ColumnKind kind;
};

// A record: when, what drew it, how it was asked for, what it measured.
static const Column columns[] = {
    {"timestamp_utc", COLUMN_TEXT},
    {"engine_version", COLUMN_TEXT},
    {"renderer", COLUMN_TEXT},
    {"gl_version", COLUMN_TEXT},
    {"gl_vendor", COLUMN_TEXT},
    {"options", COLUMN_JSON},
    {"polygons", COLUMN_INTEGER},
    {"frames", COLUMN_INTEGER},
    {"seconds", COLUMN_REAL},
    {"polygons_per_second", COLUMN_REAL},
    {"copies", COLUMN_INTEGER},
    {"polygon_count", COLUMN_INTEGER},
    {"measured_polygons_per_second", COLUMN_REAL},
    {"settled", COLUMN_INTEGER},
    {"settled_at_seconds", COLUMN_REAL},
    {"windows", COLUMN_INTEGER},
    {"polygons_per_second_median", COLUMN_REAL},
    {"polygons_per_second_min", COLUMN_REAL},
    {"polygons_per_second_max", COLUMN_REAL},
    {"frames_per_second", COLUMN_REAL},
    {"frame_ms_median", COLUMN_REAL},
    {"frame_ms_p95", COLUMN_REAL},
    {"frame_ms_p99", COLUMN_REAL},
    {"frame_ms_max", COLUMN_REAL},
    {"window_samples", COLUMN_JSON},
};
static const int COLUMN_COUNT = (int)(sizeof columns / sizeof columns[0]);

// The file's layout, kept in SQLite's user_version.
static const int SCHEMA_VERSION = 1;

bool default_results_path(std::string *path)
{
#ifdef _WIN32
    const char *app_data = getenv("APPDATA");
    if (!app_data || !*app_data) return false;
    *path = std::string(app_data) + "\\orj\\results.sqlite";
    return true;
#else
    const char *data_home = getenv("XDG_DATA_HOME");
    if (data_home && data_home[0] == '/') {
        *path = std::string(data_home) + "/orj/results.sqlite";
        return true;
    }
    const char *home = getenv("HOME");
    if (!home || !*home) return false;
    *path = std::string(home) + "/.local/share/orj/results.sqlite";
    return true;
#endif
}

static ErrorKind sqlite_error(ResultsStore *store, const char *what, Error *error)
{
    return set_error(error, ERROR_CANNOT_WRITE, store->path.c_str(), 0, "%s: %s", what,
                     store->db ? sqlite3_errmsg(store->db) : "out of memory");
}

static std::string create_table_sql()
{
    static const char *types[] = {"TEXT NOT NULL", "INTEGER", "REAL", "TEXT NOT NULL"};
    std::string sql = "CREATE TABLE IF NOT EXISTS runs (id INTEGER PRIMARY KEY AUTOINCREMENT";
    for (const Column &column : columns) sql += std::string(", ") + column.name + " " + types[column.kind];
    return sql + ")";
}

// Makes the table in a file that has none; a file with a later layout is
// left alone.
static ErrorKind prepare_table(ResultsStore *store, Error *error)
{
    sqlite3_stmt *statement = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(store->db, "PRAGMA user_version", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        version = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    if (version < 0) return sqlite_error(store, "not a history of runs", error);
    if (version == SCHEMA_VERSION) return ERROR_NONE;
    if (version > SCHEMA_VERSION)
        return set_error(error, ERROR_UNSUPPORTED, store->path.c_str(), 0,
                         "the history was written by a later version of the engine (layout %d)", version);
    std::string sql = "BEGIN IMMEDIATE; " + create_table_sql() +
                      "; PRAGMA user_version = " + std::to_string(SCHEMA_VERSION) + "; COMMIT";
    if (sqlite3_exec(store->db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        ErrorKind kind = sqlite_error(store, "cannot keep runs", error);
        sqlite3_exec(store->db, "ROLLBACK", nullptr, nullptr, nullptr);
        return kind;
    }
    return ERROR_NONE;
}

ErrorKind results_open(ResultsStore *store, const char *path, bool writing, bool make_folders, Error *error)
{
    store->db = nullptr;
    store->path = path;
    if (writing && make_folders) {
        std::error_code failed;
        std::filesystem::create_directories(std::filesystem::u8path(path).parent_path(), failed);
        if (failed)
            return set_error(error, ERROR_CANNOT_WRITE, path, 0, "cannot make its folder: %s",
                             failed.message().c_str());
    }
    int flags = writing ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    if (sqlite3_open_v2(path, &store->db, flags, nullptr) != SQLITE_OK) {
        ErrorKind kind = writing
                             ? sqlite_error(store, "cannot open the history", error)
                             : set_error(error, ERROR_CANNOT_OPEN, path, 0, "no history of runs can be read here: %s",
                                         store->db ? sqlite3_errmsg(store->db) : "out of memory");
        results_close(store);
        return kind;
    }
    sqlite3_busy_timeout(store->db, RESULTS_BUSY_TIMEOUT_MS);
    ErrorKind kind = writing ? prepare_table(store, error) : ERROR_NONE;
    if (kind != ERROR_NONE) results_close(store);
    return kind;
}

void results_close(ResultsStore *store)
{
    if (store->db) sqlite3_close(store->db);
    store->db = nullptr;
}

static void bind_field(sqlite3_stmt *statement, int index, const Column &column, const nlohmann::json &value)
{
    if (column.kind == COLUMN_JSON) {
        std::string text = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        sqlite3_bind_text(statement, index, text.c_str(), (int)text.size(), SQLITE_TRANSIENT);
    } else if (value.is_string()) {
        const std::string &text = value.get_ref<const std::string &>();
        sqlite3_bind_text(statement, index, text.c_str(), (int)text.size(), SQLITE_TRANSIENT);
    } else if (value.is_boolean()) {
        sqlite3_bind_int(statement, index, value.get<bool>() ? 1 : 0);
    } else if (value.is_number_integer() && column.kind == COLUMN_INTEGER) {
        sqlite3_bind_int64(statement, index, value.get<int64_t>());
    } else if (value.is_number()) {
        sqlite3_bind_double(statement, index, value.get<double>());
    } else {
        sqlite3_bind_null(statement, index);
    }
}

ErrorKind results_add(ResultsStore *store, const std::string &report_json, int64_t *id, Error *error)
{
    nlohmann::json report = nlohmann::json::parse(report_json, nullptr, false);
    if (!report.is_object())
        return set_error(error, ERROR_MALFORMED, store->path.c_str(), 0, "a run's report is not JSON");
    std::string sql = "INSERT INTO runs (", values = ") VALUES (";
    for (int i = 0; i < COLUMN_COUNT; i++) {
        sql += std::string(i ? ", " : "") + columns[i].name;
        values += i ? ", ?" : "?";
    }
    sql += values + ")";
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(store->db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        return sqlite_error(store, "cannot keep the run", error);
    for (int i = 0; i < COLUMN_COUNT; i++) {
        const char *name = columns[i].name;
        if (columns[i].kind == COLUMN_TEXT || columns[i].kind == COLUMN_JSON)
            bind_field(statement, i + 1, columns[i], report.contains(name) ? report[name] : nlohmann::json(""));
        else bind_field(statement, i + 1, columns[i], report.contains(name) ? report[name] : nlohmann::json());
    }
    // One statement is one transaction: a writer holds the lock only for it.
    int status = sqlite3_step(statement);
    sqlite3_finalize(statement);
    if (status != SQLITE_DONE) return sqlite_error(store, "cannot keep the run", error);
    *id = sqlite3_last_insert_rowid(store->db);
    return ERROR_NONE;
}

static nlohmann::json read_field(sqlite3_stmt *statement, int index, const Column &column)
{
    int type = sqlite3_column_type(statement, index);
    if (type == SQLITE_NULL) return nullptr;
    if (type == SQLITE_TEXT) {
        const char *text = (const char *)sqlite3_column_text(statement, index);
        std::string value(text ? text : "", (size_t)sqlite3_column_bytes(statement, index));
        if (column.kind != COLUMN_JSON) return value;
        nlohmann::json parsed = nlohmann::json::parse(value, nullptr, false);
        return parsed.is_discarded() ? nlohmann::json(nullptr) : parsed;
    }
    if (column.kind == COLUMN_INTEGER && type == SQLITE_INTEGER) {
        int64_t value = sqlite3_column_int64(statement, index);
        if (std::string(column.name) == "settled") return value != 0;
        return value;
    }
    return sqlite3_column_double(statement, index);
}

ErrorKind results_read(ResultsStore *store, const std::vector<int64_t> &ids, std::string *json_array, Error *error)
{
    std::string sql = "SELECT id";
    for (const Column &column : columns) sql += std::string(", ") + column.name;
    sql += " FROM runs";
    if (!ids.empty()) sql += " WHERE id = ?";
    sql += " ORDER BY id";
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(store->db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        return set_error(error, ERROR_MALFORMED, store->path.c_str(), 0, "cannot read the history: %s",
                         sqlite3_errmsg(store->db));
    nlohmann::json runs = nlohmann::json::array();
    size_t wanted = ids.empty() ? 1 : ids.size();
    for (size_t k = 0; k < wanted; k++) {
        if (!ids.empty()) {
            sqlite3_reset(statement);
            sqlite3_bind_int64(statement, 1, ids[k]);
        }
        size_t before = runs.size();
        int status;
        while ((status = sqlite3_step(statement)) == SQLITE_ROW) {
            nlohmann::json run = {{"id", sqlite3_column_int64(statement, 0)}};
            for (int i = 0; i < COLUMN_COUNT; i++) run[columns[i].name] = read_field(statement, i + 1, columns[i]);
            runs.push_back(run);
        }
        if (status != SQLITE_DONE) {
            ErrorKind kind = set_error(error, ERROR_MALFORMED, store->path.c_str(), 0, "cannot read the history: %s",
                                       sqlite3_errmsg(store->db));
            sqlite3_finalize(statement);
            return kind;
        }
        if (!ids.empty() && runs.size() == before) {
            sqlite3_finalize(statement);
            return set_error(error, ERROR_MALFORMED, store->path.c_str(), 0, "no run %lld in the history",
                             (long long)ids[k]);
        }
    }
    sqlite3_finalize(statement);
    *json_array = runs.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    return ERROR_NONE;
}

}  // namespace orj
