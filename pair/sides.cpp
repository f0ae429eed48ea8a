#include "pair/sides.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "protocol/pairside.h"

volatile int pairInterrupted;

static void OnSignal(int) {
    pairInterrupted = 1;
}

void CatchPairSignals(void) {
    struct sigaction sa = {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    // No SA_RESTART: a wait for a side returns, so the coordinator can end both.
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN); // a side that died is found by its pipe's EOF instead
}

static void CloseFd(int *fd) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
}

// In the child, between fork and exec: only async-signal-safe calls.
static void BecomeSide(int words, int reports, int output, pid_t coordinator, const char *program,
                       char **argv, char **envp) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != coordinator) _exit(127); // it died before the line above
    dup2(words, 0);
    dup2(output, 1);
    dup2(output, 2);
    dup2(reports, kPairReportFd);
    for (int fd = kPairReportFd + 1; fd < 1024; fd++)
        close(fd);
    struct sigaction sa = {};
    sa.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    execve(program, argv, envp);
    const char msg[] = "kelvane: cannot start the program for a side\n";
    if (write(2, msg, sizeof msg - 1)) {
    }
    _exit(127);
}

// This process's environment with the assignments added, each replacing a variable of its name.
static std::vector<std::string> SideEnvironment(const std::vector<std::string> &env) {
    std::vector<std::string> all;
    for (char **e = environ; *e; e++) {
        const char *eq = strchr(*e, '=');
        size_t len = eq ? (size_t)(eq - *e) + 1 : strlen(*e);
        bool replaced = false;
        for (const std::string &a : env)
            replaced = replaced || a.compare(0, a.find('=') + 1, *e, len) == 0;
        if (!replaced) all.push_back(*e);
    }
    all.insert(all.end(), env.begin(), env.end());
    return all;
}

static std::vector<char *> Pointers(const std::vector<std::string> &v, const char *first) {
    std::vector<char *> p;
    if (first) p.push_back((char *)first);
    for (const std::string &s : v)
        p.push_back((char *)s.c_str());
    p.push_back(nullptr);
    return p;
}

int StartSide(SideProcess *p, const char *path, const char *name,
              const std::vector<std::string> &args, const std::vector<std::string> &env,
              std::string *why) {
    *p = SideProcess{};
    int in[2] = {-1, -1}, rep[2] = {-1, -1}, out[2] = {-1, -1};
    if (pipe2(in, O_CLOEXEC) || pipe2(rep, O_CLOEXEC) || pipe2(out, O_CLOEXEC)) {
        *why = std::string("no pipes: ") + strerror(errno);
        for (int fd : {in[0], in[1], rep[0], rep[1], out[0], out[1]})
            if (fd >= 0) close(fd);
        return 0;
    }
    // Built before the fork: the child may not allocate.
    std::vector<std::string> envs = SideEnvironment(env);
    std::vector<char *> argv = Pointers(args, name), envp = Pointers(envs, nullptr);
    pid_t self = getpid();
    pid_t pid = fork();
    if (pid == 0) BecomeSide(in[0], rep[1], out[1], self, path, argv.data(), envp.data());
    int forkErrno = errno;
    close(in[0]);
    close(rep[1]);
    close(out[1]);
    if (pid < 0) {
        close(in[1]);
        close(rep[0]);
        close(out[0]);
        *why = std::string("cannot start a process: ") + strerror(forkErrno);
        return 0;
    }
    setpgid(pid, pid); // as the child does: whichever runs first
    p->pid = pid;
    p->words = in[1];
    p->reports = rep[0];
    p->output = out[0];
    fcntl(p->output, F_SETFL, O_NONBLOCK);
    fcntl(p->reports, F_SETFL, O_NONBLOCK);
    return 1;
}

int SendWord(SideProcess *p, const std::string &line) {
    std::string text = line + "\n";
    size_t done = 0;
    while (p->words >= 0 && done < text.size()) {
        ssize_t n = write(p->words, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR && !pairInterrupted) continue;
        if (n <= 0) return 0;
        done += (size_t)n;
    }
    return done == text.size();
}

enum { kSaidKept = 4096 };

