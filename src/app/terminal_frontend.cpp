#include "app/terminal_frontend.h"

#include <cerrno>
#include <string_view>

#include <poll.h>
#include <unistd.h>

#include "app/ringing.h"
#include "platform/posix_adapters.h"

namespace tallowick {
namespace {

constexpr const char* kPrompt = "> ";

// A ringing alarm, for a user without sound or at a braille display; the prompt comes back.
class RingingLine final : public OrderWatcher {
  public:
    explicit RingingLine(int fd) : fd_(fd) {}
    void ordersChanged(const OrderTable& previous, const OrderTable& table) override {
        for (int n : startedSounding(previous, table)) {
            writeAll(fd_, "\a\rOrder " + std::to_string(n) + " is ringing.\n" + kPrompt);
        }
    }

  private:
    int fd_;
};

}  // namespace

void EchoingVoice::say(const std::string& text) {
    writeAll(outFd_, text + "\n");
    inner_.say(text);
}

void EchoingVoice::queue(const std::string& text) {
    writeAll(outFd_, text + "\n");
    inner_.queue(text);
}

void runTerminal(Core& core, SecondTicker& ticker, const TerminalOptions& options) {
    if (options.interactive) writeAll(options.outFd, kPrompt);
    RingingLine ringing(options.outFd);
    if (options.interactive) core.addWatcher(ringing);
    std::string pending;
    // Handles every whole line in `pending`; false when "exit" ended the program.
    auto handleLines = [&]() {
        size_t start = 0;
        for (size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
            std::string_view line(pending.data() + start, end - start);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (core.line(line) == Core::LineResult::exit) return false;
            if (options.interactive) writeAll(options.outFd, kPrompt);
        }
        pending.erase(0, start);
        return true;
    };

    pollfd fds[3] = {{options.inFd, POLLIN, 0}, {ticker.fd(), POLLIN, 0}, {-1, 0, 0}};
    for (;;) {
        int timeout = ticker.fd() >= 0 ? -1 : 1000;
        if (options.extra) {
            fds[2] = {options.extra->fd(), options.extra->events(), 0};
            const int due = options.extra->timeoutMs();
            if (due >= 0 && (timeout < 0 || due < timeout)) timeout = due;
        }
        const int ready = ::poll(fds, 3, timeout);
        if (ready < 0 && errno != EINTR) return;
        if ((ready == 0 && ticker.fd() < 0) ||
            (ticker.fd() >= 0 && (fds[1].revents & POLLIN) && ticker.due())) {
            core.tick();
        }
        if (options.extra && ready >= 0 && !options.extra->dispatch()) return;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buffer[65536];
            const ssize_t n = ::read(options.inFd, buffer, sizeof buffer);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) {
                // The end of input ends the program; a last line without a line end still
                // counts as typed.
                if (!pending.empty()) {
                    pending += '\n';
                    handleLines();
                }
                return;
            }
            pending.append(buffer, static_cast<size_t>(n));
            if (!handleLines()) return;
        }
    }
}

}  // namespace tallowick
