// Device arrival against the simulator: the real scan fills the slot table and reports each
// collection, a small shell stands in for the window (entries and their selection), and the
// tests fire the entry timers the pages started.
#include "devices/device_arrival.h"

#include <algorithm>
#include <map>
#include <thread>

#include "base/le.h"
#include "base/trace.h"
#include "devices/device_scan.h"
#include "devices/mouse_device.h"
#include "sim_fixture.h"

namespace zepho7::devices {
namespace {

using namespace std::chrono_literals;
using sim::Link;
using sim::Model;

// A page without controls that remembers which entry timers are pending.
class EntryView : public DeviceView {
  public:
    std::vector<ControlInfo> Children(ControlId) override { return {}; }
    ControlId FindControl(std::string_view) override { return kNoControl; }
    bool IsVisible(ControlId) override { return false; }
    void SetLightTint(ControlId, uint32_t, uint8_t, bool) override {}
    void SetTooltip(ControlId, std::string_view, std::string_view) override {}
    void Repaint(ControlId) override {}
    void SelectTab(ControlId, int) override {}
    void StartTimer(int id, int interval_ms) override {
        std::lock_guard lock(mutex_);
        pending_[id] = interval_ms;
    }
    void SetPowerPanelBattery(bool) override {}
    void ShowPowerStatus(std::span<const uint8_t>) override {}
    void ClearKeyInfo() override {}
    void SetKeyInfoRow(int, std::string_view, std::string_view, bool) override {}
    void ShowKeyInfo() override {}
    std::string Text(std::string_view entry) override { return std::string(entry); }
    void ShowAudioLight(const storage::AudioLightRecord&) override {}
    std::optional<storage::AudioLightRecord> ReadAudioLight() override { return std::nullopt; }

    // The interval timer `id` was last started with; -1 when it is not pending.
    int Interval(int id) {
        std::lock_guard lock(mutex_);
        const auto it = pending_.find(id);
        return it == pending_.end() ? -1 : it->second;
    }
    bool Take(int id) {
        std::lock_guard lock(mutex_);
        return pending_.erase(id) == 1;
    }

  private:
    std::mutex mutex_;
    std::map<int, int> pending_;
};

// The window's part: the mouse row gets a real mouse, other rows the device base.
class TestShell : public DeviceShell {
  public:
    TestShell(LiveSlotTable& slots, storage::DataFolders folders)
        : slots_(slots), folders_(std::move(folders)) {}

    std::unique_ptr<CNerioUSBDevice> CreatePage(int type_row, int config_slot, int) override {
        const DeviceTypeInfo& t = kDeviceTypes[static_cast<size_t>(type_row)];
        std::unique_ptr<CNerioUSBDevice> page;
        if (t.kind == kKindMouse)
            page = std::make_unique<CNerioMouseDevice>(folders_);
        else
            page = std::make_unique<CNerioUSBDevice>();
        page->SetView(std::make_unique<EntryView>());
        page->SetPageLayoutFile(std::string(t.page_layout));
        page->SetKeyCount(t.key_count);
        page->SetLedCount(t.led_count);
        page->SetTypeRow(type_row);
        page->SetHasBattery(t.has_battery);
        page->SetLogoPreviewLed(t.logo_preview_led);
        page->SetProfileId("");
        page->SetTypeName(std::string(t.type_name));
        page->SetPowerPanel(1);
        page->SetIdentity(slots_.Get(config_slot));
        page->SetTypeIndex(t.type_index);
        page->SetLightDataName(std::string(t.light_data_name));
        page->BuildPage();
        entries_.push_back({page.get(), false});
        return page;
    }
    bool EntryVisible(const CNerioUSBDevice& page) const override { return Entry(page).visible; }
    bool EntrySelected(const CNerioUSBDevice& page) const override { return selected_ == &page; }
    void ShowEntry(CNerioUSBDevice& page, bool visible, bool select) override {
        Entry(page).visible = visible;
        if (select)
            selected_ = &page;
    }
    int VisibleEntryCount() const override {
        return static_cast<int>(
            std::count_if(entries_.begin(), entries_.end(), [](const E& e) { return e.visible; }));
    }
    void SelectFirstVisibleEntry() override {
        for (const E& e : entries_) {
            if (e.visible) {
                selected_ = e.page;
                return;
            }
        }
    }
    void OnSelectedDeviceLeft() override { ++selected_left; }
    void RaiseWindow() override { ++raises; }

