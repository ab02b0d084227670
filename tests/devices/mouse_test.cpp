// The mouse end to end against the simulated mouse: every check reads the bytes the simulated
// firmware holds, not the frames we sent.
#include "devices/mouse_device.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "devices/device_link.h"
#include "sim_fixture.h"
#include "storage/json_file.h"
#include "storage/recoil_data.h"

namespace zepho7::devices {
namespace {

using namespace std::chrono_literals;
using keycodes::FunctionCode;
using sim::Link;
using sim::Model;
using sim::RegionId;

// A page held in memory that records what the mouse did to it.
class PageView : public DeviceView {
  public:
    ControlId Add(ControlId parent, std::string class_name, std::string name,
                  std::string tooltip = "", std::string user_data = "") {
        const ControlId id = next_++;
        children_[parent].push_back({id, std::move(class_name), name, user_data, tooltip});
        names_[name] = id;
        return id;
    }
    std::vector<ControlInfo> Children(ControlId parent) override { return children_[parent]; }
    ControlId FindControl(std::string_view name) override {
        const auto it = names_.find(std::string(name));
        return it == names_.end() ? kNoControl : it->second;
    }
    bool IsVisible(ControlId) override { return true; }
    void SetLightTint(ControlId c, uint32_t tint, uint8_t level, bool) override {
        tints[c] = {tint, level};
    }
    void SetTooltip(ControlId c, std::string_view title, std::string_view text) override {
        tooltips[c] = {std::string(title), std::string(text)};
    }
    void Repaint(ControlId) override {}
    void SelectTab(ControlId tab, int index) override { tabs[tab] = index; }
    void StartTimer(int id, int) override {
        std::lock_guard lock(mutex_);
        timers.push_back(id);
        cv_.notify_all();
    }
    void SetPowerPanelBattery(bool) override {}
    void ShowPowerStatus(std::span<const uint8_t> s) override { power.assign(s.begin(), s.end()); }
    void ClearKeyInfo() override { rows.clear(); }
    void SetKeyInfoRow(int row, std::string_view name, std::string_view text, bool) override {
        rows[row] = {std::string(name), std::string(text)};
    }
    void ShowKeyInfo() override {}
    std::string Text(std::string_view entry) override { return std::string(entry); }
    void ShowAudioLight(const storage::AudioLightRecord&) override {}
    std::optional<storage::AudioLightRecord> ReadAudioLight() override { return std::nullopt; }
    void SetSliderRange(ControlId c, int, int maximum) override { ranges[c] = maximum; }
    void SetOptionSelected(ControlId c, bool on) override { options[c] = on; }
    void ShowDpiStage(int stage, bool, int position, uint32_t colour) override {
        stages[stage] = {position, colour};
    }

    bool WaitTimer(int id) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(
            lock, 2s, [&] { return std::find(timers.begin(), timers.end(), id) != timers.end(); });
    }

    std::map<ControlId, std::pair<uint32_t, uint8_t>> tints;
    std::map<ControlId, std::pair<std::string, std::string>> tooltips;
    std::map<int, std::pair<std::string, std::string>> rows;
    std::map<ControlId, int> tabs, ranges;
    std::map<ControlId, bool> options;
    std::map<int, std::pair<int, uint32_t>> stages;
    std::vector<uint8_t> power;
    std::vector<int> timers;

  private:
    ControlId next_ = 1;
    std::map<ControlId, std::vector<ControlInfo>> children_;
    std::map<std::string, ControlId> names_;
    std::mutex mutex_;
    std::condition_variable cv_;
};

struct Host : DeviceHost {
    void PostDeviceMessage(int message, intptr_t first, intptr_t second) override {
        messages.push_back({message, first, second});
    }
    std::vector<std::array<intptr_t, 3>> messages;
};

class MouseDeviceTest : public testing::SimTest {
  protected:
    void SetUp() override {
        SimTest::SetUp();
        ASSERT_TRUE(Sim().Plug(Model::Mouse));
        ASSERT_TRUE(Sim().Plug(Model::Mouse, Link::Receiver));
        user_ = dir_ + "-user";
        mouse_ = std::make_unique<CNerioMouseDevice>(
            storage::DataFolders(std::string(ZEPHO7_SOURCE_DIR) + "/DefaultData", user_));
        auto view = std::make_unique<PageView>();
        view_ = view.get();
        mouse_->SetView(std::move(view));
        const DeviceTypeInfo& t = kDeviceTypes[0];
        mouse_->SetPageLayoutFile(std::string(t.page_layout));
        mouse_->SetHost(&host_);
        mouse_->SetKeyCount(t.key_count);
        mouse_->SetLedCount(t.led_count);
        mouse_->SetTypeRow(0);
        mouse_->SetHasBattery(true);
        mouse_->SetTypeName("mouse");
        InterfaceSlot slot;
        slot.info = kInterfaceSlots[4];
        mouse_->SetIdentity(slot);
        mouse_->SetTypeIndex(t.type_index);
    }
    void TearDown() override {
        mouse_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(user_, ignored);
        SimTest::TearDown();
    }

