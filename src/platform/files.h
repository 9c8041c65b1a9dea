#pragma once

#include <string>

namespace tallowick {

enum class ReadResult { ok, missing, failed };
enum class CreateResult { ok, exists, failed };

// Isolates the file system: the settings file, the shutdown script and the kept copies of a
// damaged settings file all go through here, so that tests can fake a full disk or a file that
// cannot be read.
class Files {
  public:
    Files() = default;
    Files(const Files&) = delete;
    Files& operator=(const Files&) = delete;
    virtual ~Files() = default;

    // Reads the whole file at `path` into `contents`. `missing` when there is no such file.
    virtual ReadResult read(const std::string& path, std::string& contents) = 0;

    // Replaces the file at `path` by `contents` all at once: a reader, a crash or a power cut
    // sees either the old file or the new one, never a mix. `mode` gives the permission bits of
    // the new file. Returns false, leaving the old file as it was, when it cannot be written.
    virtual bool replace(const std::string& path, const std::string& contents, int mode) = 0;

    // Creates the file `path` holding `contents`, never overwriting: `exists` when the name is
    // taken.
    virtual CreateResult createNew(const std::string& path, const std::string& contents) = 0;
};

}  // namespace tallowick