    int selected_left = 0;
    int raises = 0;

  private:
    struct E {
        const CNerioUSBDevice* page;
        bool visible;
    };
    E& Entry(const CNerioUSBDevice& page) {
        return *std::find_if(entries_.begin(), entries_.end(),
                             [&](const E& e) { return e.page == &page; });
    }
    const E& Entry(const CNerioUSBDevice& page) const {
        return const_cast<TestShell*>(this)->Entry(page);
    }

    LiveSlotTable& slots_;
    storage::DataFolders folders_;
    std::vector<E> entries_;
    const CNerioUSBDevice* selected_ = nullptr;
};

class ArrivalTest : public testing::SimTest, public ScanListener {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        user_ = dir_ + "-user";
        shell_ = std::make_unique<TestShell>(
            slots_,
            storage::DataFolders(std::filesystem::path(ZEPHO7_SOURCE_DIR) / "DefaultData", user_));
        arrival_ = std::make_unique<DeviceArrival>(slots_, *shell_);
        scanner_ = std::make_unique<DeviceScanner>(slots_, *this);
    }
    void TearDown() override {
        scanner_.reset();
        arrival_.reset();
        shell_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(user_, ignored);
        SimTest::TearDown();
    }

    void OnDeviceArrived(int slot) override { arrival_->OnConnected(slot); }
    void OnDeviceRemoved(int slot) override { arrival_->OnDisconnected(slot); }
    void OnFirstPass() override {}

    // One scan cycle on this thread: arrivals and removals are handled before it returns.
    void Scan() { static_cast<void>(scanner_->RunCycle()); }
    void Plug(Model model, Link link = Link::Cable) { ASSERT_TRUE(Sim().Plug(model, link)); }
    void Unplug(Model model, Link link = Link::Cable) { ASSERT_TRUE(Sim().Unplug(model, link)); }

    CNerioUSBDevice& Page(int type_row) {
        CNerioUSBDevice* page = arrival_->PageForTypeRow(type_row);
        EXPECT_NE(page, nullptr);
        return *page;
    }
    CNerioMouseDevice& Mouse() { return static_cast<CNerioMouseDevice&>(Page(0)); }
    static EntryView& View(CNerioUSBDevice& page) { return static_cast<EntryView&>(*page.View()); }
    // Fires a pending entry timer; false when it was not started.
    bool Fire(CNerioUSBDevice& page, int id) {
        if (!View(page).Take(id))
            return false;
        arrival_->OnEntryTimer(page, id);
        return true;
    }
    bool Visible(CNerioUSBDevice& page) { return shell_->EntryVisible(page); }
    bool Selected(CNerioUSBDevice& page) { return shell_->EntrySelected(page); }

    std::filesystem::path user_;
    LiveSlotTable slots_;
    std::unique_ptr<TestShell> shell_;
    std::unique_ptr<DeviceArrival> arrival_;
    std::unique_ptr<DeviceScanner> scanner_;
};

size_t CountLines(const trace::Capture& capture, std::string_view text) {
    const auto lines = capture.Lines();
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& l) {
        return l.find(text) != std::string::npos;
    }));
}

TEST_F(ArrivalTest, CableMouseIsShownSelectedAndReadOnItsFirstTimer) {
    arrival_->CreateInitialPages();
    ASSERT_NE(arrival_->PageForTypeRow(1), nullptr);  // the keyboard page exists in advance
    trace::Capture capture;
    Plug(Model::Mouse);
    Scan();
    CNerioMouseDevice& mouse = Mouse();
    EXPECT_TRUE(mouse.Transceiver().IsOpen());
    EXPECT_FALSE(mouse.Transceiver().IsWireless());
    EXPECT_TRUE(mouse.NotificationOpen(kLinkCable));
    EXPECT_TRUE(Visible(mouse));
    EXPECT_TRUE(Selected(mouse));
    EXPECT_FALSE(Visible(Page(1)));
    EXPECT_EQ(shell_->raises, 2);  // one per collection
    EXPECT_EQ(CountLines(capture, "添加一个鼠标设备"), 2u);
    EXPECT_EQ(arrival_->Pages(PageList::kMouse), std::vector<CNerioUSBDevice*>{&mouse});

    EXPECT_EQ(View(mouse).Interval(kTimerSync), 500);
    ASSERT_TRUE(Fire(mouse, kTimerSync));
    EXPECT_EQ(mouse.Info().key_count, 11);  // read from the device
    EXPECT_EQ(View(mouse).Interval(kTimerFrame), 5);
    EXPECT_EQ(View(mouse).Interval(kTimerPower), 50);
    EXPECT_EQ(View(mouse).Interval(kTimerLinkWatch), -1);
    ASSERT_TRUE(Fire(mouse, kTimerFrame));
    EXPECT_EQ(View(mouse).Interval(kTimerFrame), 5);
    ASSERT_TRUE(Fire(mouse, kTimerPower));
    EXPECT_EQ(View(mouse).Interval(kTimerPower), 5000);
    ASSERT_TRUE(mouse.LastPowerStatus().has_value());
    EXPECT_EQ((*mouse.LastPowerStatus())[0], 80);
}

