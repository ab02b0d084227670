// The program end to end under its own Xvfb: start, single instance, tray menu, SIGTERM and the
// D-Bus name. The test binary runs under dbus-run-session; a tray host is started where needed.
// gtest first: X11 defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr char kTitle[] = "Zepho7 Gaming Mouse 1.0";

// A child process; killed (SIGKILL) if still running when the object goes.
class Process {
  public:
    Process(std::vector<std::string> args, std::vector<std::string> env = {}, int out_fd = -1) {
        pid_ = ::fork();
        if (pid_ == 0) {
            for (const auto& e : env)
                ::putenv(const_cast<char*>(e.c_str()));
            if (out_fd >= 0)
                ::dup2(out_fd, 3);
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            if (!std::getenv("E2E_VERBOSE"))
                ::dup2(null, 2);
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~Process() {
        if (pid_ > 0 && !done_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    // Exit status, or -1 when it did not end in time.
    int Wait(int timeout_ms) {
        const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
        while (Clock::now() < end) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                done_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }
    void Signal(int sig) const { ::kill(pid_, sig); }
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    bool done_ = false;
};

class E2eTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char folder[] = "/tmp/zepho7-e2e-XXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        runtime_ = folder;
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        xvfb_ = std::make_unique<Process>(
            std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen", "0", "1366x768x24",
                                     "-nolisten", "tcp"},
            std::vector<std::string>{}, fds[1]);
        ::close(fds[1]);
        // Xvfb writes the display number and a newline once it accepts connections.
        std::string number;
        char c = 0;
        while (::read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(fds[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        display_ = ":" + number;
        ASSERT_TRUE(WaitFor([&] { return (x_ = XOpenDisplay(display_.c_str())) != nullptr; }, 5000))
            << "cannot open " << display_;
    }
    void TearDown() override {
        if (x_)
            XCloseDisplay(x_);
        if (xvfb_) {
            xvfb_->Signal(SIGTERM);  // lets it remove its lock file and socket
            (void)xvfb_->Wait(5000);
        }
        xvfb_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(runtime_, ignored);
    }

    std::vector<std::string> Env() const {
        return {"DISPLAY=" + display_, "XDG_RUNTIME_DIR=" + runtime_};
    }
    std::unique_ptr<Process> Start() {
        return std::make_unique<Process>(std::vector<std::string>{ZEPHO7_PROGRAM}, Env());
    }

    // Polls the server (the test waits; the program is not disturbed by it).
    bool WaitFor(const std::function<bool()>& condition, int timeout_ms = 15000) {
        const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
        while (Clock::now() < end) {
            if (condition())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // The viewable top-level window with the program's title, or 0.
    Window MainWindow() {
        Window root = DefaultRootWindow(x_), parent = 0, *children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (!XQueryTree(x_, root, &root, &parent, &children, &count))
            return 0;
        for (unsigned i = 0; i < count && !found; ++i) {
            char* name = nullptr;
            XWindowAttributes wa;
            if (XFetchName(x_, children[i], &name) && name) {
                if (std::strcmp(name, kTitle) == 0 && XGetWindowAttributes(x_, children[i], &wa) &&
                    wa.map_state == IsViewable)
                    found = children[i];
                XFree(name);
            }
        }
        if (children)
            XFree(children);
        return found;
    }

    // A small viewable window of the program inside the tray host (the tray icon), or 0.
    Window TrayIcon(Window w) {
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(x_, w, &root, &parent, &children, &count))
            return 0;
        Window found = 0;
        for (unsigned i = 0; i < count && !found; ++i) {
            XClassHint hint{};
            XWindowAttributes wa;
            if (XGetClassHint(x_, children[i], &hint)) {
                const bool ours = hint.res_class && std::strcmp(hint.res_class, "Zepho7") == 0;
                XFree(hint.res_name);
                XFree(hint.res_class);
                if (ours && XGetWindowAttributes(x_, children[i], &wa) &&
                    wa.map_state == IsViewable && wa.width <= 64 && w != DefaultRootWindow(x_))
                    found = children[i];
            }
            if (!found)
                found = TrayIcon(children[i]);
        }
        if (children)
            XFree(children);
        return found;
    }

    void ClickAt(Window w, int x, int y, unsigned button) {
        Window child;
        int rx = 0, ry = 0;
        XTranslateCoordinates(x_, w, DefaultRootWindow(x_), x, y, &rx, &ry, &child);
        XTestFakeMotionEvent(x_, -1, rx, ry, 0);
        XTestFakeButtonEvent(x_, button, True, 0);
        XTestFakeButtonEvent(x_, button, False, 0);
        XSync(x_, False);
    }
    void Key(KeySym sym) {
        const KeyCode code = XKeysymToKeycode(x_, sym);
        XTestFakeKeyEvent(x_, code, True, 0);
        XTestFakeKeyEvent(x_, code, False, 0);
        XSync(x_, False);
    }

    std::string runtime_, display_;
    std::unique_ptr<Process> xvfb_;
    Display* x_ = nullptr;
};

TEST_F(E2eTest, StartsIntoItsWindowAndEndsCleanlyOnSigterm) {
    auto program = Start();
    ASSERT_TRUE(WaitFor([&] { return MainWindow() != 0; })) << "no window";
    XWindowAttributes wa;
    ASSERT_TRUE(XGetWindowAttributes(x_, MainWindow(), &wa));
    EXPECT_EQ(wa.width, 1000);
    EXPECT_EQ(wa.height, 640);
    // The simulated mouse was plugged in its own folder.
    bool simulated = false;
    for (const auto& entry : std::filesystem::directory_iterator(runtime_))
        simulated |= entry.path().filename().string().rfind("zepho7-sim-", 0) == 0;
    EXPECT_TRUE(simulated);
    program->Signal(SIGTERM);
    EXPECT_EQ(program->Wait(5000), 0);
    for (const auto& entry : std::filesystem::directory_iterator(runtime_))
        EXPECT_NE(entry.path().filename().string().rfind("zepho7-sim-", 0), 0u) << "left behind";
}

TEST_F(E2eTest, SecondStartRaisesTheFirstFromTheTrayAndExitsZero) {
    Process tray({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                  "--height", "32", "--SetDockType", "false"},
                 Env());
    auto first = Start();
    ASSERT_TRUE(WaitFor([&] { return MainWindow() != 0; }));
    const Window window = MainWindow();
    ASSERT_TRUE(WaitFor([&] { return TrayIcon(DefaultRootWindow(x_)) != 0; })) << "no tray icon";
    // The close button (top right) hides the window to the tray.
    ClickAt(window, 1000 - 10 - 18, 28, Button1);
    ASSERT_TRUE(WaitFor([&] { return MainWindow() == 0; })) << "close did not hide the window";

    Process second({ZEPHO7_PROGRAM}, Env());
    EXPECT_EQ(second.Wait(10000), 0);
    EXPECT_TRUE(WaitFor([&] { return MainWindow() != 0; })) << "the first copy did not come back";

    // "exit" of the tray menu (its last item) ends the program with 0.
    const Window icon = TrayIcon(DefaultRootWindow(x_));
    ASSERT_NE(icon, 0u);
    ClickAt(icon, 4, 4, Button3);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Key(XK_Up);
    Key(XK_Return);
    EXPECT_EQ(first->Wait(10000), 0);
}

TEST_F(E2eTest, OwnsItsNameOnTheSessionBus) {
    auto program = Start();
    ASSERT_TRUE(WaitFor([&] { return MainWindow() != 0; }));
    const auto call = [](const std::string& args) {
        return std::system(("dbus-send --session --print-reply --dest=io.zepho7.Zepho7 "
                            "/io/zepho7/Zepho7 io.zepho7.Zepho7.Post " +
                            args + " >/dev/null 2>&1")
                               .c_str());
    };
    EXPECT_EQ(call("string:Zepho7 int32:0 int32:1"), 0);
    EXPECT_EQ(call("string:{4695579F-999A-41d4-9FAF-EFFCE93EBF17} int32:1 int32:0"), 0);
    EXPECT_NE(call("string:no-such-message int32:0 int32:0"), 0);
    program->Signal(SIGTERM);
    EXPECT_EQ(program->Wait(5000), 0);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