    void Open(bool receiver = false) {
        ASSERT_TRUE(OpenConfigurationLink(mouse_->Transceiver(),
                                          receiver ? ReceiverPath() : MousePath(), receiver));
    }
    void Sync(bool receiver = false) {
        Open(receiver);
        ASSERT_EQ(mouse_->ReadFromDevice(), kResultOk);
    }
    void Poke(RegionId id, size_t at, std::vector<uint8_t> bytes) {
        ASSERT_TRUE(Sim().Device(Model::Mouse).WriteRegion(id, at, bytes));
    }
    std::vector<uint8_t> Region(RegionId id, size_t at, size_t length) {
        return Sim().Device(Model::Mouse).ReadRegion(id, at, length);
    }
    void SaveProfileOrFail() { ASSERT_TRUE(mouse_->Profile().Save()); }
    std::filesystem::path UserFolder() { return user_ / std::filesystem::path("mouse"); }

    // A macro library of `counts.size()` macros, macro i holding counts[i] key presses.
    void MakeMacros(const std::vector<int>& counts) {
        std::filesystem::create_directories(UserFolder());
        Json::Value library;
        for (size_t i = 0; i < counts.size(); ++i) {
            const std::string guid = "m" + std::to_string(i);
            Json::Value info;
            info["MacroName"] = "macro_" + std::to_string(i);
            info["Guid"] = guid;
            library["MacroInfo"].append(info);
            Json::Value file;
            file["Events"] = Json::Value(Json::arrayValue);
            for (int e = 0; e < counts[i]; ++e) {
                Json::Value ev;
                ev["Action"] = e % 2 == 0 ? "down" : "up";
                ev["Type"] = 10;
                ev["Button"] = static_cast<int>(i);
                ev["Delay"] = std::to_string(300 + e);
                file["Events"].append(ev);
            }
            ASSERT_TRUE(storage::WriteJsonFile(file, UserFolder() / (guid + ".mac")));
        }
        ASSERT_TRUE(storage::WriteJsonFile(library, UserFolder() / "macro.config"));
    }

