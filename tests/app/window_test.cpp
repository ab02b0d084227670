// The main window in-process on Qt's offscreen platform, with the program's own skin and an
// in-process device simulator: the scan hand-over, the routing tables, device arrival into the
// mouse page and its view, the selector strip, light control and suspend.
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/control_registry.h"
#include "app/device_option.h"
#include "app/device_page_view.h"
#include "app/main_window.h"
#include "app/notify_dispatch.h"
#include "app/scan_bridge.h"
#include "base/trace.h"
#include "devices/mouse_device.h"
#include "panels/profile_bar.h"
#include "sim/simulator.h"
#include "transport/commands.h"
#include "ui/builder.h"
#include "ui/control_factory.h"
#include "ui/controls.h"
#include "ui/custom_controls.h"
#include "ui/language.h"
#include "ui/skin.h"

namespace {

using namespace zepho7;
using namespace std::chrono_literals;

// ---- The scan hand-over ----

TEST(ScanBridgeTest, CallsRunOnTheUiThreadInOrderAndTheCallerWaitsForThem) {
    app::ScanBridge bridge;
    std::vector<int> ran;
    std::atomic<int> returned{0};
    const auto ui = std::this_thread::get_id();
    std::thread scan([&] {
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(bridge.Call([&, i] {
                EXPECT_EQ(std::this_thread::get_id(), ui);
                ran.push_back(i);
            }));
            // The work is done by the time the call returns.
            EXPECT_EQ(static_cast<int>(ran.size()), i + 1);
            returned = i + 1;
        }
    });
    QTRY_COMPARE_WITH_TIMEOUT(returned.load(), 3, 5000);
    scan.join();
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
}

