// The program end to end under its own Xvfb: start, single instance, tray icon and menu, SIGTERM,
// the D-Bus name, and devices plugged and pulled in a separate zepho7-sim process. The test
// binary runs under dbus-run-session; a tray host is started where needed.
//
// What the program does is observed from outside: the X server (its window mapped or not, the
// tray icon), the simulator's statistics and the program's trace on stderr (ZEPHO7_TRACE=1),
// whose "window: ..." lines name the states of the selector strip and the pages.
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
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr char kTitle[] = "Zepho7 Gaming Mouse 1.0";

// A child process; killed (SIGKILL) if still running when the object goes. `err_file`: where
// its stderr goes (else nowhere, unless E2E_VERBOSE is set).
class Process {
  public:
    Process(std::vector<std::string> args, std::vector<std::string> env = {}, int out_fd = -1,
            const std::string& err_file = {}) {
        pid_ = ::fork();
        if (pid_ == 0) {
            for (const auto& e : env)
                ::putenv(const_cast<char*>(e.c_str()));
            if (out_fd >= 0)
                ::dup2(out_fd, 3);
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            if (!err_file.empty())
                ::dup2(::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
            else if (!std::getenv("E2E_VERBOSE"))
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

// zepho7-sim in a folder of its own, driven with --send.
class SimulatorTool {
  public:
    explicit SimulatorTool(std::string dir)
        : dir_(std::move(dir)),
          process_({ZEPHO7_SIM_PROGRAM, "--dir", dir_, "--no-stdin", "mouse"}) {
        for (int i = 0; i < 250 && !std::filesystem::exists(dir_ + "/control"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ~SimulatorTool() {
        process_.Signal(SIGTERM);
        (void)process_.Wait(5000);
    }
    const std::string& Dir() const { return dir_; }
    // The answer of one command.
    std::string Send(const std::string& command) const {
        const std::string line =
            std::string(ZEPHO7_SIM_PROGRAM) + " --dir " + dir_ + " --send \"" + command + "\" 2>&1";
        std::string answer;
        if (FILE* out = ::popen(line.c_str(), "r")) {
            char buffer[512];
            while (std::fgets(buffer, sizeof buffer, out) != nullptr)
                answer += buffer;
            ::pclose(out);
        }
        return answer;
    }
    // A number of the mouse's statistics line ("requests", "sessions", ...).
    long MouseStat(const std::string& name) const {
        std::istringstream lines(Send("stats"));
        std::string line;
        while (std::getline(lines, line)) {
            const size_t at = line.find(" " + name + "=");
            if (line.rfind("mouse", 0) == 0 && at != std::string::npos)
                return std::stol(line.substr(at + name.size() + 2));
        }
        return -1;
    }

  private:
    std::string dir_;
    Process process_;
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
        return {"DISPLAY=" + display_, "XDG_RUNTIME_DIR=" + runtime_,
                "XDG_DATA_HOME=" + runtime_ + "/data"};
    }
    std::unique_ptr<Process> Start() {
        return std::make_unique<Process>(std::vector<std::string>{ZEPHO7_PROGRAM}, Env());
    }
    // The program against the simulator folder `sim_dir`, its trace in trace_file_.
    std::unique_ptr<Process> StartTraced(const std::string& sim_dir) {
        trace_file_ = runtime_ + "/trace.txt";
        auto env = Env();
        env.push_back("ZEPHO7_SIM_DIR=" + sim_dir);
        env.push_back("ZEPHO7_TRACE=1");
        return std::make_unique<Process>(std::vector<std::string>{ZEPHO7_PROGRAM}, env, -1,
                                         trace_file_);
    }
    // How many trace lines contain `text`.
    int TraceCount(const std::string& text) const {
        std::ifstream in(trace_file_);
        std::string line;
        int count = 0;
        while (std::getline(in, line))
            count += line.find(text) != std::string::npos ? 1 : 0;
        return count;
    }
    bool WaitTrace(const std::string& text, int count = 1, int timeout_ms = 10000) {
        return WaitFor([&] { return TraceCount(text) >= count; }, timeout_ms);
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

    std::string runtime_, display_, trace_file_;
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

TEST_F(E2eTest, ClosingHidesToTheTrayWhoseIconAndASecondStartBringItBack) {
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
    // A left click on the tray icon shows it again; another hides it.
    ASSERT_TRUE(WaitFor([&] { return TrayIcon(DefaultRootWindow(x_)) != 0; }));
    ClickAt(TrayIcon(DefaultRootWindow(x_)), 4, 4, Button1);
    ASSERT_TRUE(WaitFor([&] { return MainWindow() != 0; })) << "the tray icon did not show it";
    // Past the double-click time, so that the next click is a click of its own.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ClickAt(TrayIcon(DefaultRootWindow(x_)), 4, 4, Button1);
    ASSERT_TRUE(WaitFor([&] { return MainWindow() == 0; })) << "the tray icon did not hide it";

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

TEST_F(E2eTest, OwnsItsNameOnTheSessionBusAndAnswersTheDeviceListRequest) {
    auto program = Start();
    ASSERT_TRUE(WaitFor([&] { return MainWindow() != 0; }));
    const std::string signals = runtime_ + "/signals.txt";
    const auto call = [](const std::string& args) {
        return std::system(("dbus-send --session --print-reply --dest=io.zepho7.Zepho7 "
                            "/io/zepho7/Zepho7 io.zepho7.Zepho7.Post " +
                            args + " >/dev/null 2>&1")
                               .c_str());
    };
    EXPECT_EQ(call("string:Zepho7 int32:0 int32:1"), 0);
    EXPECT_EQ(call("string:{4695579F-999A-41d4-9FAF-EFFCE93EBF17} int32:1 int32:0"), 0);
    EXPECT_NE(call("string:no-such-message int32:0 int32:0"), 0);
    // The device list goes out as the signal DeviceList: version 2.3.0.2, four device types.
    const std::string listen =
        "timeout 5 dbus-monitor --session \"type='signal',member='DeviceList'\" > " + signals +
        " 2>&1 &";
    ASSERT_EQ(std::system(listen.c_str()), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(call("string:{4695579F-999A-41d4-9FAF-EFFCE93EBF18} int32:0 int32:0"), 0);
    EXPECT_TRUE(WaitFor(
        [&] {
            std::ifstream in(signals);
            std::stringstream text;
            text << in.rdbuf();
            return text.str().find("02 00 00 00 03 00 00 00 00 00 00 00 02 00 00 00 04 00 00 00") !=
                   std::string::npos;
        },
        5000))
        << "no DeviceList signal";
    program->Signal(SIGTERM);
    EXPECT_EQ(program->Wait(5000), 0);
}

TEST_F(E2eTest, DevicesPluggedAndPulledInTheSimulatorComeAndGo) {
    SimulatorTool sim(runtime_ + "/sim");
    ASSERT_NE(sim.Send("unplug mouse").find("unplugged"), std::string::npos);
    auto program = StartTraced(sim.Dir());

    // The window shows once the first scan is done, with nothing attached.
    ASSERT_TRUE(WaitFor([&] { return MainWindow() != 0; })) << "no window";
    EXPECT_TRUE(WaitTrace("window: the first device scan is done"));
    EXPECT_TRUE(WaitTrace("window: shown with No_device_Link"));

    // A mouse by cable: its entry shows and its page is read.
    sim.Send("plug mouse");
    EXPECT_TRUE(WaitTrace("window: entry mouse shown"));
    EXPECT_TRUE(WaitTrace("window: No_device_Link hidden"));
    EXPECT_TRUE(WaitTrace("active DPI stage 1"));
    EXPECT_TRUE(WaitTrace("window: mouse by cable"));
    EXPECT_GT(sim.MouseStat("sessions"), 0);

    // Its receiver too: the page stays on the cable. Then the cable goes: the page moves to
    // the receiver and the entry stays.
    sim.Send("plug mouse:receiver");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(TraceCount("through the receiver"), 0);
    sim.Send("unplug mouse:cable");
    EXPECT_TRUE(WaitTrace("window: mouse through the receiver"));
    EXPECT_EQ(TraceCount("window: entry mouse hidden"), 0);

    // Everything pulled: "No_device_Link".
    sim.Send("unplug mouse:receiver");
    EXPECT_TRUE(WaitTrace("window: entry mouse hidden"));
    EXPECT_TRUE(WaitTrace("window: No_device_Link shown"));

    // A receiver whose mouse is off shows no entry; switched on, the mouse appears within the
    // receiver check's 3 s.
    sim.Send("link off");
    sim.Send("plug mouse:receiver");
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    EXPECT_EQ(TraceCount("window: entry mouse shown"), 1);
    sim.Send("link on");
    EXPECT_TRUE(WaitTrace("window: entry mouse shown", 2, 4500));
    sim.Send("unplug mouse:receiver");
    EXPECT_TRUE(WaitTrace("window: No_device_Link shown", 2));

    program->Signal(SIGTERM);
    EXPECT_EQ(program->Wait(5000), 0);
    EXPECT_EQ(TraceCount("超时"), 0) << "a thread did not stop in time";
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