TEST_F(ArrivalTest, ReceiverJoiningStaysOnTheCableAndPullingTheCableSwitchesToIt) {
    Plug(Model::Mouse);
    Scan();
    CNerioMouseDevice& mouse = Mouse();
    ASSERT_TRUE(Fire(mouse, kTimerSync));

    Plug(Model::Mouse, Link::Receiver);
    Scan();
    EXPECT_FALSE(mouse.Transceiver().IsWireless());
    EXPECT_TRUE(mouse.NotificationOpen(kLinkReceiver));
    EXPECT_EQ(arrival_->Pages(PageList::kMouse).size(), 1u);

    trace::Capture capture;
    Unplug(Model::Mouse);
    Scan();
    EXPECT_TRUE(mouse.Transceiver().IsOpen());
    EXPECT_TRUE(mouse.Transceiver().IsWireless());
    EXPECT_FALSE(mouse.NotificationOpen(kLinkCable));
    EXPECT_TRUE(Visible(mouse));
    EXPECT_EQ(shell_->selected_left, 0);
    EXPECT_TRUE(capture.Contains("鼠标设备丢失"));
    EXPECT_TRUE(capture.Contains("获取2"));
    EXPECT_FALSE(capture.Contains("获取2.4G模式失败"));
    ASSERT_TRUE(mouse.LastPowerStatus().has_value());
    EXPECT_EQ((*mouse.LastPowerStatus())[3], 1);  // read through the receiver
    EXPECT_EQ(View(mouse).Interval(kTimerLinkWatch), 2000);
    ASSERT_TRUE(Fire(mouse, kTimerFrame));
    EXPECT_EQ(View(mouse).Interval(kTimerFrame), 100);

    // The cable back: the page returns to it and reads the device again.
    Plug(Model::Mouse);
    Scan();
    EXPECT_FALSE(mouse.Transceiver().IsWireless());
    EXPECT_EQ(View(mouse).Interval(kTimerSync), 500);
    EXPECT_TRUE(Visible(mouse));
}

TEST_F(ArrivalTest, ReceiverWithoutItsMouseShowsTheEntryOnlyOnceTheMouseAnswers) {
    Sim().SetReceiverLinked(false);
    Plug(Model::Mouse, Link::Receiver);
    Scan();
    CNerioMouseDevice& mouse = Mouse();
    EXPECT_TRUE(mouse.Transceiver().IsOpen());
    EXPECT_TRUE(mouse.Transceiver().IsWireless());
    EXPECT_TRUE(mouse.NotificationOpen(kLinkReceiver));  // also without the cable ever seen
    EXPECT_FALSE(Visible(mouse));

    for (int expected : {1, 2}) {
        ASSERT_TRUE(Fire(mouse, kTimerSync));
        EXPECT_EQ(arrival_->UnreachableCount(mouse), expected);
        EXPECT_EQ(View(mouse).Interval(kTimerSync), 3000);
        EXPECT_FALSE(Visible(mouse));
    }
    for (int i = 2; i < 20; ++i)
        ASSERT_TRUE(Fire(mouse, kTimerSync));
    EXPECT_EQ(arrival_->UnreachableCount(mouse), 0);  // wraps at 20
    ASSERT_TRUE(Fire(mouse, kTimerSync));
    EXPECT_EQ(arrival_->UnreachableCount(mouse), 1);

    Sim().SetReceiverLinked(true);
    ASSERT_TRUE(Fire(mouse, kTimerSync));
    EXPECT_TRUE(Visible(mouse));
    EXPECT_TRUE(Selected(mouse));
    EXPECT_EQ(arrival_->UnreachableCount(mouse), 0);
    EXPECT_EQ(mouse.Info().key_count, 11);
    EXPECT_EQ(View(mouse).Interval(kTimerLinkWatch), 2000);

    // The link watch hides and shows the entry as the mouse goes and comes.
    trace::Capture capture;
    Sim().SetReceiverLinked(false);
    ASSERT_TRUE(Fire(mouse, kTimerLinkWatch));
    EXPECT_FALSE(Visible(mouse));
    EXPECT_EQ(View(mouse).Interval(kTimerLinkWatch), 3000);
    Sim().SetReceiverLinked(true);
    ASSERT_TRUE(Fire(mouse, kTimerLinkWatch));
    EXPECT_TRUE(Visible(mouse));
    EXPECT_TRUE(capture.Contains("2.4gcesvdfherhue  12312423 123342341"));
    EXPECT_TRUE(capture.Contains("2.4gcesvdfherhue 1"));
}