TEST(ScanBridgeTest, ClosingLetsAWaitingCallGoWithoutRunningIt) {
    app::ScanBridge bridge;
    bool ran = false;
    std::atomic<int> result{-1};
    std::thread scan([&] { result = bridge.Call([&ran] { ran = true; }) ? 1 : 0; });
    // The UI thread is busy (it does not serve the call) and then shuts down: it must not
    // have to serve the call for the scan thread to end.
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(result.load(), -1);
    bridge.Close();
    scan.join();
    EXPECT_EQ(result.load(), 0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
    // Later calls are refused at once, from any thread.
    EXPECT_FALSE(bridge.Call([&ran] { ran = true; }));
    std::thread late([&] { EXPECT_FALSE(bridge.Call([&ran] { ran = true; })); });
    late.join();
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

// ---- Control names ----

TEST(NotifyDispatchTest, NamesSplitAtTheirLastUnderscoreAndRowsMatchByKind) {
    struct Case {
        const char* name;
        const char* prefix;
        int number;
    };
    const Case cases[] = {{"DPI_slider_2", "DPI_slider_", 2},
                          {"mouse_device_seting_option_10", "mouse_device_seting_option_", 10},
                          {"key_butt_keysave", "key_butt_", -1},
                          {"closebtn", "", -1},
                          {"light_", "light_", -1}};
    for (const Case& c : cases) {
        const app::SplitName split = app::SplitControlName(QString::fromLatin1(c.name));
        EXPECT_EQ(split.prefix, QString::fromLatin1(c.prefix)) << c.name;
        EXPECT_EQ(split.number, c.number) << c.name;
    }
    using app::MatchKind;
    const auto matches = [](MatchKind kind, const char* row, const char* name) {
        const QString n = QString::fromLatin1(name);
        return app::RowMatches(kind, row, n, app::SplitControlName(n));
    };
    EXPECT_TRUE(matches(MatchKind::kPrefix, "key_", "KEY_3"));
    EXPECT_FALSE(matches(MatchKind::kPrefix, "key_", "key_butt_keysave"));
    EXPECT_FALSE(matches(MatchKind::kPrefix, "key_", "key_x"));  // no number: not key 0
    EXPECT_TRUE(matches(MatchKind::kName, "closebtn", "CloseBtn"));
    EXPECT_TRUE(matches(MatchKind::kExactName, "profile_fun_spread_btn", "profile_fun_spread_btn"));
    EXPECT_FALSE(
        matches(MatchKind::kExactName, "profile_fun_spread_btn", "Profile_fun_spread_btn"));
}

// ---- The window ----

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        sim_dir_ = folder_.path().toStdString() + "/sim";
        ::setenv("ZEPHO7_SIM_DIR", sim_dir_.c_str(), 1);
        sim_ = std::make_unique<sim::Simulator>(sim_dir_);
        ASSERT_TRUE(sim_->Ready());
        skin_ = std::make_unique<ui::Skin>(QStringLiteral(ZEPHO7_SOURCE_DIR "/skin"));
        app::RegisterControls(factory_);
        language_ = std::make_unique<ui::Language>(*skin_);
        app::CMainWnd::Options options{storage::DataFolders(ZEPHO7_SOURCE_DIR "/DefaultData",
                                                            folder_.path().toStdString() + "/data"),
                                       QString(), devices::ScanOptions{}};
        window_ = std::make_unique<app::CMainWnd>(*skin_, factory_, *language_, options);
        ASSERT_TRUE(window_->CreateMain());
        // The scan's first pass shows the window.
        QTRY_VERIFY_WITH_TIMEOUT(window_->FirstPassDone() && window_->isVisible(), 5000);
        // The mouse page exists before any device.
        const auto pages = window_->Arrival()->Pages(devices::PageList::kMouse);
        ASSERT_EQ(pages.size(), 1u);
        mouse_ = dynamic_cast<devices::CNerioMouseDevice*>(pages.front());
        ASSERT_NE(mouse_, nullptr);
        view_ = dynamic_cast<app::DevicePageView*>(mouse_->View());
        entry_ = window_->EntryOf(*mouse_);
        ASSERT_NE(view_, nullptr);
        ASSERT_NE(entry_, nullptr);
    }
    void TearDown() override {
        window_.reset();
        sim_.reset();
        ::unsetenv("ZEPHO7_SIM_DIR");
    }

    QWidget* Find(const char* name) const {
        return window_->FindControl(QString::fromLatin1(name));
    }
    void Click(const char* name) {
        auto* button = dynamic_cast<QAbstractButton*>(Find(name));
        ASSERT_NE(button, nullptr) << name;
        button->click();
    }
    // Plugs the mouse by cable and waits until its page was read.
    void PlugMouse() {
        ASSERT_TRUE(sim_->Plug(sim::Model::Mouse));
        QTRY_VERIFY_WITH_TIMEOUT(entry_->IsAttached(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(capture_.Contains("active DPI stage 1"), 5000);
    }

    trace::Capture capture_;
    QTemporaryDir folder_;
    std::string sim_dir_;
    std::unique_ptr<sim::Simulator> sim_;
    std::unique_ptr<ui::Skin> skin_;
    ui::ControlFactory factory_;
    std::unique_ptr<ui::Language> language_;
    std::unique_ptr<app::CMainWnd> window_;
    devices::CNerioMouseDevice* mouse_ = nullptr;
    app::DevicePageView* view_ = nullptr;
    app::CDeviceOptionUI* entry_ = nullptr;
};

TEST_F(WindowTest, ArrivalMakesTheMousePageShowItsEntryAndReadIt) {
    // The mouse page exists before any device, its entry hidden.
    EXPECT_FALSE(entry_->IsAttached());
    EXPECT_FALSE(Find("No_device_Link")->isHidden());
    EXPECT_EQ(window_->CurrentDevice(), nullptr);

    PlugMouse();
    EXPECT_TRUE(entry_->IsSelected());
    EXPECT_EQ(window_->CurrentDevice(), mouse_);
    EXPECT_TRUE(Find("No_device_Link")->isHidden());
    EXPECT_EQ(window_->Find<ui::TabLayout>("device_switch")->currentIndex(), entry_->PageIndex());
    // The entry shows the mouse's icons and name.
    EXPECT_EQ(entry_->CurrentImages()[0], "common/device_ico/ms_device_selected.png");
    EXPECT_EQ(qobject_cast<QLabel*>(ui::Window::FindControl(entry_, "device_select_name"))->text(),
              "Mouse");
    // The page was read: every key has its row and its tooltip.
    app::DevicePageView* view = view_;
    EXPECT_EQ(view->KeyInfoRows(), 11);
    EXPECT_TRUE(Find("key_0")->toolTip().contains("Left button"));
    EXPECT_TRUE(Find("mouse_logo_light")->toolTip().startsWith("<b>Logo</b>"));

    // The power panel of the mouse is shown in the status bar.
    EXPECT_EQ(window_->Find<ui::TabLayout>("device_power_switch")->currentIndex(),
              entry_->PowerPanelIndex());

    ASSERT_TRUE(sim_->Unplug(sim::Model::Mouse));
    QTRY_VERIFY_WITH_TIMEOUT(!entry_->IsAttached(), 5000);
    EXPECT_FALSE(Find("No_device_Link")->isHidden());
    EXPECT_EQ(window_->Find<ui::TabLayout>("device_switch")->currentIndex(), 0);
    EXPECT_EQ(window_->Find<ui::TabLayout>("device_power_switch")->currentIndex(), 0);
}

TEST_F(WindowTest, TheViewHandsOutTheMousePageControls) {
    app::DevicePageView* view = view_;
    const devices::ControlId layout = view->FindControl("mouse_device_seting_layout");
    ASSERT_NE(layout, devices::kNoControl);
    // The selection panel is a direct child of the settings layout, its key pictures and LED
    // previews direct children of the panel, with their names, user data and tooltips.
    const auto panels = view->Children(layout);
    ASSERT_FALSE(panels.empty());
    EXPECT_EQ(panels.front().class_name, "SelectPanel");
    int keys = 0;
    bool logo = false;
    for (const devices::ControlInfo& c : view->Children(panels.front().id)) {
        if (c.class_name != "DeviceKeyButton")
            continue;
        keys += c.name.rfind("key_", 0) == 0 ? 1 : 0;
        logo |= c.tooltip == "logo" && c.user_data == "light_3";
    }
    EXPECT_EQ(keys, 11);
    EXPECT_TRUE(logo);
    EXPECT_EQ(view->FindControl("no_such_control"), devices::kNoControl);
    EXPECT_EQ(view->FindControl("mouse_device_page"), devices::kPageRoot);

    // Visible means shown within the page, whichever sub-page or device page is on screen.
    const devices::ControlId key = view->FindControl("key_3");
    EXPECT_TRUE(view->IsVisible(key));
    view->SelectTab(layout, 1);
    EXPECT_TRUE(view->IsVisible(key));
    view->Control(key)->hide();
    EXPECT_FALSE(view->IsVisible(key));
    view->Control(key)->show();
    view->SelectTab(layout, 0);

    // A light tint reaches the key button.
    const devices::ControlId led = view->FindControl("light_1");
    view->SetLightTint(led, 0x00FF00FF, 128, true);
    auto* button = dynamic_cast<ui::DeviceKeyButton*>(view->Control(led));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->TintColour(), 0x00FF00FFu);
    EXPECT_EQ(button->TintLevel(), 128u);

    view->SetTooltip(key, "Forward", "Back\nand forth <fast>");
    EXPECT_EQ(view->Control(key)->toolTip(), "<b>Forward</b><br>Back<br>and forth &lt;fast&gt;");

    // Key information rows: grown as needed, hidden with their key, emptied by a clear.
    view->ClearKeyInfo();
    view->SetKeyInfoRow(2, "Middle", "DPI up", true);
    EXPECT_EQ(view->KeyInfoRows(), 3);
    view->SetKeyInfoRow(0, "Left", "Left", false);
    view->ShowKeyInfo();
    EXPECT_TRUE(capture_.Contains("key information, 1 rows shown"));
    EXPECT_EQ(view->Text("mouse_key_left"), "Left button");
    EXPECT_EQ(view->Text("no_such_entry"), "no_such_entry");
}

TEST_F(WindowTest, StartTimerFromAnotherThreadRunsTheEntryTimerOnTheUiThread) {
    app::DevicePageView* view = view_;
    capture_.Clear();
    // Timer 1002 re-reads the lighting; with no device it does nothing but it is passed on.
    std::thread other([view] { view->StartTimer(devices::kTimerResync, 5); });
    other.join();
    QTRY_VERIFY_WITH_TIMEOUT(!entry_->findChildren<QTimer*>().empty(), 2000);
    QTest::qWait(50);
    // One expiry only: the entry timers fire once.
    for (QTimer* timer : entry_->findChildren<QTimer*>())
        EXPECT_FALSE(timer->isActive());
}

TEST_F(WindowTest, SettingsSubPagesAndFunctionTabsAreRouted) {
    PlugMouse();
    auto* sub_pages = window_->Find<ui::TabLayout>("mouse_device_seting_layout");
    ASSERT_NE(sub_pages, nullptr);
    Click("mouse_device_seting_option_2");
    EXPECT_EQ(sub_pages->currentIndex(), 2);
    Click("mouse_device_seting_option_0");
    EXPECT_EQ(sub_pages->currentIndex(), 0);
    // The function tabs come with the profile bar.
    Click("macro_Op_tab");
    EXPECT_EQ(mouse_->GetFunctionPage(), 3);
    EXPECT_EQ(window_->Find<ui::TabLayout>("device_function_switch")->currentIndex(), 1);
    Click("key_Op_tab");
    EXPECT_EQ(mouse_->GetFunctionPage(), 2);
    EXPECT_EQ(window_->Find<ui::TabLayout>("device_key_function_switch")->currentIndex(), 1);
    // One device: nothing before or after it.
    Click("device_select_prev");
    Click("device_select_next");
    EXPECT_TRUE(entry_->IsSelected());
}

// Frames the mouse got with command `code`.
int CountCommands(const sim::Simulator& sim, uint8_t code) {
    int count = 0;
    for (const sim::Request& r : sim.Requests(sim::Model::Mouse))
        count += r.frame[3] == code ? 1 : 0;
    return count;
}

TEST_F(WindowTest, TheProfileBarSwitchesAndResetsTheMouse) {
    PlugMouse();
    panels::CDeviceProfileUI* bar = view_->ProfileBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetProfileCount(), 1);
    EXPECT_EQ(mouse_->ProfileId(), bar->GetCurrentUuid());
    const std::string first = mouse_->ProfileId();

    // A new profile, then two quick picks in the combo box: one switch, to the last pick.
    Click("device_add_btn");
    ASSERT_EQ(bar->GetProfileCount(), 2);
    EXPECT_EQ(mouse_->ProfileId(), first);
    sim_->ClearRequests(sim::Model::Mouse);
    capture_.Clear();
    bar->SelectProfile(0, true);
    bar->SelectProfile(1, true);
    QTRY_VERIFY_WITH_TIMEOUT(capture_.Contains("profile switch to"), 3000);
    QTest::qWait(500);
    const auto lines = capture_.Lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) {
                                return l.find("profile switch to") != std::string::npos;
                            }),
              1);
    EXPECT_NE(mouse_->ProfileId(), first);
    EXPECT_EQ(mouse_->ProfileId(), bar->GetCurrentUuid());
    // The mouse was written with it: settings block and key table.
    EXPECT_GT(CountCommands(*sim_, kCmdWriteLight), 0);
    EXPECT_GT(CountCommands(*sim_, kCmdWriteKeyTable), 0);

    // Reset, confirmed: the profile is rewritten and written to the mouse again.
    qputenv("ZEPHO7_AUTO_ANSWER", "confirm");
    sim_->ClearRequests(sim::Model::Mouse);
    Click("device_reset_btn");
    qunsetenv("ZEPHO7_AUTO_ANSWER");
    EXPECT_GT(CountCommands(*sim_, kCmdWriteLight), 0);
    EXPECT_GT(CountCommands(*sim_, kCmdWriteKeyTable), 0);
}

