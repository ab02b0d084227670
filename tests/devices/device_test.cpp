#include "devices/usb_device.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "base/trace.h"
#include "sim_fixture.h"

namespace zepho7::devices {
namespace {

using namespace std::chrono_literals;
using sim::Link;
using sim::Model;

// A page held in memory: a tree of controls and a record of what the device did to it.
class MemoryView : public DeviceView {
  public:
    struct Tint {
        uint32_t value;
        uint8_t level;
    };
    ControlId Add(ControlId parent, std::string class_name, std::string name, bool visible = true) {
        const ControlId id = next_++;
        children_[parent].push_back({id, std::move(class_name), name, "", ""});
        names_[name] = id;
        visible_[id] = visible;
        return id;
    }
    std::vector<ControlInfo> Children(ControlId parent) override { return children_[parent]; }
    ControlId FindControl(std::string_view name) override {
        const auto it = names_.find(std::string(name));
        return it == names_.end() ? kNoControl : it->second;
    }
    bool IsVisible(ControlId c) override { return visible_[c]; }
    void SetLightTint(ControlId c, uint32_t tint, uint8_t level, bool) override {
        tints_[c] = {tint, level};
    }
    void SetTooltip(ControlId, std::string_view, std::string_view) override {}
    void Repaint(ControlId) override {}
    void SelectTab(ControlId tab, int index) override { tabs_[tab] = index; }
    void StartTimer(int id, int ms) override {
        std::lock_guard lock(mutex_);
        timers_.emplace_back(id, ms);
        cv_.notify_all();
    }
    void SetPowerPanelBattery(bool has) override { battery_ = has; }
    void ShowPowerStatus(std::span<const uint8_t>) override {}
    void ClearKeyInfo() override {}
    void SetKeyInfoRow(int, std::string_view, std::string_view, bool) override {}
    void ShowKeyInfo() override {}
    std::string Text(std::string_view entry) override { return std::string(entry); }
    void ShowAudioLight(const storage::AudioLightRecord& r) override { audio_ = r; }
    std::optional<storage::AudioLightRecord> ReadAudioLight() override { return audio_; }

    std::vector<std::pair<int, int>> WaitTimers(size_t n) {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, 2s, [&] { return timers_.size() >= n; });
        return timers_;
    }

    std::map<ControlId, Tint> tints_;
    std::map<ControlId, int> tabs_;
    bool battery_ = false;
    std::optional<storage::AudioLightRecord> audio_;

  private:
    ControlId next_ = 1;
    std::map<ControlId, std::vector<ControlInfo>> children_;
    std::map<std::string, ControlId> names_;
    std::map<ControlId, bool> visible_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::pair<int, int>> timers_;
};

// The device as the main window sets it up, for a device type row.
struct Device : CNerioUSBDevice {
    explicit Device(int row) {
        auto v = std::make_unique<MemoryView>();
        view = v.get();
        SetView(std::move(v));
        const DeviceTypeInfo& t = kDeviceTypes[static_cast<size_t>(row)];
        SetPageLayoutFile(std::string(t.page_layout));
        SetKeyCount(t.key_count);
        SetLedCount(t.led_count);
        SetTypeRow(row);
        SetHasBattery(t.has_battery);
        SetTypeName(std::string(t.type_name));
        InterfaceSlot slot;
        slot.info = kInterfaceSlots[static_cast<size_t>(
            FindSlot(t.vendor_id, t.product_id, t.kind, kRoleConfiguration))];
        SetIdentity(slot);
    }
    ~Device() override { StopThreads(); }

    void OnNotification(int link, uint16_t code) override {
        std::lock_guard lock(mutex);
        codes.emplace_back(link, code);
    }
    const char* NotificationExitTrace() const override { return "MS 设备同步线程设定退出"; }
    void RunLightTurn(uint32_t) override {
        turns.fetch_add(1);
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return !hold; });
    }
    std::vector<std::pair<int, uint16_t>> Codes() {
        std::lock_guard lock(mutex);
        return codes;
    }

    MemoryView* view = nullptr;
    std::mutex mutex;
    std::condition_variable cv;
    bool hold = false;
    std::atomic<int> turns{0};
    std::vector<std::pair<int, uint16_t>> codes;
};

