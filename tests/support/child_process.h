// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a piece of a test in a child process with a time bound, for code that might block or
// run away (a FIFO that is never opened at its other end, a device without an end).
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace trelvan::testing {

struct ChildResult {
    int status = -1;     // the child's exit status, or 128 + the signal that ended it
    std::string output;  // what it wrote to its output descriptor
};

// Runs body(out) in a child process, which is ended by SIGALRM after seconds; body's result is
// the child's exit status.
inline ChildResult runInChild(const std::function<int(int out)>& body, unsigned seconds = 5) {
    ChildResult result;
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return result;
    const pid_t child = ::fork();
    if (child < 0) return result;
    if (child == 0) {
        ::close(pipeEnds[0]);
        ::signal(SIGALRM, SIG_DFL);
        ::alarm(seconds);
        _exit(body(pipeEnds[1]));
    }
    ::close(pipeEnds[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0) result.output.append(buffer, n);
    ::close(pipeEnds[0]);
    int status = 0;
    if (::waitpid(child, &status, 0) == child) {
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return result;
}

// Writes text to the output descriptor of runInChild.
inline void sendText(int out, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(out, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

}  // namespace trelvan::testing