TEST_F(WindowTest, LightControlAndSuspendTellThePages) {
    PlugMouse();
    Click("control_light_status");
    EXPECT_EQ(window_->LightControlState(), 0);
    EXPECT_FALSE(mouse_->LightingEnabled());
    EXPECT_EQ(qobject_cast<QAbstractButton*>(Find("control_light_status"))->text(),
              "Lighting: other program");
    // Asked by another program over D-Bus: take the lighting back.
    EXPECT_TRUE(window_->HandleSharedMessage("{4695579F-999A-41d4-9FAF-EFFCE93EBF17}", 1, 1));
    EXPECT_EQ(window_->LightControlState(), 1);
    EXPECT_TRUE(mouse_->LightingEnabled());

    // A suspend switches the lighting off; the resume restores the state from before.
    window_->OnPrepareForSleep(true);
    EXPECT_FALSE(mouse_->LightingEnabled());
    window_->OnPrepareForSleep(false);
    EXPECT_TRUE(mouse_->LightingEnabled());
    Click("control_light_status");
    window_->OnPrepareForSleep(true);
    window_->OnPrepareForSleep(false);
    EXPECT_FALSE(mouse_->LightingEnabled());
}

TEST_F(WindowTest, DevicesThatComeWhileTheMachineSleepsAreTakenOnResume) {
    window_->OnPrepareForSleep(true);
    ASSERT_TRUE(sim_->Plug(sim::Model::Mouse));
    // The scan reports the mouse; the window keeps it for the resume.
    QTRY_VERIFY_WITH_TIMEOUT(capture_.Contains("kept for the resume"), 5000);
    QTest::qWait(100);
    EXPECT_FALSE(entry_->IsAttached());
    window_->OnPrepareForSleep(false);
    EXPECT_TRUE(entry_->IsAttached());
}