// Takes what the side wrote on its output, keeping the end of it. 0 at its end.
static int DrainOutput(SideProcess *p) {
    char buf[4096];
    for (;;) {
        ssize_t n = read(p->output, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return 1; // nothing more for now
        if (n == 0) return 0;
        p->said.append(buf, (size_t)n);
        if (p->said.size() > kSaidKept) p->said.erase(0, p->said.size() - kSaidKept);
    }
}

// Takes report text; 0 at its end.
static int DrainReports(SideProcess *p) {
    char buf[65536];
    for (;;) {
        ssize_t n = read(p->reports, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return 1;
        if (n == 0) return 0;
        p->pending.append(buf, (size_t)n);
    }
}

static int TakeLine(SideProcess *p, std::string *line) {
    size_t nl = p->pending.find('\n');
    if (nl == std::string::npos) return 0;
    *line = p->pending.substr(0, nl);
    p->pending.erase(0, nl + 1);
    return 1;
}

static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// Reaps the side if it has ended; waits up to seconds for it to.
static int Reap(SideProcess *p, double seconds) {
    double until = Now() + seconds;
    for (;;) {
        if (p->ended || p->pid <= 0) return 1;
        int status;
        pid_t r = waitpid(p->pid, &status, WNOHANG);
        if (r == p->pid || (r < 0 && errno == ECHILD)) {
            p->ended = true;
            p->status = r == p->pid ? status : 0;
            return 1;
        }
        if (Now() >= until) return 0;
        struct timespec t = {0, 10 * 1000 * 1000};
        nanosleep(&t, nullptr);
    }
}

int ReadReport(SideProcess *p, double seconds, std::string *line, std::string *why) {
    double until = Now() + seconds;
    bool outputOpen = p->output >= 0;
    for (;;) {
        if (TakeLine(p, line)) return 1;
        if (pairInterrupted) {
            *why = "interrupted";
            return 0;
        }
        double left = until - Now();
        if (left <= 0) {
            *why = "no word from it in " + std::to_string((int)(seconds + 0.5)) + " s";
            return 0;
        }
        struct pollfd fds[2] = {{p->reports, POLLIN, 0}, {outputOpen ? p->output : -1, POLLIN, 0}};
        int n = poll(fds, 2, (int)(left * 1000) + 1);
        if (n < 0 && errno != EINTR) {
            *why = std::string("cannot wait for it: ") + strerror(errno);
            return 0;
        }
        if (outputOpen && fds[1].revents && !DrainOutput(p)) outputOpen = false;
        if (!fds[0].revents) continue;
        int open = DrainReports(p);
        if (TakeLine(p, line)) return 1;
        if (open) continue;
        // Its end: what it said comes with it.
        while (outputOpen && DrainOutput(p)) {
            struct pollfd o = {p->output, POLLIN, 0};
            if (poll(&o, 1, 1000) <= 0) break;
        }
        Reap(p, 5);
        *why = p->ended ? "it ended (" + SideEnding(*p) + ")" : "it closed its reports";
        return 0;
    }
}

void EndSide(SideProcess *p) {
    if (p->pid > 0 && !p->ended) {
        SendWord(p, "end");
        CloseFd(&p->words); // its end of input, should it not be reading words
        if (!Reap(p, 2)) {
            kill(-p->pid, SIGTERM);
            if (!Reap(p, 2)) {
                kill(-p->pid, SIGKILL);
                Reap(p, 10);
            }
        }
    }
    CloseFd(&p->words);
    CloseFd(&p->reports);
    CloseFd(&p->output);
}

std::string SideSaid(const SideProcess &p) {
    std::string s = p.said;
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    // The last lines that fit.
    size_t from = s.size() > 300 ? s.find('\n', s.size() - 300) : 0;
    if (from == std::string::npos) from = s.size() - 300;
    s = s.substr(from);
    for (char &c : s)
        if (c == '\n') c = ' ';
    while (!s.empty() && s[0] == ' ')
        s.erase(0, 1);
    return s;
}

std::string SideEnding(const SideProcess &p) {
    if (!p.ended) return "still running";
    if (WIFEXITED(p.status)) return "exit status " + std::to_string(WEXITSTATUS(p.status));
    if (WIFSIGNALED(p.status)) {
        int sig = WTERMSIG(p.status);
        return "killed by signal " + std::to_string(sig) + " (" + strsignal(sig) + ")";
    }
    return "ended";
}
