#include "sandbox.h"

#include "paths.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <string>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace usbsim {

namespace {

constexpr int SetupFailed = 125; // as env(1) and timeout(1) report their own failures
constexpr int CannotRun = 126;
constexpr int NotFound = 127;
constexpr int GraceMs = 2000;

const int ForwardedSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};
const char *const DeviceNodes[] = {"null", "zero", "full", "random", "urandom", "tty"};

[[noreturn]] void setupFailed(const std::string &what)
{
    std::fprintf(stderr, "usbsim sandbox: %s: %s\n", what.c_str(), std::strerror(errno));
    _exit(SetupFailed);
}

void mountOrFail(const char *source, const std::string &target, const char *type,
                 unsigned long flags, const char *options = nullptr)
{
    if (::mount(source, target.c_str(), type, flags, options) != 0)
        setupFailed("cannot mount " + std::string(type ? type : source) + " on " + target);
}

void makeDirOrFail(const std::string &path, mode_t mode)
{
    if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST)
        setupFailed("cannot create " + path);
    ::chmod(path.c_str(), mode); // mkdir honours the umask; the modes here must be exact
}

void makeFileOrFail(const std::string &path, const char *content)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, content, std::strlen(content)) < 0)
        setupFailed("cannot write " + path);
    ::close(fd);
}

void linkOrFail(const char *target, const std::string &link)
{
    if (::symlink(target, link.c_str()) != 0)
        setupFailed("cannot create " + link);
}