    std::filesystem::path user_;
    Host host_;
    PageView* view_ = nullptr;
    std::unique_ptr<CNerioMouseDevice> mouse_;
};

TEST_F(MouseDeviceTest, SyncReadsInformationKeyTableAndTheActiveBlock) {
    // Block 2 active, speed byte 1 (speed 3), active DPI stage 4.
    Poke(RegionId::Light, 0, {2});
    Poke(RegionId::Light, 2 * 128 + 3, {1});
    Poke(RegionId::Light, 2 * 128 + 12, {4});
    Sync();
    const MouseInfo& info = mouse_->Info();
    EXPECT_EQ(info.key_count, 11);
    EXPECT_EQ(info.dpi_step, 50);
    EXPECT_EQ(info.max_slider, 518);
    EXPECT_EQ(info.lowest_dpi, 100);
    EXPECT_EQ(info.macro_memory, 4096u);
    for (int j = 0; j < 11; ++j)
        EXPECT_EQ(mouse_->LogicalKeyMap().at(j), j);
    EXPECT_EQ(mouse_->ActiveBlock(), 2);
    EXPECT_EQ(mouse_->ActiveDpiStage(), 4);
    const LightState s = mouse_->GetLightState();
    EXPECT_EQ(s.record.select_item, 2);  // block 2 holds mode 2
    EXPECT_EQ(s.record.speed, 3);
    EXPECT_EQ(s.record.blue, 255);  // block 2 is blue
    // What was read is in the saved profile.
    storage::CMouseProfiledata reread;
    static_cast<void>(reread.LoadSection(mouse_->Profile().GetProfilePath()));
    EXPECT_EQ(reread.GetActiveDpiStage(), 4);
    EXPECT_EQ(reread.GetLightInfo().speed, 3);
    // Exactly the prescribed exchanges: begin, info, key table, end, two light reads (3 reports).
    std::vector<uint8_t> commands;
    for (const sim::Request& r : Sim().Requests(Model::Mouse))
        commands.push_back(r.frame[3]);
    EXPECT_EQ(commands, (std::vector<uint8_t>{0x01, 0x03, 0x07, 0x02, 0x05, 0x05, 0x05}));
}

TEST_F(MouseDeviceTest, KeyMissingFromTheTableStaysUnmappedAndUnwritten) {
    Poke(RegionId::Keys, 8 * 3, {0x20, 0x00, 0x04});
    Sync();
    EXPECT_EQ(mouse_->LogicalKeyMap().at(8), kNoDeviceKey);
    ASSERT_TRUE(mouse_->SetKeyAssignment(8, {0x20, 0x00, 0x05}));
    ASSERT_TRUE(mouse_->SetKeyAssignment(0, {0x20, 0x02, 0x04}));
    EXPECT_EQ(mouse_->WriteCurrentKeyAssignments(0), kResultOk);
    EXPECT_EQ(Region(RegionId::Keys, 0, 3), (std::vector<uint8_t>{0x20, 0x02, 0x04}));
    EXPECT_EQ(Region(RegionId::Keys, 24, 3), (std::vector<uint8_t>{0x20, 0x00, 0x04}));
    SaveProfileOrFail();

    // Read again: key 0 is found by the code it was written with and can be given back its own
    // function; key 8 stays unmapped.
    ASSERT_EQ(mouse_->ReadFromDevice(), kResultOk);
    EXPECT_EQ(mouse_->LogicalKeyMap().at(0), 0);
    EXPECT_EQ(mouse_->LogicalKeyMap().at(8), kNoDeviceKey);
    ASSERT_TRUE(mouse_->SetKeyAssignment(0, {0x10, 0x01, 0x00}));
    EXPECT_EQ(mouse_->WriteCurrentKeyAssignments(0), kResultOk);
    EXPECT_EQ(Region(RegionId::Keys, 0, 3), (std::vector<uint8_t>{0x10, 0x01, 0x00}));
}

TEST_F(MouseDeviceTest, SettingsBlockIsWrittenFromTheProfile) {
    struct Case {
        int mode, speed;
        uint8_t mode_byte, speed_byte;
    } const cases[] = {{12, 4, 0, 0}, {3, 0, 3, 4}, {11, 2, 11, 2}};
    Sync();
    for (const Case& c : cases) {
        storage::CMouseProfiledata& p = mouse_->Profile();
        storage::LightRecord light = p.GetLightInfo();
        light.select_item = static_cast<uint8_t>(c.mode);
        light.speed = static_cast<uint8_t>(c.speed);
        light.light = 3;
        light.fx = 1;
        light.red = 10;
        light.green = 20;
        light.blue = 30;
        p.SetLightInfo(light);
        std::vector<storage::DpiStage> stages(2);
        stages[0] = {1, 0, 0x0102, 0x0304, 1, 2, 3};
        stages[1] = {0, 1, 518, 7, 4, 5, 6};
        p.SetDpiStages(stages);
        p.SetActiveDpiStage(1);
        storage::MouseSettings ms = p.GetMouseSettings();
        ms.report_stage = 0x0104;
        p.SetMouseSettings(ms);
        ASSERT_EQ(
            mouse_->WriteLightSettings(
                {.block = 1, .block0_value = 0, .caller_value = 1, .width = 2560, .height = 1440}),
            kResultOk);
        const std::vector<uint8_t> b = Region(RegionId::Light, 128, 80);
        const std::vector<uint8_t> head(b.begin(), b.begin() + 14);
        EXPECT_EQ(head, (std::vector<uint8_t>{0, c.mode_byte, 3, c.speed_byte, 1, light.multi_color,
                                              10, 20, 30, 0, 0, 0x04, 1, 0}))
            << c.mode;
        const std::vector<uint8_t> s(b.begin() + 14, b.begin() + 32);
        EXPECT_EQ(s, (std::vector<uint8_t>{1, 0, 2, 1, 4, 3, 1, 2, 3,  //
                                           0, 1, 6, 2, 7, 0, 4, 5, 6}));
        EXPECT_EQ(b[68], 1);
        EXPECT_EQ(b[69] | b[70] << 8, 2560);
        EXPECT_EQ(b[71] | b[72] << 8, 1440);
        EXPECT_EQ(b[73], 0);  // the default profile selects "correct_off" (0, 0)
        EXPECT_EQ(b[74], 0);
    }
}

TEST_F(MouseDeviceTest, SelectedCorrectionEntryGoesIntoTheBlock) {
    Sync();
    Json::Value section = mouse_->Profile().GetSection();
    section["CorrectInfo"][0]["CorrectSelect"] = 0;
    section["CorrectInfo"][1]["CorrectSelect"] = 1;
    ASSERT_TRUE(mouse_->Profile().SaveSection(section, mouse_->Profile().GetProfilePath()));
    static_cast<void>(mouse_->Profile().LoadSection(mouse_->Profile().GetProfilePath()));
    ASSERT_EQ(mouse_->WriteLightSettings({.block = 0}), kResultOk);
    EXPECT_EQ(Region(RegionId::Light, 73, 2), (std::vector<uint8_t>{3, 5}));
}

TEST_F(MouseDeviceTest, MacroKeysAreRenumberedInKeyOrder) {
    MakeMacros({2, 0, 4, 0, 0, 3, 0, 0, 0});  // nine macros
    Sync();
    ASSERT_TRUE(mouse_->SetKeyAssignment(0, {0x70, 5, 1}));
    ASSERT_TRUE(mouse_->SetKeyAssignment(3, {0x71, 2, 7}));
    ASSERT_TRUE(mouse_->SetKeyAssignment(4, {0x70, 9, 0}));  // beyond the library
    ASSERT_TRUE(mouse_->SetKeyAssignment(6, {0x70, 5, 0}));
    EXPECT_EQ(mouse_->ListMacros(), (std::vector<int>{5, 2}));
    ASSERT_EQ(mouse_->WriteCurrentKeyAssignments(0), kResultOk);
    EXPECT_EQ(Region(RegionId::Keys, 0, 3), (std::vector<uint8_t>{0x70, 0, 1}));
    EXPECT_EQ(Region(RegionId::Keys, 9, 3), (std::vector<uint8_t>{0x71, 1, 7}));
    EXPECT_EQ(Region(RegionId::Keys, 12, 3), (std::vector<uint8_t>{0x10, 0x08, 0x00}));
    EXPECT_EQ(Region(RegionId::Keys, 18, 3), (std::vector<uint8_t>{0x70, 0, 0}));
    // The profile keeps the library numbers.
    EXPECT_EQ(mouse_->KeyAssignments()[3].current, (FunctionCode{0x71, 2, 7}));

    const std::vector<int> list = mouse_->ListMacros();
    ASSERT_EQ(mouse_->WriteMacros(list), kMacrosWritten);
    // 16 + 6 × 2 + 4 × (3 + 4) = 56 bytes: macro 5 (3 events) first, then macro 2 (4 events).
    const std::vector<uint8_t> image = Region(RegionId::Macro, 0, 60);
    EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.begin() + 20),
              (std::vector<uint8_t>{0xAA, 0x55, 56, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                    20,   0,    36, 0}));
    EXPECT_EQ(std::vector<uint8_t>(image.begin() + 20, image.begin() + 28),
              (std::vector<uint8_t>{3, 0, 0, 0, 0x2C, 0x01, 0x8A, 5}));
    EXPECT_EQ(std::vector<uint8_t>(image.begin() + 36, image.begin() + 44),
              (std::vector<uint8_t>{4, 0, 0, 0, 0x2C, 0x01, 0x8A, 2}));
    EXPECT_EQ(image[56], 0);
}