TEST_F(ArrivalTest, SwitchToAReceiverWithoutItsMouseTriesTheLinkOnTimersNotByWaiting) {
    Plug(Model::Mouse);
    Plug(Model::Mouse, Link::Receiver);
    Scan();
    CNerioMouseDevice& mouse = Mouse();
    ASSERT_TRUE(Fire(mouse, kTimerSync));
    Sim().SetReceiverLinked(false);

    trace::Capture capture;
    Unplug(Model::Mouse);
    Scan();
    // "获取2" alone ends the tries; the failure lines start with it too.
    const auto done = [&capture] {
        return CountLines(capture, "获取2") - CountLines(capture, "获取2.4G模式失败");
    };
    EXPECT_EQ(CountLines(capture, "获取2.4G模式失败"), 1u);
    for (int tries = 2; tries <= kLinkQueryTries; ++tries) {
        EXPECT_EQ(View(mouse).Interval(kTimerLinkWatch), kLinkQuerySpacingMs);
        EXPECT_EQ(done(), 0u);
        ASSERT_TRUE(Fire(mouse, kTimerLinkWatch));
    }
    EXPECT_EQ(CountLines(capture, "获取2.4G模式失败"), 26u);
    EXPECT_EQ(done(), 1u);
    EXPECT_EQ(View(mouse).Interval(kTimerLinkWatch), 2000);
    // Then the watch: the mouse does not answer, so its entry goes.
    ASSERT_TRUE(Fire(mouse, kTimerLinkWatch));
    EXPECT_FALSE(Visible(mouse));
}

TEST_F(ArrivalTest, PullingDevicesMovesTheSelectionAndFinallyHidesEveryEntry) {
    Plug(Model::Mouse);
    Plug(Model::MousePad);
    Scan();
    CNerioMouseDevice& mouse = Mouse();
    CNerioUSBDevice& pad = Page(2);
    EXPECT_TRUE(Visible(mouse));
    EXPECT_TRUE(Visible(pad));
    EXPECT_TRUE(Selected(mouse));  // the first device found; the pad did not take it
    ASSERT_TRUE(Fire(mouse, kTimerSync));

    Unplug(Model::Mouse);
    Scan();
    EXPECT_FALSE(mouse.Transceiver().IsOpen());
    EXPECT_FALSE(Visible(mouse));
    EXPECT_EQ(shell_->selected_left, 1);
    EXPECT_TRUE(Selected(pad));
    ASSERT_TRUE(Fire(mouse, kTimerFrame));
    EXPECT_EQ(View(mouse).Interval(kTimerFrame), -1);  // stops once the link is gone

    Unplug(Model::MousePad);
    Scan();
    EXPECT_EQ(shell_->VisibleEntryCount(), 0);
    EXPECT_EQ(shell_->selected_left, 2);
    EXPECT_FALSE(pad.Transceiver().IsOpen());
}

// Light words of a record with this mode and colour, the rest zero.
void SetMode(CNerioUSBDevice& page, uint8_t mode, uint8_t red, uint8_t speed = 0) {
    page.SetLightParameters(mode | 4u << 8 | uint32_t{speed} << 16, uint32_t{red} << 8, 0, 0);
}