TEST(DeviceBase, BuildPageBindsKeyAndLedButtonsOfTheSelectPanel) {
    Device d(0);  // mouse: 11 keys, 4 LEDs
    MemoryView& v = *d.view;
    v.Add(kPageRoot, "Label", "title");
    const ControlId panel = v.Add(kPageRoot, "SelectPanel", "select");
    v.Add(kPageRoot, "SelectPanel", "second");
    std::vector<ControlId> keys;
    for (int i = 0; i <= 11; ++i)
        keys.push_back(
            v.Add(panel, "DeviceKeyButton", (i == 3 ? "KEY_" : "key_") + std::to_string(i)));
    std::vector<ControlId> leds;
    for (int i = 0; i <= 4; ++i)
        leds.push_back(v.Add(panel, "DeviceKeyButton", "light_" + std::to_string(i)));
    v.Add(panel, "Button", "key_9");  // not a key button
    v.Add(panel, "DeviceKeyButton", "light_0_2");
    d.BuildPage();
    EXPECT_EQ(d.SelectPanel(), panel);
    ASSERT_EQ(d.KeyCount(), 11);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(d.KeyControl(i), keys[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(d.KeyControl(11), kNoControl);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(d.LedControl(i), leds[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(d.LedControl(4), kNoControl);

    d.SetPageLayoutFile("");
    d.BuildPage();
    EXPECT_EQ(d.KeyCount(), 0);
    EXPECT_EQ(d.LedCount(), 0);
}

TEST(DeviceBase, CountsClearColoursAndLedIndicesAreBounded) {
    Device d(0);
    d.SetLedColour(2, {1, 2, 3, 4});
    EXPECT_EQ(d.GetLedColour(2), (LedColour{1, 2, 3, 4}));
    d.SetLedColour(-1, {9, 9, 9, 9});
    d.SetLedColour(4, {9, 9, 9, 9});
    EXPECT_EQ(d.GetLedColour(-1), LedColour{});
    EXPECT_EQ(d.GetLedColour(4), LedColour{});
    d.SetLedCount(4);  // same count: still cleared
    EXPECT_EQ(d.GetLedColour(2), LedColour{});
    EXPECT_EQ(d.LedEffects().size(), 4u);
    d.SetLedCount(1000);
    EXPECT_EQ(d.LedCount(), kMaxLeds);
}

TEST(DeviceBase, SetupFlagsAndIdentity) {
    Device d(0);
    EXPECT_EQ(d.Kind(), kKindMouse);
    EXPECT_EQ(d.Role(), 0);
    EXPECT_EQ(d.GetFunctionPage(), 1);
    EXPECT_EQ(d.SelectedEntry(), -1);
    EXPECT_TRUE(d.LightingEnabled());
    d.SetPowerPanel(7);
    EXPECT_TRUE(d.view->battery_);
    d.SetWindowHidden(true);
    EXPECT_TRUE(d.WindowHidden());
    Device pad(2);
    pad.SetWindowHidden(true);  // no battery: unchanged
    EXPECT_FALSE(pad.WindowHidden());
}

TEST(DeviceBase, SelectFunctionPageSwitchesTabs) {
    struct Case {
        int row, page, function_tab, key_tab;  // -1: not touched
    } const cases[] = {
        {0, 2, 0, 1}, {0, 6, 0, 1}, {0, 3, 1, -1}, {0, 8, 1, -1}, {0, 4, 3, -1},
        {2, 4, 0, 2}, {0, 7, 0, 2}, {0, 5, 2, -1}, {0, 1, 0, 0},  {1, 4, 3, -1},
    };
    for (const Case& c : cases) {
        Device d(c.row);
        const ControlId f = d.view->Add(kPageRoot, "TabLayout", "device_function_switch");
        const ControlId k = d.view->Add(kPageRoot, "TabLayout", "device_key_function_switch");
        d.SelectFunctionPage(c.page);
        EXPECT_EQ(d.GetFunctionPage(), c.page);
        EXPECT_EQ(d.view->tabs_.count(f) ? d.view->tabs_[f] : -1, c.function_tab) << c.page;
        EXPECT_EQ(d.view->tabs_.count(k) ? d.view->tabs_[k] : -1, c.key_tab) << c.page;
    }
}

TEST(DeviceBase, LightParametersAndColourArePackedLittleEndian) {
    Device d(0);
    d.SetLightParameters(0x04030201, 0x08070605, 0x0C0B0A09, 0xAABB0E0D);
    const LightState s = d.GetLightState();
    EXPECT_EQ(s.record.select_item, 1);
    EXPECT_EQ(s.record.blue, 8);
    EXPECT_EQ(s.record.zzcc_led_mode, 0x0C);
    EXPECT_EQ(s.record.custom_group, 0x0D);
    EXPECT_EQ(s.record.old_led_mode, 0x0E);
    EXPECT_EQ(s.spare, (std::array<uint8_t, 2>{0, 0}));  // the last word keeps 16 bits
    EXPECT_EQ(d.Engine().Settings(), (EffectSettings{1, 2, 3, 4, 5, 6, 7, 8}));

    d.SetLightColour(0x04030205, 0x08070601, 0x00000001);
    EXPECT_EQ(d.view->audio_->audio_mode, 5);
    EXPECT_EQ(d.view->audio_->fg_green, 6);
    d.view->audio_->bk_red = 0x22;
    const auto words = d.GetLightColour();
    EXPECT_EQ(words[0], 0x04032205u);
    EXPECT_EQ(d.AudioLight().bk_red, 0x22);
}

using DeviceSimTest = testing::SimTest;

TEST_F(DeviceSimTest, LightingEnabledSendsTheNoticeToKeyboardsOnly) {
    ASSERT_TRUE(Sim().Plug(Model::Keyboard));
    ASSERT_TRUE(Sim().Plug(Model::Mouse));
    for (auto [row, model] : {std::pair{1, Model::Keyboard}, std::pair{0, Model::Mouse}}) {
        Device d(row);
        const std::string path = FindPath(0x320F, row == 1 ? 0x0000 : 0x223C, 1, 4);
        ASSERT_TRUE(d.Transceiver().WiredInterface().Open(path, true, true, true, false));
        d.Transceiver().SetLinkMode(0);
        d.Transceiver().SetOpen(true);
        d.SetLightingEnabled(false);
        d.SetLightingEnabled(true);
        d.SetLightingEnabled(true);  // no change: nothing sent
        EXPECT_EQ(Sim().Device(model).Counters().light_notices, row == 1 ? 1u : 0u);
    }
}

TEST_F(DeviceSimTest, NotificationsReachTheirThreadsOnBothLinks) {
    ASSERT_TRUE(Sim().Plug(Model::Mouse));
    ASSERT_TRUE(Sim().Plug(Model::Mouse, Link::Receiver));
    Device d(0);
    InterfaceSlot cable, receiver;
    cable.path = MousePath(3);
    receiver.path = ReceiverPath(3);
    ASSERT_TRUE(d.OpenNotificationCollection(cable, kLinkCable));
    ASSERT_TRUE(d.OpenNotificationCollection(receiver, kLinkReceiver));
    EXPECT_TRUE(d.NotificationOpen(kLinkCable));
    EXPECT_TRUE(d.NotificationTransceiver().IsOpen());
    std::this_thread::sleep_for(20ms);  // both threads are waiting for reports

    trace::Capture capture;
    ASSERT_TRUE(Sim().SendNotification(Model::Mouse, Link::Cable, 0x401));
    EXPECT_EQ(d.view->WaitTimers(1), (std::vector<std::pair<int, int>>{{kTimerResync, 50}}));
    ASSERT_TRUE(Sim().SendNotification(Model::Mouse, Link::Receiver, 0x1132));
    ASSERT_TRUE(Sim().SendNotification(Model::Mouse, Link::Cable, 0x403));
    for (int i = 0; i < 200 && d.Codes().size() < 2; ++i)
        std::this_thread::sleep_for(5ms);
    auto codes = d.Codes();
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<std::pair<int, uint16_t>>{{kLinkCable, 0x403},
                                                            {kLinkReceiver, 0x1132}}));
    EXPECT_TRUE(capture.Contains("接收到自动添加设备的同步信息要求  TEST"));

    // A stop ends the waiting read at once.
    d.CloseNotificationCollection(kLinkCable);
    EXPECT_FALSE(d.NotificationOpen(kLinkCable));
    EXPECT_TRUE(capture.Contains("MS 设备同步线程设定退出"));
    EXPECT_TRUE(capture.Contains("线程退出：：对象处于激发状态"));
    EXPECT_FALSE(capture.Contains("超时"));
}

TEST(DeviceBase, LightThreadThatDoesNotStopInTimeIsReportedAndKept) {
    Device d(0);
    d.Transceiver().SetOpen(true);
    {
        std::lock_guard lock(d.mutex);
        d.hold = true;
    }
    d.StartLightThread();
    while (d.turns.load() == 0)
        std::this_thread::sleep_for(1ms);
    trace::Capture capture;
    EXPECT_EQ(d.StopLightThread(), StopOutcome::kTimedOut);
    EXPECT_TRUE(capture.Contains("线程退出：：对象处于非激发状态，超时"));
    {
        std::lock_guard lock(d.mutex);
        d.hold = false;
    }
    d.cv.notify_all();
    EXPECT_EQ(d.StopLightThread(), StopOutcome::kEnded);
    EXPECT_TRUE(capture.Contains("灯光线程设定退出"));
    EXPECT_EQ(d.turns.load(), 1);
}

TEST_F(DeviceSimTest, FramesGoToPreviewsAlwaysAndToTheDeviceInModeElevenOnly) {
    ASSERT_TRUE(Sim().Plug(Model::Mouse));
    Device d(0);
    const ControlId panel = d.view->Add(kPageRoot, "SelectPanel", "select");
    const ControlId led0 = d.view->Add(panel, "DeviceKeyButton", "light_0");
    const ControlId led1 = d.view->Add(panel, "DeviceKeyButton", "light_1", false);
    d.BuildPage();
    ASSERT_TRUE(d.Transceiver().WiredInterface().Open(MousePath(), true, true, true, false));
    d.Transceiver().SetLinkMode(0);
    d.Transceiver().SetOpen(true);

    d.SetLightParameters(0x00000403, 0x0000FF00, 0, 0);  // mode 3, brightness 4, red 255
    d.StepStatic();
    d.SendLightFrame();
    ASSERT_TRUE(d.view->tints_.count(led0));
    EXPECT_EQ(d.view->tints_[led0].value, 0x0000FFu);
    EXPECT_EQ(d.view->tints_[led0].level, 255);
    EXPECT_FALSE(d.view->tints_.count(led1));  // hidden
    EXPECT_EQ(d.LastFrame()[0], 254);
    EXPECT_EQ(Sim().Device(Model::Mouse).Counters().stream_frames, 0u);

    d.SetLightParameters(0x0000040B, 0x0000FF00, 0, 0);  // mode 11
    d.SendLightFrame();
    d.SendLightFrame();
    EXPECT_EQ(Sim().Device(Model::Mouse).Counters().stream_frames, 2u);
    const auto stream = Sim().Device(Model::Mouse).ReadRegion(sim::RegionId::Stream, 0, 12);
    EXPECT_EQ(stream[0], 254);
    EXPECT_EQ(stream[3], 254);

    d.SetLightingEnabled(false);
    d.view->tints_.clear();
    d.SendLightFrame();
    EXPECT_TRUE(d.view->tints_.empty());
    EXPECT_EQ(Sim().Device(Model::Mouse).Counters().stream_frames, 2u);

    // A failed stream pauses streaming; frames are still built.
    d.SetLightingEnabled(true);
    Sim().InjectFault(Model::Mouse, {sim::FaultKind::StatusRejected, 0, 1});
    d.SendLightFrame();
    d.SendLightFrame();
    EXPECT_EQ(Sim().Device(Model::Mouse).Counters().stream_frames, 2u);
    std::this_thread::sleep_for(210ms);
    d.SendLightFrame();
    EXPECT_EQ(Sim().Device(Model::Mouse).Counters().stream_frames, 3u);
}

}  // namespace
}  // namespace zepho7::devices
