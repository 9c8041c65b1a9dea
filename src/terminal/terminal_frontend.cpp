#include "terminal/terminal_frontend.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "orders/ringing.h"
#include "posix/posix_adapters.h"

namespace tallowick {
namespace {

constexpr const char* kPrompt = "> ";

// Typed lines as they arrive, split at line ends. Reads only when every line read before has
// been taken, so that at most one read's worth of lines and one unfinished line wait here.
class LineReader {
  public:
    struct Line {
        std::string text;
        bool tooLong = false;  // its bytes were dropped as they came
    };

    explicit LineReader(int fd) : fd_(fd) {}

    bool wantsInput() const { return !ended_ && lines_.empty(); }
    bool hasLine() const { return !lines_.empty(); }
    bool ended() const { return ended_ && lines_.empty(); }
    Line take() {
        Line line = std::move(lines_.front());
        lines_.pop_front();
        return line;
    }

    void read() {
        char buffer[65536];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
        if (n <= 0) {
            // A last line without a line end still counts as typed.
            if (!partial_.empty() || tooLong_) endLine();
            ended_ = true;
            return;
        }
        const char* p = buffer;
        const char* const end = buffer + n;
        while (p < end) {
            const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
            const char* stop = lf ? lf : end;
            if (!tooLong_) partial_.append(p, stop);
            // One byte more than the cap leaves room for a CR before the LF.
            if (partial_.size() > Core::kMaxLineBytes + 1) {
                partial_.clear();
                partial_.shrink_to_fit();
                tooLong_ = true;
            }
            if (lf) endLine();
            p = lf ? lf + 1 : end;
        }
    }

  private:
    void endLine() {
        if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
        const bool tooLong = tooLong_ || partial_.size() > Core::kMaxLineBytes;
        lines_.push_back({tooLong ? std::string() : std::move(partial_), tooLong});
        partial_.clear();
        tooLong_ = false;
    }

    int fd_;
    std::string partial_;
    bool tooLong_ = false;
    bool ended_ = false;
    std::deque<Line> lines_;
};

// A ringing alarm, for a user without sound or at a braille display; the prompt comes back.
class RingingLine final : public OrderWatcher {
  public:
    explicit RingingLine(OutputQueue& output) : output_(output) {}
    void ordersChanged(const OrderTable& previous, const OrderTable& table) override {
        for (int n : startedSounding(previous, table)) {
            output_.push("\a\rOrder " + std::to_string(n) + " is ringing.\n" + kPrompt);
        }
    }

  private:
    OutputQueue& output_;
};

std::string droppedNotice(std::size_t count) {
    return "tallowick: " + std::to_string(count) + (count == 1 ? " line" : " lines") +
           " of output dropped while nothing read it\n";
}

}  // namespace

OutputQueue& OutputQueue::of(int fd) {
    static std::map<int, std::unique_ptr<OutputQueue>> queues;
    std::unique_ptr<OutputQueue>& queue = queues[fd];
    if (!queue) queue.reset(new OutputQueue(fd));
    return *queue;
}

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

void EchoingVoice::say(const std::string& text) {
    output_.push(text + "\n");
    inner_.say(text);
}

void EchoingVoice::queue(const std::string& text) {
    output_.push(text + "\n");
    inner_.queue(text);
}

void runTerminal(Core& core, SecondTicker& ticker, const TerminalOptions& options) {
    using Steady = std::chrono::steady_clock;
    OutputQueue& output = OutputQueue::of(options.outFd);
    LineReader input(options.inFd);
    if (options.interactive) output.push(kPrompt);
    RingingLine ringing(output);
    if (options.interactive) core.addWatcher(ringing);
    // Without a timerfd, a plain one-second timer stands in.
    const bool timerfd = ticker.fd() >= 0;
    Steady::time_point nextTick = Steady::now() + std::chrono::seconds(1);

    std::vector<pollfd> fds;
    std::vector<std::function<void()>> handlers;
    auto watch = [&](int fd, short events, std::function<void()> ready) {
        fds.push_back({fd, events, 0});
        handlers.push_back(std::move(ready));
    };
    while (!input.ended()) {
        fds.clear();
        handlers.clear();
        if (timerfd) {
            watch(ticker.fd(), POLLIN, [&] {
                if (ticker.due()) core.tick();
            });
        }
        if (output.waiting()) watch(output.fd(), POLLOUT, [&] { output.flush(); });
        if (input.wantsInput()) watch(options.inFd, POLLIN, [&] { input.read(); });
        bool keepRunning = true;
        for (WatchedSource* extra : options.extras) {
            if (extra->fd() < 0) continue;
            watch(extra->fd(), extra->events(),
                  [&keepRunning, extra] { keepRunning = extra->dispatch() && keepRunning; });
        }

        // A waiting line is handled at once, after whatever is ready now.
        int timeout = -1;
        if (input.hasLine()) {
            timeout = 0;
        } else if (!timerfd) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(nextTick - Steady::now()).count();
            timeout = left < 0 ? 0 : static_cast<int>(left);
        }
        std::vector<WatchedSource*> dueNow;
        for (WatchedSource* extra : options.extras) {
            const int due = extra->timeoutMs();
            if (due == 0) dueNow.push_back(extra);
            if (due >= 0 && (timeout < 0 || due < timeout)) timeout = due;
        }
        const int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready < 0 && errno != EINTR) break;
        for (std::size_t i = 0; ready > 0 && i < fds.size(); ++i) {
            if (fds[i].revents) handlers[i]();
        }
        // A source's deadline may have passed without an event on its descriptor.
        if (ready == 0) {
            for (WatchedSource* extra : dueNow) keepRunning = extra->dispatch() && keepRunning;
        }
        if (!keepRunning) break;
        if (!timerfd && Steady::now() >= nextTick) {
            core.tick();
            nextTick = Steady::now() + std::chrono::seconds(1);
        }

        // One line at a time, each with its own save, so that a due tick never waits behind
        // a long batch for more than one line.
        if (input.hasLine()) {
            const LineReader::Line line = input.take();
            const Core::LineResult result =
                line.tooLong ? core.overlongLine() : core.line(line.text);
            if (result == Core::LineResult::exit) break;
            if (options.interactive) output.push(kPrompt);
        }
    }
    output.drain();
}

}  // namespace tallowick