TEST_F(MouseDeviceTest, MacroLimitsLeaveTheDeviceUntouched) {
    MakeMacros({100, 100, 60, 251});
    Sync();
    Poke(RegionId::Info, 18, {8});  // 1024 bytes
    const std::vector<uint8_t> before = Region(RegionId::Macro, 0, 64);
    const std::vector<int> three = {0, 1, 2};
    EXPECT_EQ(mouse_->WriteMacros(three), 13);  // 1074 bytes: 50 too many, 13 events
    Poke(RegionId::Info, 18, {32});
    const std::vector<int> long_one = {3};
    EXPECT_EQ(mouse_->WriteMacros(long_one), kMacroTooLong);
    EXPECT_EQ(Region(RegionId::Macro, 0, 64), before);
    EXPECT_EQ(mouse_->WriteMacros({}), kMacrosWritten);
}

TEST_F(MouseDeviceTest, RecoilImageHoldsTheFourGuns) {
    Sync();
    storage::RecoilData recoil(UserFolder(), std::string(ZEPHO7_SOURCE_DIR) + "/DefaultData");
    ASSERT_TRUE(recoil.InitShoot());
    ASSERT_EQ(mouse_->WriteRecoilData(), kResultOk);
    const std::vector<uint8_t> image = Region(RegionId::Recoil, 0, 64);
    const size_t length = 16 + 6 * 4 + 4 * 4 * 180;
    EXPECT_EQ(image[0] | image[1] << 8, 0x55AA);
    EXPECT_EQ(static_cast<size_t>(image[2] | image[3] << 8), length);
    EXPECT_EQ(image[4], 4);
    EXPECT_EQ(image[16] | image[17] << 8, 24);
    EXPECT_EQ(image[24] | image[25] << 8, 180);
    // Bullet 0's first event: press of the left button after 10 ms.
    EXPECT_EQ(std::vector<uint8_t>(image.begin() + 28, image.begin() + 32),
              (std::vector<uint8_t>{10, 0, 0x81, 1}));
}

