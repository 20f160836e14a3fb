#include "orj/core/sprites/frame_name.h"

#include <sys/stat.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <strings.h>

#include "core/base/path_separators.h"

namespace orj {

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

std::string frame_sequence_name(const FrameSequence *sequence, int32_t number)
{
    char digits[32];
    snprintf(digits, sizeof digits, "%0*d", sequence->digits, (int)number);
    return sequence->prefix + digits + sequence->suffix;
}

// Where the file name (after the last separator) starts.
static size_t base_start(const std::string &path)
{
    size_t slash = path.find_last_of(PATH_SEPARATORS);
    return slash == std::string::npos ? 0 : slash + 1;
}

static const char *NO_SEQUENCE =
    "names no numbered frame sequence: the name must end in a frame number (ball0001.png, ball0001) "
    "or hold a pattern (ball%04d.png)";

ErrorKind parse_frame_sequence(const char *name, FrameSequence *sequence, bool *is_pattern, Error *error)
{
    std::string path = name ? name : "";
    *is_pattern = false;
    size_t percent = path.find('%');
    if (percent != std::string::npos) {
        // %d or %0Nd, and no other conversion.
        size_t at = percent + 1;
        int digits = 0;
        if (at < path.size() && path[at] == '0') {
            at++;
            while (at < path.size() && isdigit((unsigned char)path[at]) && digits < 100)
                digits = 10 * digits + (path[at++] - '0');
        }
        if (at >= path.size() || path[at] != 'd' || digits > 9 || path.find('%', at) != std::string::npos)
            return set_error(error, ERROR_REFUSED, path.c_str(), 0,
                             "a frame pattern holds one %%d or %%0Nd (N at most 9) and no other %%");
        sequence->prefix = path.substr(0, percent);
        sequence->suffix = path.substr(at + 1);
        sequence->digits = digits;
        sequence->first = 0;
        *is_pattern = true;
        return ERROR_NONE;
    }
    size_t base = base_start(path);
    size_t dot = path.rfind('.');
    // A dot that starts the file name is no extension.
    size_t stem_end = dot != std::string::npos && dot > base ? dot : path.size();
    size_t digits_start = stem_end;
    while (digits_start > base && isdigit((unsigned char)path[digits_start - 1])) digits_start--;
    size_t digits = stem_end - digits_start;
    if (digits == 0 || digits > 9) return set_error(error, ERROR_REFUSED, path.c_str(), 0, "%s", NO_SEQUENCE);
    sequence->prefix = path.substr(0, digits_start);
    sequence->suffix = path.substr(stem_end);
    sequence->digits = (int)digits;
    sequence->first = (int32_t)strtol(path.substr(digits_start, digits).c_str(), nullptr, 10);
    return ERROR_NONE;
}

static bool is_regular_file(const std::string &path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

ErrorKind find_frame_files(const char *first_frame, int32_t max_count, FrameSequence *sequence, int32_t *count,
                           Error *error)
{
    *count = 0;
    bool is_pattern = false;
    if (parse_frame_sequence(first_frame, sequence, &is_pattern, error) != ERROR_NONE)
        return error ? error->kind : ERROR_REFUSED;
    if (is_pattern) {
        if (!is_regular_file(frame_sequence_name(sequence, 0))) sequence->first = 1;
    } else if (!is_regular_file(first_frame) && sequence->suffix.empty()) {
        // The extension left off, as in the name a person reads in a list of frames.
        const char *extensions[] = {".tga", ".png", ".TGA", ".PNG"};
        for (const char *extension : extensions) {
            if (is_regular_file(std::string(first_frame) + extension)) {
                sequence->suffix = extension;
                break;
            }
        }
    }
    while (*count < max_count && is_regular_file(frame_sequence_name(sequence, sequence->first + *count))) (*count)++;
    if (*count == 0) {
        if (is_pattern)
            return set_error(error, ERROR_CANNOT_OPEN, first_frame, 0, "no frame file matches the pattern (from %s)",
                             frame_sequence_name(sequence, 1).c_str());
        return set_error(error, ERROR_CANNOT_OPEN, first_frame, 0, "no frame file of that name");
    }
    return ERROR_NONE;
}

// The frame number a file name holds when it is a name of the sequence, the
// extension's case aside; -1 when it is not.
static int64_t sequence_number(const std::string &name, const std::string &prefix, const FrameSequence *sequence)
{
    const std::string &suffix = sequence->suffix;
    if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
    std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (digits.size() > 9 || strcasecmp(name.c_str() + name.size() - suffix.size(), suffix.c_str()) != 0) return -1;
    for (char c : digits)
        if (!isdigit((unsigned char)c)) return -1;
    char expected[32];
    int64_t number = strtol(digits.c_str(), nullptr, 10);
    snprintf(expected, sizeof expected, "%0*lld", sequence->digits, (long long)number);
    return digits == expected ? number : -1;
}

void find_frame_gap(const FrameSequence *sequence, int32_t count, FrameGap *gap)
{
    *gap = FrameGap();
    size_t base = base_start(sequence->prefix);
    std::string folder = base == 0 ? "." : sequence->prefix.substr(0, base);
    std::string prefix = sequence->prefix.substr(base);
    int64_t next = (int64_t)sequence->first + count, nearest = -1;
    std::string nearest_name;
    std::error_code error;
    for (std::filesystem::directory_iterator it(std::filesystem::u8path(folder), error), end; !error && it != end;
         it.increment(error)) {
        std::string name = it->path().filename().u8string();
        int64_t number = sequence_number(name, prefix, sequence);
        if (number < next || (nearest >= 0 && number >= nearest)) continue;
        nearest = number;
        nearest_name = name;
    }
    if (nearest < 0) return;
    gap->missing = frame_sequence_name(sequence, (int32_t)next);
    gap->found = sequence->prefix.substr(0, base) + nearest_name;
}

}  // namespace orj