TEST_F(ArrivalTest, SameModeGivesEveryConnectedDeviceItsOwnModeForTheEffect) {
    arrival_->CreateInitialPages();
    Plug(Model::Keyboard);
    Plug(Model::Mouse);
    Plug(Model::MousePad);
    Scan();
    CNerioUSBDevice& keyboard = Page(1);
    CNerioMouseDevice& mouse = Mouse();
    CNerioUSBDevice& pad = Page(2);
    ASSERT_TRUE(Fire(mouse, kTimerSync));
    ASSERT_EQ(shell_->VisibleEntryCount(), 3);

    struct Case {
        CNerioUSBDevice* source;
        uint8_t mode;
        std::optional<SyncEffect> effect;
        std::array<uint8_t, 3> modes;  // keyboard, mouse, mousepad afterwards
    };
    const Case cases[] = {
        {&keyboard, 23, SyncEffect::kFlash, {23, 4, 4}},
        {&mouse, 2, SyncEffect::kBreathing, {5, 2, 2}},
        {&pad, 8, SyncEffect::kOff, {28, 10, 8}},
        {&mouse, 1, SyncEffect::kColourCycle, {4, 1, 1}},
        {&pad, 3, SyncEffect::kSteady, {6, 3, 3}},
        {&keyboard, 7, std::nullopt, {7, 9, 9}},  // no equivalent: nothing changes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        for (CNerioUSBDevice* page : {&keyboard, static_cast<CNerioUSBDevice*>(&mouse), &pad}) {
            SetMode(*page, 9, 0);
            page->SetSynchronised(false);
        }
        SetMode(*c.source, c.mode, 200, 3);
        arrival_->SameMode(*c.source);
        const std::array<uint8_t, 3> modes = {keyboard.GetLightState().record.select_item,
                                              mouse.GetLightState().record.select_item,
                                              pad.GetLightState().record.select_item};
        EXPECT_EQ(modes, c.modes);
        EXPECT_EQ(mouse.Synchronised(), c.effect.has_value());
        EXPECT_EQ(keyboard.Synchronised(), c.effect.has_value());
        if (c.effect) {
            const SyncSettings s = arrival_->Synchroniser().Settings();
            EXPECT_EQ(s.effect, *c.effect);
            EXPECT_EQ(s.red, 200);
            EXPECT_EQ(s.speed, 3);
            EXPECT_EQ(pad.GetLightState().record.red, 200);
            // The mouse stored the record in its profile.
            EXPECT_EQ(mouse.Profile().GetLightInfo().select_item, c.modes[1]);
        }
    }
}

TEST_F(ArrivalTest, SynchroniserDrivesEverySynchronisedPageAndStopsWithTheOthers) {
    Plug(Model::Mouse);
    Plug(Model::MousePad);
    Scan();
    CNerioMouseDevice& mouse = Mouse();
    CNerioUSBDevice& pad = Page(2);
    ASSERT_TRUE(Fire(mouse, kTimerSync));
    SetMode(pad, 3, 255);  // steady red at the top brightness
    arrival_->SameMode(pad);
    const LedColour red{255, 0, 0, 255};
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (pad.GetLedColour(14) != red && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(2ms);
    EXPECT_EQ(pad.GetLedColour(14), red);
    EXPECT_EQ(pad.GetLedColour(0), red);

    // Both devices still attached, every thread running: all stop together.
    trace::Capture capture;
    const auto asked = std::chrono::steady_clock::now();
    arrival_->StopAllThreads();
    RecordProperty("stop_all_ms",
                   static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - asked)
                                        .count()));
    EXPECT_FALSE(arrival_->Synchroniser().Running());
    EXPECT_TRUE(capture.Contains("同步灯光线程设定退出"));
    EXPECT_TRUE(capture.Contains("MS 设备同步线程设定退出"));
    EXPECT_FALSE(capture.Contains("超时"));
    EXPECT_FALSE(mouse.NotificationOpen(kLinkCable));
    EXPECT_FALSE(pad.NotificationOpen(kLinkCable));

    // One device left: synchronisation ends.
    Unplug(Model::MousePad);
    Scan();
    EXPECT_FALSE(mouse.Synchronised());
}

// ---- The synchroniser's effect ----