TEST_F(MouseDeviceTest, ReceiverWithoutTheMouseSendsNothingElse) {
    Sync(true);
    Sim().SetReceiverLinked(false);
    Sim().ClearRequests(Model::Mouse);
    const std::vector<uint8_t> before = Region(RegionId::Light, 0, 80);
    EXPECT_EQ(mouse_->WriteLightSettings({.block = 0}), 0);
    EXPECT_EQ(mouse_->WriteCurrentKeyAssignments(0), 0);
    EXPECT_EQ(mouse_->WriteMacros(std::vector<int>{0}), kMacrosLinkFailed);
    EXPECT_EQ(mouse_->ReadLightSettings(), 0);
    EXPECT_FALSE(mouse_->IsReachableByReceiver());
    for (const sim::Request& r : Sim().Requests(Model::Mouse))
        EXPECT_EQ(r.frame[3], kCmdQueryLink);
    EXPECT_EQ(Region(RegionId::Light, 0, 80), before);

    Sim().SetReceiverLinked(true);
    EXPECT_TRUE(mouse_->IsReachableByReceiver());
    mouse_->ReadPowerStatus();
    EXPECT_EQ(view_->power, (std::vector<uint8_t>{80, 0, 0, 1, 0, 0}));
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0][0], kMessagePowerStatus);
}

TEST_F(MouseDeviceTest, DeviceErrorsAreReported) {
    Sync();
    const std::vector<uint8_t> before = Region(RegionId::Light, 0, 80);
    Sim().InjectFault(Model::Mouse, {.kind = sim::FaultKind::StatusRejected, .skip = 1});
    EXPECT_EQ(mouse_->WriteLightSettings({.block = 0}), kResultRejected);
    EXPECT_EQ(Region(RegionId::Light, 0, 56),
              std::vector<uint8_t>(before.begin(), before.begin() + 56));
    Sim().InjectFault(Model::Mouse, {.kind = sim::FaultKind::StatusFailed, .skip = 2});
    EXPECT_EQ(mouse_->WriteCurrentKeyAssignments(0), kResultFailed);
}

