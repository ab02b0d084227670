// Zepho7's entry point: private fonts, single instance, skin and controls, the shared
// messages on D-Bus, the main window and the event loop; exit code 0 on every path.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "app/control_registry.h"
#include "app/dbus_service.h"
#include "app/fonts.h"
#include "app/main_window.h"
#include "app/shared_messages.h"
#include "app/single_instance.h"
#include "base/trace.h"
#include "sim/simulator.h"
#include "transport/hid_interface.h"
#include "ui/control_factory.h"
#include "ui/language.h"
#include "ui/skin.h"

namespace {

using namespace zepho7;

int g_signal_fd = -1;  // write end of the signal pipe

void OnSignal(int) {
    const char byte = 1;
    // Nothing to do when the pipe is full: one byte is enough to end the program.
    [[maybe_unused]] const ssize_t n = ::write(g_signal_fd, &byte, 1);
}

// Whether a configurable peripheral of ours is among the HID collections.
bool PeripheralAttached() {
    hid::HidInterface lister;
    if (!lister.Enumerate())
        return false;
    while (const char* path = lister.NextPath()) {
        if (hid::ParseHexAfter(path, "vid_") == 0x320F && hid::ParseHexAfter(path, "&mi_") == 1)
            return true;
    }
    return false;
}

QString SkinFolder(const QString& program_folder) {
    const QByteArray env = qgetenv("ZEPHO7_SKIN_DIR");
    return env.isEmpty() ? program_folder + QStringLiteral("/skin") : QString::fromLocal8Bit(env);
}

std::string SimulatorFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string base = runtime != nullptr && runtime[0] != '\0'
                                 ? runtime
                                 : "/tmp/zepho7-" + std::to_string(::getuid());
    return base + "/zepho7-sim-" + std::to_string(::getpid());
}

void Usage() {
    std::printf(
        "Usage: zepho7 [--sim] [--trace]\n"
        "Configures Zepho7 peripherals. Without one attached it runs with a simulated mouse.\n"
        "  --sim    use a simulated mouse even when a real device is attached\n"
        "  --trace  print the diagnostic trace (same as ZEPHO7_TRACE=1)\n"
        "With ZEPHO7_SIM_DIR set it uses the devices of that zepho7-sim folder instead.\n");
}

}  // namespace

int main(int argc, char** argv) {
    bool force_sim = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sim") == 0) {
            force_sim = true;
        } else if (std::strcmp(argv[i], "--trace") == 0) {
            trace::SetEnabled(true);
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            Usage();
            return 0;
        }
        // Other arguments are ignored: the program has no command line beyond these.
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(app::kProductName));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x11, 0x13, 0x18));
    palette.setColor(QPalette::WindowText, QColor(0xE6, 0xE8, 0xEE));
    palette.setColor(QPalette::Base, QColor(0x17, 0x1A, 0x21));
    palette.setColor(QPalette::Text, QColor(0xE6, 0xE8, 0xEE));
    palette.setColor(QPalette::Button, QColor(0x1F, 0x24, 0x30));
    palette.setColor(QPalette::ButtonText, QColor(0xE6, 0xE8, 0xEE));
    palette.setColor(QPalette::Highlight, QColor(0x22, 0xD3, 0xEE));
    palette.setColor(QPalette::HighlightedText, QColor(0x0B, 0x0E, 0x13));
    QApplication::setPalette(palette);
    const QString program_folder = QCoreApplication::applicationDirPath();

    app::PrivateFonts fonts(program_folder);

    // One copy per user: a later start brings the first copy's window to the front.
    app::CMainWnd* main_window = nullptr;
    app::SingleInstance instance;
    if (!instance.Acquire([&main_window] {
            if (main_window != nullptr)
                main_window->OnInstanceMessage(0, 1);
        })) {
        Z7_TRACE("软件标示：%s (second copy)", app::kInstanceMessage);
        if (!instance.AskFirstToRaise(3000))
            Z7_TRACE("the running copy did not answer");
        return 0;
    }

    // SIGTERM and SIGINT take the same path as "exit" of the tray menu.
    int pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> signal_notifier;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipe) == 0) {
        g_signal_fd = pipe[1];
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
        signal_notifier = std::make_unique<QSocketNotifier>(pipe[0], QSocketNotifier::Read);
        QObject::connect(signal_notifier.get(), &QSocketNotifier::activated, [&main_window] {
            if (main_window != nullptr)
                main_window->Exit();
            else
                QCoreApplication::quit();
        });
    }

    // Skin and the program's controls.
    const ui::Skin skin(SkinFolder(program_folder));
    if (!skin.IndexLoaded())
        Z7_TRACE("skin: no res.xml in %s", qPrintable(skin.Folder()));
    ui::ControlFactory factory;
    app::RegisterControls(factory);
    ui::Language language(skin);

    // The shared messages.
    app::DBusService bus([&main_window](const QString& message, int w, int l) {
        return main_window != nullptr && main_window->HandleSharedMessage(message, w, l);
    });
    (void)bus.Start();

    // A simulator the user runs (zepho7-sim) is used as it is. Otherwise, with no supported
    // device attached, the program plugs a simulated mouse of its own, so the user sees the
    // program work before buying anything.
    std::unique_ptr<sim::Simulator> simulator;
    std::string simulator_folder;
    const char* outside_simulator = std::getenv("ZEPHO7_SIM_DIR");
    if (outside_simulator != nullptr && outside_simulator[0] != '\0') {
        Z7_TRACE("devices: simulator folder %s", outside_simulator);
    } else if (force_sim || !PeripheralAttached()) {
        simulator_folder = SimulatorFolder();
        simulator = std::make_unique<sim::Simulator>(simulator_folder);
        if (simulator->Ready() && simulator->Plug(sim::Model::Mouse)) {
            ::setenv("ZEPHO7_SIM_DIR", simulator_folder.c_str(), 1);
            Z7_TRACE("no device attached: simulated mouse in %s", simulator_folder.c_str());
        } else {
            Z7_TRACE("cannot start the device simulator in %s", simulator_folder.c_str());
            simulator.reset();
        }
    }

    {
        app::CMainWnd::Options options;
        const QByteArray home = qgetenv("ZEPHO7_HOME_PAGE");
        options.home_page =
            home.isEmpty() ? QString::fromLatin1(app::kHomePage) : QString::fromUtf8(home);
        app::CMainWnd window(skin, factory, language, std::move(options));
        window.SetBus(&bus);
        window.SetFirstShownHook([&fonts] { fonts.LoadRest(); });
        // The window shows once the device scan's first pass is done.
        if (window.CreateMain()) {
            main_window = &window;
            QApplication::exec();
            main_window = nullptr;
        } else {
            std::fprintf(stderr, "zepho7: cannot read the skin in %s\n", qPrintable(skin.Folder()));
        }
    }

    if (simulator) {
        simulator.reset();
        std::error_code ignored;
        std::filesystem::remove_all(simulator_folder, ignored);
    }
    signal_notifier.reset();
    if (pipe[0] >= 0) {
        ::signal(SIGTERM, SIG_DFL);
        ::signal(SIGINT, SIG_DFL);
        g_signal_fd = -1;
        ::close(pipe[0]);
        ::close(pipe[1]);
    }
    return 0;
}
