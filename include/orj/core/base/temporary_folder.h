/// @file
/// A private temporary folder for a program's intermediate files, removed
/// when the program is done with them.
#pragma once

#include <string>

#include "orj/core/base/error.h"

namespace orj {

/// Makes a new folder with a unique name that starts with prefix (such as
/// "orj-view") in the user's temporary folder: $TMPDIR or /tmp, made with
/// mode 0700, on POSIX; %TEMP% on Windows, which is the user's own.
/// *folder gets its path (UTF-8, without a final separator).
/// ERROR_CANNOT_WRITE when it cannot be made (the message names the folder
/// it was to be made in and the reason).
ErrorKind make_temporary_folder(const char *prefix, std::string *folder, Error *error);

/// Removes the files in folder, then folder itself (folders inside are left,
/// and then so is folder). False when folder is still there.
bool remove_temporary_folder(const std::string &folder);

}  // namespace orj
