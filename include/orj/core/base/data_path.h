/// @file
/// Finding the sample data when a program runs outside the source tree.
#pragma once

#include <string>

namespace orj {

/// The file to open for one of the sample data's relative paths, such as
/// "data/fiche.orj". The path as given comes first: when something of that
/// name is reachable from the working folder, path itself is returned. Else,
/// for a relative path under data/, the same file among the data installed
/// with the running program (PREFIX/share/orj/data/fiche.orj for a program in
/// PREFIX/bin; beside the program on Windows) when that exists. Otherwise path
/// again, so that the error a caller reports names what was asked for.
/// Never fails; reads nothing but the file system's names.
std::string find_data_file(const char *path);

}  // namespace orj