TEST_F(MouseDeviceTest, BlockNotificationsChangeActiveBlockAndStage) {
    Sync();
    InterfaceSlot slot;
    slot.info = kInterfaceSlots[5];
    slot.path = MousePath(3);
    ASSERT_TRUE(mouse_->OpenNotificationCollection(slot, kLinkCable));
    ASSERT_TRUE(Sim().SendNotification(Model::Mouse, Link::Cable, 0x1205));
    ASSERT_TRUE(Sim().SendNotification(Model::Mouse, Link::Cable, 0x1132));
    ASSERT_TRUE(view_->WaitTimer(kTimerResync));
    EXPECT_EQ(mouse_->ActiveBlock(), 2);
    EXPECT_EQ(mouse_->ActiveDpiStage(), 3);
    ASSERT_TRUE(Sim().SendNotification(Model::Mouse, Link::Cable, 0x1001));
    for (int i = 0; i < 200 && mouse_->ActiveBlock() != 1; ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(mouse_->ActiveBlock(), 1);
    EXPECT_EQ(mouse_->ActiveDpiStage(), 3);
}

TEST_F(MouseDeviceTest, PageBindingAndKeyInformation) {
    PageView& v = *view_;
    const ControlId layout = v.Add(kPageRoot, "TabLayout", "mouse_device_seting_layout");
    v.Add(layout, "Container", "other");
    const ControlId panel = v.Add(layout, "SelectPanel", "keys");
    std::vector<ControlId> keys;
    for (int i = 0; i <= 11; ++i)
        keys.push_back(v.Add(panel, "DeviceKeyButton", "key_" + std::to_string(i)));
    const ControlId led = v.Add(panel, "DeviceKeyButton", "Light_2");
    const ControlId extra = v.Add(panel, "DeviceKeyButton", "light_0_0");
    const ControlId by_data = v.Add(panel, "DeviceKeyButton", "area", "", "light_3");
    const ControlId logo = v.Add(panel, "DeviceKeyButton", "logo_button", "LOGO");
    const ControlId option0 = v.Add(kPageRoot, "Option", "mouse_device_seting_option_0");
    const ControlId option1 = v.Add(kPageRoot, "Option", "mouse_device_seting_option_1");
    const ControlId slider = v.Add(kPageRoot, "Slider", "DPI_slider_2");
    mouse_->BuildPage();
    EXPECT_EQ(mouse_->SelectPanel(), panel);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(mouse_->KeyControl(i), keys[static_cast<size_t>(i)]);
    EXPECT_EQ(mouse_->KeyControl(11), kNoControl);
    EXPECT_EQ(mouse_->LedControl(2), led);
    EXPECT_EQ(mouse_->LedControl(3), by_data);
    EXPECT_EQ(mouse_->ExtraPreviews(), std::vector<ControlId>{extra});
    EXPECT_EQ(mouse_->LogoPreview(), logo);
    EXPECT_EQ(v.tints[led].first, 0xFFFFFFu);
    EXPECT_EQ(v.tints[extra].second, 255);
    EXPECT_EQ(v.tabs[layout], 0);
    EXPECT_TRUE(v.options[option0]);
    EXPECT_FALSE(v.options[option1]);

    Sync();
    mouse_->RefreshPanels();
    EXPECT_EQ(v.ranges[slider], 518);
    EXPECT_EQ(v.rows[9],
              std::make_pair(std::string("mouse_key_M8_key"), std::string("mouse_key_DPI_shift")));
    EXPECT_EQ(v.rows[8],
              std::make_pair(std::string("keyboard_key_GM"), std::string("keyboard_key_GM")));
    EXPECT_EQ(v.rows.count(11), 0u);
    EXPECT_EQ(v.tooltips[keys[0]].first, "mouse_key_left");
    // Block 0 of the simulated mouse is mode 0, the wave.
    EXPECT_EQ(v.tooltips[logo],
              std::make_pair(std::string("Logo"),
                             std::string("Light_Set\nOverall_Light_Setms_light_wave")));
    EXPECT_EQ(v.stages[1], std::make_pair(7, 0xFFFF8000u));  // the default profile's stage 1
}

TEST(MouseImages, DpiConversion) {
    const MouseInfo coarse{.sensor_code = 13093, .dpi_step = 100, .lowest_dpi = 200};
    const MouseInfo plain{.sensor_code = 1, .dpi_step = 100, .lowest_dpi = 200};
    EXPECT_EQ(SliderToDpi(coarse, 48), 5000);
    EXPECT_EQ(SliderToDpi(coarse, 49), 5200);
    EXPECT_EQ(DpiToSlider(coarse, 5400), 50);
    EXPECT_EQ(DpiToSlider(coarse, 3000), 28);
    EXPECT_EQ(DpiToSlider(plain, 150), 0);
    EXPECT_EQ(SliderToDpi(plain, 0), 200);
    EXPECT_EQ(DpiToSlider(MouseInfo{}, 800), 0);  // a device reporting no step
}

TEST(MouseImages, EventImageLength) {
    const std::vector<EventList> records = {EventList(100), EventList(100), EventList(60)};
    EXPECT_EQ(EventImageLength(records), 1074u);
    EXPECT_EQ(BuildEventImage(records).size(), 1074u);
    EXPECT_TRUE(BuildEventImage(std::vector<EventList>{EventList(20000)}).empty());
}

}  // namespace
}  // namespace zepho7::devices
