#include "importer/orj_export_files.h"

#include <assimp/IOStream.hpp>
#include <assimp/IOSystem.hpp>

#include <algorithm>
#include <cstring>
#include <memory>

#include "orj/core/base/output_file.h"

namespace orj {

namespace {

// The exporter's interfaces are classes: these two are the smallest that
// keep each file's bytes in memory (seeks included, as the binary glTF
// writer goes back to its header).
class CapturedStream : public Assimp::IOStream {
public:
    explicit CapturedStream(std::string *bytes) : bytes_(bytes) {}
    size_t Read(void *, size_t, size_t) override { return 0; }
    size_t Write(const void *buffer, size_t size, size_t count) override
    {
        size_t length = size * count;
        if (at_ + length > bytes_->size()) bytes_->resize(at_ + length);
        memcpy(&(*bytes_)[at_], buffer, length);
        at_ += length;
        return count;
    }
    // A seek past the end makes the file longer (the binary glTF writer
    // leaves room for its header so), as a file on disk would be.
    aiReturn Seek(size_t offset, aiOrigin origin) override
    {
        if (origin == aiOrigin_END && offset > bytes_->size()) return aiReturn_FAILURE;
        at_ = origin == aiOrigin_SET ? offset : origin == aiOrigin_CUR ? at_ + offset : bytes_->size() - offset;
        if (at_ > bytes_->size()) bytes_->resize(at_);
        return aiReturn_SUCCESS;
    }
    size_t Tell() const override { return at_; }
    size_t FileSize() const override { return bytes_->size(); }
    void Flush() override {}

private:
    std::string *bytes_;
    size_t at_ = 0;
};

class CaptureSystem : public Assimp::IOSystem {
public:
    explicit CaptureSystem(std::deque<ExportedFile> *files) : files_(files) {}
    bool Exists(const char *path) const override
    {
        return std::any_of(files_->begin(), files_->end(), [&](const ExportedFile &f) { return f.path == path; });
    }
    char getOsSeparator() const override { return '/'; }
    Assimp::IOStream *Open(const char *path, const char *mode) override
    {
        if (!mode || !strchr(mode, 'w')) return nullptr;
        ExportedFile *file = find_exported_file(files_, path);
        if (!file) {
            files_->push_back({path, std::string()});
            file = &files_->back();
        }
        file->bytes.clear();
        return new CapturedStream(&file->bytes);
    }
    void Close(Assimp::IOStream *stream) override { delete stream; }

private:
    std::deque<ExportedFile> *files_;
};

}  // namespace

Assimp::IOSystem *create_export_capture(std::deque<ExportedFile> *files)
{
    // Streams point into the files' strings, which a deque never moves.
    return new CaptureSystem(files);
}

ExportedFile *find_exported_file(std::deque<ExportedFile> *files, const std::string &path)
{
    for (ExportedFile &file : *files)
        if (file.path == path) return &file;
    return nullptr;
}

ErrorKind write_exported_files(std::deque<ExportedFile> *files, const std::vector<std::string> &inputs,
                               const std::string &last, Error *error)
{
    std::stable_partition(files->begin(), files->end(), [&](const ExportedFile &f) { return f.path != last; });
    std::vector<std::string> paths;
    for (const ExportedFile &file : *files) paths.push_back(file.path);
    if (check_output_paths(inputs, paths, error) != ERROR_NONE) return error->kind;
    std::vector<std::unique_ptr<OutputFile>> outputs;
    std::vector<OutputFile *> set;
    ErrorKind kind = ERROR_NONE;
    for (const ExportedFile &file : *files) {
        outputs.push_back(std::make_unique<OutputFile>());
        set.push_back(outputs.back().get());
        kind = output_file_begin(file.path.c_str(), set.back(), error);
        if (kind == ERROR_NONE) kind = output_file_write(set.back(), file.bytes.data(), file.bytes.size(), error);
        if (kind != ERROR_NONE) break;
    }
    if (kind == ERROR_NONE) kind = output_files_commit(set.data(), (int)set.size(), error);
    for (OutputFile *output : set) output_file_discard(output);
    return kind;
}

}  // namespace orj