std::vector<std::string> directoryEntries(const std::string &path)
{
    std::vector<std::string> names;
    if (DIR *dir = ::opendir(path.c_str())) {
        while (const dirent *entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    return names;
}

// A /dev with only what programs and the simulated adapters need; built aside, then moved
// over the host's /dev so that the host nodes to bind are still reachable while building.
void buildDev(const std::string &stage)
{
    makeDirOrFail(stage, 0755);
    mountOrFail("tmpfs", stage, "tmpfs", MS_NOSUID | MS_NOEXEC, "mode=0755");
    for (const char *node : DeviceNodes) {
        const std::string target = stage + "/" + node;
        makeFileOrFail(target, "");
        mountOrFail((std::string("/dev/") + node).c_str(), target, nullptr, MS_BIND);
    }
    makeDirOrFail(stage + "/pts", 0755);
    mountOrFail("devpts", stage + "/pts", "devpts", MS_NOSUID | MS_NOEXEC,
                "newinstance,ptmxmode=0666,mode=0620");
    linkOrFail("pts/ptmx", stage + "/ptmx");
    makeDirOrFail(stage + "/shm", 01777);
    mountOrFail("tmpfs", stage + "/shm", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777");
    linkOrFail("/proc/self/fd", stage + "/fd");
    linkOrFail("/proc/self/fd/0", stage + "/stdin");
    linkOrFail("/proc/self/fd/1", stage + "/stdout");
    linkOrFail("/proc/self/fd/2", stage + "/stderr");
    mountOrFail(stage.c_str(), paths::DevDir, nullptr, MS_MOVE);
    ::rmdir(stage.c_str());
}

// Only the tty class and the virtual devices get replaced; the host's other virtual devices
// are bound back so that programs looking at, say, network interfaces still find them.
void buildSys(const std::string &stage)
{
    const std::string virtualDir = paths::VirtualDevicesDir;
    makeDirOrFail(stage, 0755);
    mountOrFail(virtualDir.c_str(), stage, nullptr, MS_BIND | MS_REC);
    mountOrFail("tmpfs", virtualDir, "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC, "mode=0755");
    for (const std::string &name : directoryEntries(stage)) {
        if (name == "tty")
            continue; // ptmx, console and the virtual consoles are no serial ports
        makeDirOrFail(virtualDir + "/" + name, 0755);
        mountOrFail((stage + "/" + name).c_str(), virtualDir + "/" + name, nullptr,
                    MS_BIND | MS_REC);
    }
    ::umount2(stage.c_str(), MNT_DETACH);
    ::rmdir(stage.c_str());
    mountOrFail("tmpfs", paths::ClassTtyDir, "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC,
                "mode=0755");
    const std::string bus = paths::UsbBusDir;
    makeDirOrFail(bus.substr(0, bus.rfind('/')), 0755);
    makeDirOrFail(bus, 0755);
    makeFileOrFail(bus + "/uevent", "DEVTYPE=usb_device\nDRIVER=usb\nBUSNUM=001\nDEVNUM=001\n");
}

// QSerialPort puts its LCK.. files in the first lock directory it finds; it must be private.
void privateLockDir(const std::string &resolvedLockDir)
{
    if (resolvedLockDir.rfind("/run/", 0) == 0) {
        makeDirOrFail(resolvedLockDir, 01777);
        return;
    }
    mountOrFail("tmpfs", resolvedLockDir, "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC, "mode=1777");
}

void buildSandbox()
{
    char lockDir[PATH_MAX];
    if (!::realpath(paths::LockDir, lockDir))
        setupFailed(std::string("cannot resolve ") + paths::LockDir);
    mountOrFail(nullptr, "/", nullptr, MS_REC | MS_PRIVATE);
    mountOrFail("tmpfs", "/run", "tmpfs", MS_NOSUID | MS_NODEV, "mode=0755");
    makeDirOrFail(paths::StateDir, 0755);
    makeDirOrFail(paths::PortsDir, 0755);
    privateLockDir(lockDir);
    buildDev(std::string(paths::StateDir) + "/.dev");
    mountOrFail("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC);
    buildSys(std::string(paths::StateDir) + "/.virtual");
    makeFileOrFail(paths::SandboxMarker, "usbsim sandbox\n");
}

bool writeProcFile(const std::string &path, const std::string &content)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    const bool written = fd >= 0 && ::write(fd, content.data(), content.size()) ==
                                        static_cast<ssize_t>(content.size());
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    errno = error;
    return written;
}

// Without root, a user namespace in which the caller is root gives the rights the mounts need,
// while whatever the command creates on the shared file systems (/tmp, the home directory)
// still belongs to the caller outside. The kernel takes a group map from an unprivileged
// process only once it may no longer drop supplementary groups.
bool enterUserNamespace()
{
    const std::string uid = std::to_string(::geteuid());
    const std::string gid = std::to_string(::getegid());
    if (::unshare(CLONE_NEWUSER) != 0)
        return false;
    return writeProcFile("/proc/self/setgroups", "deny") &&
           writeProcFile("/proc/self/uid_map", "0 " + uid + " 1\n") &&
           writeProcFile("/proc/self/gid_map", "0 " + gid + " 1\n");
}

sigset_t forwardedAndChild()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGCHLD);
    for (int sig : ForwardedSignals)
        sigaddset(&set, sig);
    return set;
}

void ignoreHandler(int) {}

// Blocked and taken with sigtimedwait; a handler is installed as well because a PID
// namespace's init gets no signal whose action is the default one.
void takeOverSignals()
{
    const sigset_t set = forwardedAndChild();
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
    struct sigaction action = {};
    action.sa_handler = ignoreHandler;
    for (int sig : ForwardedSignals)
        ::sigaction(sig, &action, nullptr);
}

void restoreSignals()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    for (int sig : ForwardedSignals)
        ::sigaction(sig, &action, nullptr);
    const sigset_t set = forwardedAndChild();
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

int exitStatusOf(int status)
{
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

long long nowMs()
{
    struct timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int waitForSignal(int timeoutMs)
{
    const sigset_t set = forwardedAndChild();
    if (timeoutMs < 0)
        return ::sigwaitinfo(&set, nullptr);
    struct timespec timeout = {timeoutMs / 1000, (timeoutMs % 1000) * 1000000L};
    return ::sigtimedwait(&set, nullptr, &timeout);
}

[[noreturn]] void execCommand(char **command)
{
    restoreSignals();
    ::setenv("USBSIM_SANDBOX", "1", 1);
    ::execvp(command[0], command);
    const int error = errno;
    std::fprintf(stderr, "usbsim sandbox: cannot run %s: %s\n", command[0], std::strerror(error));
    _exit(error == ENOENT ? NotFound : CannotRun);
}

// Reaps until nothing is left or the deadline passes; true when nothing is left.
bool reapAll(long long deadlineMs)
{
    for (;;) {
        pid_t reaped;
        while ((reaped = ::waitpid(-1, nullptr, WNOHANG)) > 0) {
        }
        if (reaped < 0 && errno == ECHILD)
            return true;
        const long long left = deadlineMs - nowMs();
        if (left <= 0)
            return false;
        waitForSignal(int(left));
    }
}

// Passes the forwarded signals on to `target` and waits for it to end, reaping every other
// child on the way (as the namespace's first process, orphans become ours). Returns its status.
int forwardSignalsUntilEnd(pid_t target)
{
    for (;;) {
        siginfo_t info;
        const sigset_t set = forwardedAndChild();
        if (::sigwaitinfo(&set, &info) < 0)
            continue;
        if (info.si_signo != SIGCHLD) {
            ::kill(target, info.si_signo);
            continue;
        }
        int status;
        pid_t pid;
        while ((pid = ::waitpid(-1, &status, WNOHANG)) > 0) {
            if (pid == target)
                return status;
        }
    }
}

// Whatever the command left running gets SIGTERM, then SIGKILL after a grace period.
void endTheRest()
{
    ::kill(-1, SIGTERM);
    if (!reapAll(nowMs() + GraceMs)) {
        ::kill(-1, SIGKILL);
        reapAll(LLONG_MAX);
    }
}

// PID 1 of the sandbox: runs the command, forwards signals to it, reaps orphans.
[[noreturn]] void runInit(char **command, int parentAlive)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    struct pollfd parent = {parentAlive, POLLIN, 0};
    if (::poll(&parent, 1, 0) > 0)
        _exit(SetupFailed); // the parent died before the death signal was armed
    buildSandbox();
    const pid_t child = ::fork();
    if (child < 0)
        setupFailed("cannot fork");
    if (child == 0)
        execCommand(command);
    const int commandStatus = forwardSignalsUntilEnd(child);
    endTheRest();
    _exit(exitStatusOf(commandStatus));
}

void printUsage(FILE *out)
{
    std::fputs("Usage: usbsim sandbox [--] [COMMAND [ARGS...]]\n"
               "\n"
               "Runs COMMAND (default: $SHELL) in private mount and PID namespaces where the only\n"
               "serial ports are simulated USB adapters. /dev, /run, /proc, /sys/class/tty and\n"
               "/sys/devices/virtual are the sandbox's own; /tmp and the rest are the host's.\n"
               "Everything started inside ends with COMMAND. No root needed: a user namespace\n"
               "makes the caller root inside, and what it creates in /tmp or home stays theirs.\n"
               "\n"
               "Exit status: COMMAND's, 128+N when it was killed by signal N, 125 when the\n"
               "sandbox cannot be set up, 126/127 when COMMAND cannot be run or found.\n",
               out);
}

} // namespace

int runSandbox(int argc, char **argv)
{
    int first = 2; // argv: usbsim sandbox ...
    if (first < argc &&
        (std::strcmp(argv[first], "--help") == 0 || std::strcmp(argv[first], "-h") == 0)) {
        printUsage(stdout);
        return 0;
    }
    if (first < argc && std::strcmp(argv[first], "--") == 0)
        ++first;
    else if (first < argc && argv[first][0] == '-') {
        std::fprintf(stderr, "usbsim sandbox: unknown option '%s' (see usbsim sandbox --help)\n",
                     argv[first]);
        return 2;
    }
    std::vector<char *> command(argv + first, argv + argc);
    char fallbackShell[] = "/bin/sh";
    if (command.empty())
        command.push_back(std::getenv("SHELL") ? std::getenv("SHELL") : fallbackShell);
    command.push_back(nullptr);

    if (::geteuid() != 0 && !enterUserNamespace()) {
        std::fprintf(stderr,
                     "usbsim sandbox: cannot enter a user namespace: %s (without root, the "
                     "sandbox needs unprivileged user namespaces)\n",
                     std::strerror(errno));
        return SetupFailed;
    }
    if (::unshare(CLONE_NEWNS | CLONE_NEWPID) != 0) {
        std::fprintf(stderr, "usbsim sandbox: cannot create private mount and PID namespaces: %s\n",
                     std::strerror(errno));
        return SetupFailed;
    }
    int alive[2];
    if (::pipe2(alive, O_CLOEXEC) != 0) {
        std::perror("usbsim sandbox: pipe");
        return SetupFailed;
    }
    takeOverSignals();
    const pid_t init = ::fork();
    if (init < 0) {
        std::perror("usbsim sandbox: fork");
        return SetupFailed;
    }
    if (init == 0) {
        ::close(alive[1]);
        runInit(command.data(), alive[0]);
    }
    ::close(alive[0]);
    const int status = exitStatusOf(forwardSignalsUntilEnd(init));
    // Straight out: after unshare(CLONE_NEWPID) every new task of this process belongs to the
    // namespace, whose init is gone now, so nothing may fork any more, LeakSanitizer's
    // exit-time check included.
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(status);
}

} // namespace usbsim