TEST_F(WindowTest, ExitLetsGoOfAScanWaitingForTheUiThread) {
    // The UI thread is busy while the mouse arrives: the scan waits for it to take the arrival.
    ASSERT_TRUE(sim_->Plug(sim::Model::Mouse));
    for (int i = 0; i < 250 && !capture_.Contains("arrived"); ++i)
        std::this_thread::sleep_for(20ms);  // events are not served meanwhile
    ASSERT_TRUE(capture_.Contains("arrived"));
    std::this_thread::sleep_for(50ms);
    capture_.Clear();
    window_->Exit();
    // The scan ended at once instead of after its stop's time-out, and the arrival that was
    // given up never ran.
    EXPECT_TRUE(capture_.Contains("抓取设备线程设定退出"));
    EXPECT_FALSE(capture_.Contains("超时"));
    QCoreApplication::processEvents();
    EXPECT_FALSE(entry_->IsAttached());
}

TEST_F(WindowTest, PreviousAndNextStepOverHiddenEntriesWithoutWrapping) {
    // Three more entries with device objects of their own, in the strip after the mouse's.
    QWidget* strip = Find("device_select_layout");
    std::vector<std::unique_ptr<devices::CNerioUSBDevice>> pages;
    std::vector<app::CDeviceOptionUI*> entries;
    for (int i = 0; i < 3; ++i) {
        QWidget* built = ui::Builder(*window_).Build(
            "XML/CustomControlXML/DeviceOption.xml", strip,
            [this](const QString& tag, QWidget* parent) -> QWidget* {
                return tag == "DeviceOption" ? factory_.Create("CDeviceOptionUI", parent) : nullptr;
            });
        auto* entry = dynamic_cast<app::CDeviceOptionUI*>(built);
        ASSERT_NE(entry, nullptr);
        entry->BindInnerControls();
        entry->BindTab("device_switch", 0, "tab_header_device");
        pages.push_back(std::make_unique<devices::CNerioUSBDevice>());
        entry->LinkPage(pages.back().get());
        entries.push_back(entry);
    }
    window_->ShowEntry(*pages[0], true, true);
    window_->ShowEntry(*pages[1], false, false);
    window_->ShowEntry(*pages[2], true, false);
    EXPECT_EQ(window_->VisibleEntryCount(), 2);
    Click("device_select_prev");  // the mouse's entry is hidden: nothing before
    EXPECT_TRUE(entries[0]->IsSelected());
    Click("device_select_next");  // skips the hidden one
    EXPECT_TRUE(entries[2]->IsSelected());
    EXPECT_FALSE(entries[0]->IsSelected());
    Click("device_select_next");  // the last: no wrap
    EXPECT_TRUE(entries[2]->IsSelected());
    Click("device_select_prev");
    EXPECT_TRUE(entries[0]->IsSelected());

    // Synchronise marks need two marked, visible devices.
    entries[0]->SetSynchronised(true);
    window_->ShowEntry(*pages[2], true, false);
    EXPECT_FALSE(entries[0]->Synchronised());
    EXPECT_EQ(entries[0]->CurrentImages()[1], "common/device_ico/unknow_device_normal.png");
    for (app::CDeviceOptionUI* entry : entries)
        delete entry;  // before their device objects
}

}  // namespace
