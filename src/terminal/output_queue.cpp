// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal/output_queue.h"

#include <cerrno>
#include <chrono>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "posix/posix_adapters.h"

namespace tallowick {
namespace {

std::string droppedNotice(std::size_t count) {
    return kDiagnosticPrefix + std::to_string(count) + (count == 1 ? " line" : " lines") +
           " of output dropped while nothing read it\n";
}

}  // namespace

void OutputQueue::push(std::string text) {
    if (broken_ || text.empty()) return;
    bytes_ += text.size();
    texts_.push_back(std::move(text));
    // Drops the oldest texts that have not begun to be written; a text cut in the middle
    // would garble its line.
    const std::size_t keep = written_ > 0 ? 1 : 0;
    while (bytes_ > kCapacityBytes && texts_.size() > keep + 1) {
        bytes_ -= texts_[keep].size();
        texts_.erase(texts_.begin() + static_cast<std::ptrdiff_t>(keep));
        ++dropped_;
    }
    flush();
}

void OutputQueue::open() {
    if (writeFd_ >= 0) return;
    writeFd_ = fd_;
    // A regular file never keeps a writer waiting; another process may share its offset.
    struct stat info {};
    if (::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode)) return;
    // The terminal or pipe opened anew, so that not waiting is this program's own affair: the
    // shell that shares the standard descriptors never finds them non-blocking.
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    const int reopened = ::open(self.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (reopened >= 0) {
        writeFd_ = reopened;
        return;
    }
    // A socket cannot be opened anew: its flags are changed for the run and put back after.
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0 && !(flags & O_NONBLOCK) && ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK) == 0) {
        savedFlags_ = flags;
    }
}

void OutputQueue::close() {
    if (writeFd_ >= 0 && writeFd_ != fd_) ::close(writeFd_);
    if (savedFlags_ >= 0) ::fcntl(fd_, F_SETFL, savedFlags_);
    writeFd_ = savedFlags_ = -1;
}

void OutputQueue::flush() {
    open();
    while (!broken_ && waiting()) {
        if (written_ == 0 && dropped_ > 0) {
            // Output flows again: the gap is told where it was.
            const std::string notice = droppedNotice(dropped_);
            bytes_ += notice.size();
            texts_.push_front(notice);
            dropped_ = 0;
        }
        const std::string& front = texts_.front();
        const ssize_t n = ::write(writeFd_, front.data() + written_, front.size() - written_);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;
        if (n <= 0) {
            // The reader is gone (or the device failed): what waits can never be written.
            broken_ = true;
            texts_.clear();
            bytes_ = written_ = dropped_ = 0;
            return;
        }
        written_ += static_cast<std::size_t>(n);
        if (written_ == front.size()) {
            bytes_ -= front.size();
            texts_.pop_front();
            written_ = 0;
        }
    }
}

void OutputQueue::drain() {
    // A reader that never reads again must not keep the program from ending: it gets a few
    // seconds, then what waits is let go.
    const auto giveUp = std::chrono::steady_clock::now() + kDrainLimit;
    flush();
    while (!broken_ && waiting()) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(giveUp - std::chrono::steady_clock::now())
                .count();
        if (left <= 0) break;
        pollfd writable{writeFd_, POLLOUT, 0};
        if (::poll(&writable, 1, static_cast<int>(left)) < 0 && errno != EINTR) break;
        flush();
    }
    texts_.clear();
    bytes_ = written_ = dropped_ = 0;
    close();
    broken_ = false;  // a writer after the end starts afresh
}

}  // namespace tallowick