TEST(SyncStepperTest, FlashAtTheSlowestSpeedTogglesEvery1600Ms) {
    SyncStepper stepper;
    stepper.SetSettings({SyncEffect::kFlash, 4, 0, 0, 1, 1, 2, 3});
    std::vector<uint32_t> toggles;
    std::vector<LedColour> on_colours;
    bool on = false;
    for (uint32_t now = 1; now <= 5000; ++now) {
        const std::optional<LedColour> c = stepper.Step(now);
        if (c && (c->level != 0) != on) {
            on = !on;
            toggles.push_back(now);
            if (on)
                on_colours.push_back(*c);
        }
    }
    EXPECT_EQ(toggles, (std::vector<uint32_t>{1600, 3200, 4800}));
    // Each toggle moves the wheel 14 on: on at positions 14 and 42.
    EXPECT_EQ(on_colours, (std::vector<LedColour>{LedColour::Of(kColourWheel[14], 255),
                                                  LedColour::Of(kColourWheel[42], 255)}));
}

TEST(SyncStepperTest, StepsComeEverySpeedTicksOfMoreThanAMillisecond) {
    for (const auto& [speed, period] : {std::pair{0, 16u}, {2, 8u}, {4, 2u}}) {
        SyncStepper stepper;
        stepper.SetSettings({SyncEffect::kSteady, 2, static_cast<uint8_t>(speed), 0, 0, 9, 8, 7});
        std::vector<uint32_t> steps;
        for (uint32_t now = 1; now <= 48; ++now) {
            if (const auto c = stepper.Step(now)) {
                steps.push_back(now);
                EXPECT_EQ(*c, (LedColour{9, 8, 7, 135}));
            }
        }
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps.front(), period) << speed;
        EXPECT_EQ(steps.size(), 48 / period) << speed;
    }
}

TEST(SyncStepperTest, BreathingWrapsBothWaysAndCyclesColoursAtTheBottom) {
    SyncStepper down;
    down.SetSettings({SyncEffect::kBreathing, 4, 0, 0, 0, 10, 20, 30});
    EXPECT_EQ(down.StepEffect(0), LedColour::Of({10, 20, 30}, Scale(255, kBreathingCurve[127])));
    EXPECT_EQ(down.State().phase, 127);

    SyncStepper up;
    up.SetSettings({SyncEffect::kBreathing, 0, 0, 1, 1, 0, 0, 0});
    LedColour c = up.StepEffect(0);  // phase 1: below 2, so the wheel moves
    EXPECT_EQ(up.State().phase, 1);
    EXPECT_EQ(c, LedColour::Of(kColourWheel[16], Scale(30, kBreathingCurve[1])));
    for (int i = 0; i < 126; ++i)
        c = up.StepEffect(0);
    EXPECT_EQ(up.State().phase, 127);
    EXPECT_EQ(up.State().breath_wheel, 16);
    c = up.StepEffect(0);
    EXPECT_EQ(up.State().phase, 0);
    EXPECT_EQ(c, LedColour::Of(kColourWheel[32], Scale(30, kBreathingCurve[0])));
}

TEST(SyncStepperTest, ColourCycleWalksTheWheelAndOffIsBlack) {
    SyncStepper cycle;
    cycle.SetSettings({SyncEffect::kColourCycle, 1, 0, 0, 0, 0, 0, 0});
    for (int n = 1; n <= 192; ++n) {
        const LedColour c = cycle.StepEffect(0);
        ASSERT_EQ(c, LedColour::Of(kColourWheel[static_cast<size_t>(n % 192)], 80)) << n;
    }
    SyncStepper off;
    off.SetSettings({SyncEffect::kOff, 4, 0, 0, 0, 255, 255, 255});
    EXPECT_EQ(off.StepEffect(0), LedColour{});
}

TEST(DeviceListTest, BlockHoldsVersionsRowsAndZeros) {
    const std::array<uint8_t, 1024> block = DeviceListBlock();
    const uint32_t expected[] = {2, 3, 0,      2,      4, 0x320F, 0x223C, 2, 0x320F,
                                 0, 1, 0x320F, 0x1004, 3, 0x0C76, 0x1630, 7};
    for (size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(ReadLe32(&block[4 * i]), expected[i]) << i;
    EXPECT_TRUE(std::all_of(block.begin() + 4 * std::size(expected), block.end(),
                            [](uint8_t b) { return b == 0; }));
}

}  // namespace
}  // namespace zepho7::devices
