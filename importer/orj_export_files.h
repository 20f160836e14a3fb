// What the asset importer's exporter writes, caught in memory: the exporter
// opens its files itself (a model and the files beside it) and checks none
// of its writes, so the engine takes the bytes and writes them through its
// own output files, every write checked and nothing replaced until all are
// complete.
#pragma once

#include <string>
#include <deque>
#include <vector>

#include "orj/core/base/error.h"

namespace Assimp {
class IOSystem;
}

namespace orj {

struct ExportedFile {
    std::string path;  // as the exporter named it
    std::string bytes;
};

// An IOSystem for Assimp::Exporter::SetIOHandler (which takes it over and
// deletes it): every file opened for writing lands in files, in the order
// opened; nothing is read or written on disk.
Assimp::IOSystem *create_export_capture(std::deque<ExportedFile> *files);

// The file of that path among files; null when the exporter wrote none.
ExportedFile *find_exported_file(std::deque<ExportedFile> *files, const std::string &path);

// Writes every file through orj/core/base/output_file.h and puts them in
// place as one set, the file named last (the model) last. Refuses any that
// is one of inputs. On failure no file has changed.
ErrorKind write_exported_files(std::deque<ExportedFile> *files, const std::vector<std::string> &inputs,
                               const std::string &last, Error *error);

}  // namespace orj
