// zepho7-sim: runs the device simulator in a folder and takes commands from standard input
// and from the control socket "<dir>/control" (used by `zepho7-sim --send CMD`).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "sim/console.h"
#include "sim/simulator.h"

namespace {

using zepho7::sim::Console;
using zepho7::sim::Simulator;

constexpr size_t kMaxControlMessage = 256 * 1024;
int g_signal_pipe[2] = {-1, -1};

void OnSignal(int) {
    const char c = 's';
    [[maybe_unused]] const ssize_t n = ::write(g_signal_pipe[1], &c, 1);
}

void Usage(FILE* out) {
    std::fprintf(out,
                 "usage: zepho7-sim [--dir DIR] [--traffic] [--no-stdin] [DEVICE[:LINK] ...]\n"
                 "       zepho7-sim [--dir DIR] --send \"COMMAND\"\n"
                 "DEVICE is mouse, keyboard, mousepad or headset (default: mouse); LINK is\n"
                 "cable (default) or receiver (mouse only). Type 'help' for the commands.\n"
                 "The folder defaults to $ZEPHO7_SIM_DIR, else $XDG_RUNTIME_DIR/zepho7-sim,\n"
                 "else /tmp/zepho7-sim-$UID.\n");
}

std::string DefaultDir() {
    if (const char* d = std::getenv("ZEPHO7_SIM_DIR"); d != nullptr && *d != '\0') {
        return d;
    }
    if (const char* r = std::getenv("XDG_RUNTIME_DIR"); r != nullptr && *r != '\0') {
        return std::string(r) + "/zepho7-sim";
    }
    return "/tmp/zepho7-sim-" + std::to_string(::getuid());
}

bool Address(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

int Connect(const std::string& path) {
    sockaddr_un addr;
    if (!Address(path, addr)) {
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int SendCommand(const std::string& dir, const std::string& command) {
    const int fd = Connect(dir + "/control");
    if (fd < 0) {
        std::fprintf(stderr, "zepho7-sim: no simulator answers in %s\n", dir.c_str());
        return 2;
    }
    if (::send(fd, command.data(), command.size(), MSG_NOSIGNAL) < 0) {
        std::fprintf(stderr, "zepho7-sim: cannot send: %s\n", std::strerror(errno));
        ::close(fd);
        return 2;
    }
    pollfd p{fd, POLLIN, 0};
    std::vector<char> answer(kMaxControlMessage);
    ssize_t n = -1;
    if (::poll(&p, 1, 5000) > 0) {
        n = ::recv(fd, answer.data(), answer.size(), 0);
    }
    ::close(fd);
    if (n <= 0) {
        std::fprintf(stderr, "zepho7-sim: no answer from the simulator\n");
        return 2;
    }
    const std::string text(answer.data(), static_cast<size_t>(n));
    std::fputs(text.c_str(), stdout);
    return text.rfind("error:", 0) == 0 ? 1 : 0;
}

// Listening control socket, bound under a temporary name and renamed into place.
bool OtherSimulatorRuns(const std::string& control_path) {
    const int probe = Connect(control_path);
    if (probe < 0) {
        return false;
    }
    ::close(probe);
    return true;
}

int MakeControl(const std::string& path) {
    const std::string temp = path + ".tmp";
    sockaddr_un addr;
    if (!Address(temp, addr)) {
        std::fprintf(stderr, "zepho7-sim: folder path too long\n");
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return -1;
    }
    ::unlink(temp.c_str());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd, 8) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "zepho7-sim: cannot create %s: %s\n", path.c_str(),
                     std::strerror(errno));
        ::unlink(temp.c_str());
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir;
    std::string send;
    bool have_send = false;
    bool traffic = false;
    bool read_stdin = true;
    std::vector<std::string> devices;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--dir" || arg == "--send") && i + 1 < argc) {
            (arg == "--dir" ? dir : send) = argv[++i];
            have_send = have_send || arg == "--send";
        } else if (arg == "--traffic") {
            traffic = true;
        } else if (arg == "--no-stdin") {
            read_stdin = false;
        } else if (arg == "-h" || arg == "--help") {
            Usage(stdout);
            return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "zepho7-sim: unknown option %s\n", arg.c_str());
            Usage(stderr);
            return 2;
        } else {
            devices.push_back(arg);
        }
    }
    if (dir.empty()) {
        dir = DefaultDir();
    }
    if (have_send) {
        return SendCommand(dir, send);
    }
    if (devices.empty()) {
        devices.emplace_back("mouse");
    }

    ::signal(SIGPIPE, SIG_IGN);
    if (::pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);

    Simulator sim(dir);
    if (!sim.Ready()) {
        std::fprintf(stderr, "zepho7-sim: cannot use folder %s\n", dir.c_str());
        return 1;
    }
    const std::string control_path = dir + "/control";
    if (OtherSimulatorRuns(control_path)) {
        std::fprintf(stderr, "zepho7-sim: another simulator already runs in %s\n", dir.c_str());
        return 1;
    }

    std::mutex out_mutex;
    auto print = [&out_mutex](std::string_view text) {
        std::lock_guard lock(out_mutex);
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    };
    Console console(sim, [&print](std::string_view line) {
        std::string l(line);
        l += '\n';
        print(l);
    });

    int status = 0;
    for (const auto& d : devices) {
        const auto answer = console.Execute("plug " + d);
        print(answer.text);
        if (answer.text.rfind("error:", 0) == 0) {
            status = 1;
        }
    }
    // The control socket appears last: once it exists, the devices are in place.
    const int control = status == 0 ? MakeControl(control_path) : -1;
    if (control < 0) {
        status = 1;
    }
    if (status == 0) {
        print("zepho7-sim: simulating in " + dir + "\nexport ZEPHO7_SIM_DIR=" + dir + "\n");
        if (traffic) {
            print(console.Execute("traffic on").text);
        }
    }

    std::vector<int> clients;
    std::string pending_input;
    bool quit = status != 0;
    while (!quit) {
        std::vector<pollfd> fds;
        fds.push_back({g_signal_pipe[0], POLLIN, 0});
        fds.push_back({control, POLLIN, 0});
        fds.push_back({read_stdin ? STDIN_FILENO : -1, POLLIN, 0});
        for (int c : clients) {
            fds.push_back({c, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (fds[0].revents != 0) {
            break;  // SIGINT or SIGTERM
        }
        if (fds[2].revents != 0) {
            char buf[4096];
            const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
            if (n <= 0) {
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                break;  // end of input
            }
            pending_input.append(buf, static_cast<size_t>(n));
            size_t nl;
            while (!quit && (nl = pending_input.find('\n')) != std::string::npos) {
                const auto answer = console.Execute(pending_input.substr(0, nl));
                pending_input.erase(0, nl + 1);
                print(answer.text);
                quit = answer.quit;
            }
        }
        std::vector<int> keep;
        for (size_t i = 3; i < fds.size(); ++i) {
            const int c = fds[i].fd;
            if (fds[i].revents == 0) {
                keep.push_back(c);
                continue;
            }
            std::vector<char> buf(4096);
            const ssize_t n = ::recv(c, buf.data(), buf.size(), MSG_DONTWAIT);
            if (n > 0) {
                const auto answer =
                    console.Execute(std::string_view(buf.data(), static_cast<size_t>(n)));
                [[maybe_unused]] const ssize_t s =
                    ::send(c, answer.text.data(), answer.text.size(), MSG_NOSIGNAL);
                quit = quit || answer.quit;
            }
            ::close(c);  // one command per connection
        }
        clients.swap(keep);
        if ((fds[1].revents & POLLIN) != 0) {
            const int c = ::accept4(control, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (c >= 0) {
                clients.push_back(c);
            }
        }
    }
    for (int c : clients) {
        ::close(c);
    }
    if (control >= 0) {
        ::unlink(control_path.c_str());
        ::close(control);
    }
    return status;
}
