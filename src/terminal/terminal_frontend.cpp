// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal/terminal_frontend.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <poll.h>
#include <unistd.h>

#include "orders/ringing.h"

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
    RingingLine(Core& core, OutputQueue& output)
        : output_(output), watching_(core.addWatcher(*this)) {}
    void ordersChanged(const OrderTable& previous, const OrderTable& table) override {
        for (int n : startedSounding(previous, table)) {
            output_.push("\a\rOrder " + std::to_string(n) + " is ringing.\n" + kPrompt);
        }
    }

  private:
    OutputQueue& output_;
    WatcherSubscription watching_;
};

}  // namespace

void runTerminal(Core& core, SecondTicker& ticker, OutputQueue& output,
                 const TerminalOptions& options) {
    using Steady = std::chrono::steady_clock;
    LineReader input(options.inFd);
    if (options.interactive) output.push(kPrompt);
    std::optional<RingingLine> ringing;
    if (options.interactive) ringing.emplace(core, output);
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
        // Without a timerfd (or once the ticker gives it up), a plain one-second timer stands in.
        const bool timerfd = ticker.fd() >= 0;
        if (timerfd) {
            watch(ticker.fd(), POLLIN, [&] {
                if (ticker.due()) core.tick();
                nextTick = Steady::now() + std::chrono::seconds(1);
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
        // The tick first (the timerfd is watched first), then whatever else is ready.
        if (!timerfd && Steady::now() >= nextTick) {
            core.tick();
            nextTick = Steady::now() + std::chrono::seconds(1);
        }
        for (std::size_t i = 0; ready > 0 && i < fds.size(); ++i) {
            if (fds[i].revents) handlers[i]();
        }
        // A source's deadline may have passed without an event on its descriptor.
        for (WatchedSource* extra : dueNow) {
            const auto it = std::find_if(fds.begin(), fds.end(),
                                         [extra](const pollfd& p) { return p.fd == extra->fd(); });
            if (it == fds.end() || it->revents == 0) {
                keepRunning = extra->dispatch() && keepRunning;
            }
        }
        if (!keepRunning) break;

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
