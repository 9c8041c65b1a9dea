// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>

namespace tallowick {

// `notRegular`: the name holds no regular file (a directory, a FIFO, a device, or a link to
// one); `tooLarge`: a regular file larger than the reader's cap.
enum class ReadResult { ok, missing, failed, notRegular, tooLarge };
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

    // Reads the whole regular file at `path` into `contents`, never waiting on what is no
    // regular file and never reading more than `maxBytes`. `missing` when there is no such
    // file.
    virtual ReadResult read(const std::string& path, std::string& contents,
                            std::size_t maxBytes) = 0;

    // Replaces the file at `path` by `contents` all at once: a reader, a crash or a power cut
    // sees either the old file or the new one, never a mix. The new file keeps the permission
    // bits of the one it replaces, never more than `mode`; a new name gets `mode` less the
    // umask. Returns false, leaving the old file as it was, when it cannot be written.
    virtual bool replace(const std::string& path, const std::string& contents, int mode) = 0;

    // Creates the file `path` holding `contents`, readable and writable by its owner only (it
    // may be a copy of a file the user keeps private), never overwriting: `exists` when the name
    // is taken.
    virtual CreateResult createNew(const std::string& path, const std::string& contents) = 0;

    // Moves whatever the name `path` holds (a file, a link, a directory, ...) to the name
    // `newPath` in the same directory, never overwriting: `exists` when that name is taken.
    virtual CreateResult keepAside(const std::string& path, const std::string& newPath) = 0;
};

}  // namespace tallowick
