// The power panel and the profile bar on Qt's offscreen platform, with the program's skin, its
// English texts and the shipped default mouse profile; profile files go to a temporary folder.
#include <QAbstractItemDelegate>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <array>
#include <memory>
#include <optional>
#include <set>

#include "appearance/msg_wnd.h"
#include "panels/power_panel.h"
#include "panels/profile_actions.h"
#include "panels/profile_bar.h"
#include "storage/folders.h"
#include "storage/json_file.h"
#include "ui/builder.h"
#include "ui/control_factory.h"
#include "ui/controls.h"
#include "ui/language.h"
#include "ui/skin.h"

namespace {

using namespace zepho7;
using panels::CDeviceProfileUI;
using panels::CMpDevicePowerUI;
using panels::ProfileBarAction;
namespace fs = std::filesystem;

const fs::path kDefaultMouse = fs::path(ZEPHO7_SOURCE_DIR) / "DefaultData" / "mouse.Json";

class TestWindow : public ui::Window {
  public:
    using ui::Window::Window;
    std::vector<ui::Notification> seen;
    int Count(const QString& type, const QString& sender) const {
        int n = 0;
        for (const auto& s : seen)
            n += s.type == type && s.sender_name == sender ? 1 : 0;
        return n;
    }

  protected:
    void Notify(const ui::Notification& n) override { seen.push_back(n); }
};

// A program window with the real skin and English texts.
class PanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(language_.SetLanguage("lan_en"));
        window_ = std::make_unique<TestWindow>(skin_, factory_);
        window_->SetLanguage(&language_);
        root_ =
            ui::Builder(*window_).BuildFromText("<VerticalLayout name=\"root\"/>", window_.get());
        ASSERT_NE(root_, nullptr);
    }

    ui::Skin skin_{QStringLiteral(ZEPHO7_SOURCE_DIR "/skin")};
    ui::ControlFactory factory_;
    ui::Language language_{skin_};
    std::unique_ptr<TestWindow> window_;
    QWidget* root_ = nullptr;
};

// ---- Power panel ----

QString BkImage(const QWidget* control) {
    const auto* label = dynamic_cast<const ui::Label*>(control);
    return label ? const_cast<ui::Label*>(label)->decor().bk_image : QString();
}

class PowerPanelTest : public PanelTest {
  protected:
    CMpDevicePowerUI* Panel(int kind) {
        auto* panel = CMpDevicePowerUI::Build(*window_, root_);
        EXPECT_NE(panel, nullptr);
        if (panel != nullptr)
            panel->SetKindAndSubType(kind, 0);
        return panel;
    }
    static void Show(CMpDevicePowerUI* panel, std::array<uint8_t, 6> bytes) {
        panel->ShowStatus(bytes.data(), bytes.size());
    }
    QWidget* Find(const char* name) const { return window_->FindControl(name); }
    int Bar() const { return window_->Find<QProgressBar>("device_Power_progress")->value(); }
    bool BarShown() const { return !Find("device_Power_progress")->isHidden(); }
    QString Text() const { return window_->Find<QLabel>("device_power_value")->text(); }
};

TEST_F(PowerPanelTest, BuildsFromItsLayoutAndShowsTheBatteryAreaOnRequest) {
    CMpDevicePowerUI* panel = Panel(2);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(ui::ClassName(panel), "MpDevicePower");
    EXPECT_EQ(panel->Kind(), 2);
    EXPECT_TRUE(Find("device_power_Layout")->isHidden());
    panel->ShowBatteryArea(true);
    EXPECT_FALSE(Find("device_power_Layout")->isHidden());
    panel->ShowBatteryArea(false);
    EXPECT_TRUE(Find("device_power_Layout")->isHidden());
}

TEST_F(PowerPanelTest, StatusBytesSetLevelChargingImageAndWirelessMark) {
    struct Case {
        const char* what;
        std::array<uint8_t, 6> bytes;
        QString text;
        int bar;
        bool bar_shown;
        QString image;
        bool wireless_shown;
    };
    // Each case follows the one before it on the same mouse panel.
    const Case cases[] = {
        {"85 on battery", {85, 0, 0, 0, 0, 0}, "85%", 15, true, "power/powered.png", false},
        {"charging on the pad",
         {40, 1, 0, 1, 0, 0},
         "40%",
         60,
         false,
         "power/wuxian_powering.png",
         true},
        {"unknown state keeps image and bar",
         {50, 3, 0, 1, 0, 0},
         "50%",
         50,
         false,
         "power/wuxian_powering.png",
         true},
        {"charging by cable", {41, 1, 0, 0, 0, 0}, "41%", 59, true, "power/powering.png", false},
        {"full", {100, 2, 0, 0, 0, 0}, "100%", 0, true, "power/power.png", false},
        {"a level above 100 still moves the bar",
         {130, 0, 0, 0, 0, 0},
         "130%",
         0,
         true,
         "power/powered.png",
         false},
    };
    CMpDevicePowerUI* panel = Panel(2);
    ASSERT_NE(panel, nullptr);
    for (const Case& c : cases) {
        Show(panel, c.bytes);
        EXPECT_EQ(Text(), c.text) << c.what;
        EXPECT_EQ(Bar(), c.bar) << c.what;
        EXPECT_EQ(BarShown(), c.bar_shown) << c.what;
        EXPECT_EQ(BkImage(Find("device_power_status")), c.image) << c.what;
        EXPECT_EQ(!Find("device_wuxian_logo")->isHidden(), c.wireless_shown) << c.what;
    }
}

TEST_F(PowerPanelTest, OnlyTheMousepadShowsThePhoneAndOnlyTheCableMouseTheWirelessMark) {
    struct Case {
        int kind;
        uint8_t phone;
        QString image;  // empty: never touched
        QString tooltip;
    };
    const Case cases[] = {
        {3, 0, "power/Phone_type_no_device.png", "No phone on the pad"},
        {3, 1, "power/Phone_type_iphone.png", "iPhone on the pad"},
        {3, 2, "power/Phone_type_samsung.png", "Samsung phone on the pad"},
        {3, 3, "power/Phone_type_other.png", "Phone on the pad"},
        {3, 9, "power/Phone_type_no_device.png", "No phone on the pad"},
        {2, 1, {}, {}},
        {6, 2, {}, {}},
    };
    for (const Case& c : cases) {
        SetUp();  // a fresh window per case
        CMpDevicePowerUI* panel = Panel(c.kind);
        ASSERT_NE(panel, nullptr);
        Show(panel, {70, 0, 0, 1, 0, c.phone});
        QWidget* phone = Find("device_phone_type");
        EXPECT_EQ(BkImage(phone), c.image) << c.kind << "/" << int(c.phone);
        EXPECT_EQ(phone->toolTip(), c.tooltip) << c.kind << "/" << int(c.phone);
        EXPECT_EQ(!phone->isHidden(), c.kind == 3);
        // The link byte is set in every case; only the cable mouse (kind 2) shows it.
        EXPECT_EQ(!Find("device_wuxian_logo")->isHidden(), c.kind == 2) << c.kind;
    }
}

TEST_F(PowerPanelTest, ALayoutMissingOneDisplayControlShowsNothing) {
    auto* panel = new CMpDevicePowerUI(root_);
    ui::Builder(*window_).BuildFromText(
        "<HorizontalLayout name=\"device_power_Layout\">"
        "<Label name=\"device_power_status\"/><Progress name=\"device_Power_progress\" "
        "max=\"100\" value=\"7\"/><Label name=\"device_power_value\" text=\"old\"/>"
        "<Label name=\"device_wuxian_logo\" visible=\"false\"/></HorizontalLayout>",
        panel);
    panel->SetKindAndSubType(2, 0);
    Show(panel, {85, 1, 0, 1, 0, 0});
    EXPECT_EQ(panel->findChild<QLabel*>("device_power_value")->text(), "old");
    EXPECT_EQ(panel->findChild<QProgressBar*>("device_Power_progress")->value(), 7);
    EXPECT_FALSE(panel->findChild<QWidget*>("device_Power_progress")->isHidden());
    EXPECT_TRUE(BkImage(panel->findChild<QWidget*>("device_power_status")).isEmpty());
    EXPECT_TRUE(panel->findChild<QWidget*>("device_wuxian_logo")->isHidden());
    // Short and missing replies read as zeros.
    auto* full = Panel(2);
    ASSERT_NE(full, nullptr);
    const uint8_t two[] = {33, 2};
    full->ShowStatus(two, 2);
    EXPECT_EQ(full->findChild<QLabel*>("device_power_value")->text(), "33%");
    EXPECT_EQ(BkImage(full->findChild<QWidget*>("device_power_status")), "power/power.png");
    full->ShowStatus(nullptr, 6);
    EXPECT_EQ(full->findChild<QLabel*>("device_power_value")->text(), "0%");
}

// ---- Profile bar ----

Json::Value ReadJson(const fs::path& path) {
    return storage::ReadJsonFile(path);
}

class ProfileBarTest : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        qunsetenv("ZEPHO7_AUTO_ANSWER");
        qunsetenv("ZEPHO7_TEST_FILE_DIALOG");
        ASSERT_TRUE(dir_.isValid());
        // SetUp runs again for table cases: every run gets a folder of its own.
        folder_ = Temp(("mouse" + std::to_string(++runs_)).c_str());
        bar_ = MakeBar(storage::kind::kMouse, folder_);
        ASSERT_NE(bar_, nullptr);
        ASSERT_TRUE(bar_->InitProfiles());
    }
    void TearDown() override {
        qunsetenv("ZEPHO7_AUTO_ANSWER");
        qunsetenv("ZEPHO7_TEST_FILE_DIALOG");
    }

    // As a page layout makes it: a <DeviceProfile> tag through the builder callback.
    CDeviceProfileUI* MakeBar(int kind, const fs::path& folder) {
        QWidget* made = ui::Builder(*window_).BuildFromText(
            "<DeviceProfile height=\"48\"/>", root_, [](const QString& tag, QWidget* parent) {
                return tag == "DeviceProfile" ? new CDeviceProfileUI(parent) : nullptr;
            });
        auto* bar = dynamic_cast<CDeviceProfileUI*>(made);
        if (bar != nullptr) {
            bar->SetDeviceKind(kind);
            bar->SetFolders(folder, kDefaultMouse);
        }
        return bar;
    }

    ui::Combo* Combo() const { return bar_->ProfileCombo(); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int i = 0; i < Combo()->count(); ++i)
            names.push_back(Combo()->itemText(i).toStdString());
        return names;
    }
    // The names in the list file, which the combo box must always match.
    std::vector<std::string> FileNames() const {
        std::vector<std::string> names;
        const Json::Value list = ReadJson(folder_ / "ProfileList.ini");
        for (const auto& e : list["profilelist"])
            names.push_back(e["profilename"].asString());
        return names;
    }
    int FileSelection() const {
        return ReadJson(folder_ / "ProfileList.ini")["profileselect"].asInt();
    }
    void Add(int times) {
        for (int i = 0; i < times; ++i)
            ASSERT_GE(bar_->AddProfile(), 0);
    }
    ProfileBarAction Click(const char* name) {
        return panels::HandleProfileBarClick(*bar_, QString::fromLatin1(name), window_.get());
    }
    fs::path Temp(const char* name) const { return fs::path(dir_.path().toStdString()) / name; }

    QTemporaryDir dir_;
    int runs_ = 0;
    fs::path folder_;
    CDeviceProfileUI* bar_ = nullptr;
};

TEST_F(ProfileBarTest, FirstStartMakesProfile1FromTheDefaultAndSelectsIt) {
    EXPECT_EQ(Names(), std::vector<std::string>{"profile1"});
    EXPECT_EQ(FileNames(), Names());
    EXPECT_EQ(bar_->GetSelectedIndex(), 0);
    EXPECT_EQ(bar_->GetNameText(), "profile1");
    EXPECT_EQ(Combo()->itemData(0, Qt::ToolTipRole).toString(), "profile1");
    const std::string uuid = bar_->GetCurrentUuid();
    ASSERT_FALSE(uuid.empty());
    EXPECT_EQ(bar_->GetProfileCount(), 1);
    EXPECT_EQ(bar_->GetProfilePathAt(0), folder_ / (uuid + ".Json"));
    Json::Value expected = ReadJson(kDefaultMouse);
    expected["profilename"] = "profile1";
    expected["profileUUID"] = uuid;
    EXPECT_EQ(ReadJson(bar_->GetProfilePathAt(0)), expected);
    // Entries are 30 pixels high, scaled with the window.
    const QModelIndex first = Combo()->model()->index(0, 0);
    EXPECT_EQ(Combo()->itemDelegate()->sizeHint(QStyleOptionViewItem(), first).height(), 30);
    window_->SetDPI(144);
    EXPECT_EQ(Combo()->itemDelegate()->sizeHint(QStyleOptionViewItem(), first).height(), 45);
    // A second start finds the same list.
    CDeviceProfileUI* again = MakeBar(storage::kind::kMouse, folder_);
    ASSERT_TRUE(again->InitProfiles());
    EXPECT_EQ(again->GetCurrentUuid(), uuid);
    EXPECT_EQ(again->ProfileCombo()->count(), 1);
}

TEST_F(ProfileBarTest, AddTakesTheLowestFreeNumberAndKeepsTheProfileInUseSelected) {
    Add(2);
    EXPECT_EQ(Names(), (std::vector<std::string>{"profile1", "profile2", "profile3"}));
    bar_->SelectProfile(1, false);
    ASSERT_EQ(bar_->RenameProfile("middle"), storage::RenameResult::kRenamed);
    EXPECT_EQ(bar_->AddProfile(), 3);
    EXPECT_EQ(Names(), (std::vector<std::string>{"profile1", "middle", "profile3", "profile2"}));
    EXPECT_EQ(FileNames(), Names());
    // The new profile is not loaded: the combo box and the list file keep the one in use.
    EXPECT_EQ(bar_->GetSelectedIndex(), 1);
    EXPECT_EQ(FileSelection(), 1);
    EXPECT_EQ(bar_->GetCurrentUuid(), Combo()->itemData(1).toString().toStdString());
    EXPECT_TRUE(fs::exists(bar_->GetProfilePathAt(3)));
}

TEST_F(ProfileBarTest, FiftyProfilesStopAddButNotCopy) {
    Add(48);
    EXPECT_EQ(bar_->AddProfile(), 49);  // the 50th
    EXPECT_EQ(bar_->AddProfile(), -1);
    EXPECT_EQ(Click("device_add_btn"), ProfileBarAction::kNothing);
    EXPECT_EQ(Combo()->count(), 50);
    EXPECT_EQ(Click("device_copy_btn"), ProfileBarAction::kCopied);
    EXPECT_EQ(Combo()->count(), 51);
    EXPECT_EQ(bar_->GetProfileCount(), 51);
}

TEST_F(ProfileBarTest, CopiesAreNamedAfterTheSourceAndCarryItsSettings) {
    Json::Value source = ReadJson(bar_->GetProfilePathAt(0));
    source["Device"][0]["ReportRate"] = 4;
    ASSERT_TRUE(storage::WriteJsonFile(source, bar_->GetProfilePathAt(0)));
    EXPECT_EQ(bar_->CopyProfile(), 1);
    EXPECT_EQ(bar_->CopyProfile(), 2);
    EXPECT_EQ(Names(),
              (std::vector<std::string>{"profile1", "profile1 copy", "profile1 copy copy"}));
    EXPECT_EQ(FileNames(), Names());
    EXPECT_EQ(bar_->GetSelectedIndex(), 0);
    const Json::Value copy = ReadJson(bar_->GetProfilePathAt(2));
    EXPECT_EQ(copy["Device"][0]["ReportRate"], 4);
    EXPECT_EQ(copy["profilename"], "profile1 copy copy");
    EXPECT_NE(copy["profileUUID"], source["profileUUID"]);
}

TEST_F(ProfileBarTest, DeleteSelectsTheEntryBeforeAndTellsTheWindow) {
    struct Case {
        int selected;
        int expected;
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {0, 0, {"profile2", "profile3"}},
        {2, 1, {"profile1", "profile2"}},
        {1, 0, {"profile1", "profile3"}},
    };
    for (const Case& c : cases) {
        SetUp();
        Add(2);
        bar_->SelectProfile(c.selected, false);
        const fs::path gone = bar_->GetProfilePathAt(c.selected);
        window_->seen.clear();
        EXPECT_EQ(Click("device_sub_btn"), ProfileBarAction::kDeleted);
        EXPECT_EQ(Names(), c.left) << c.selected;
        EXPECT_EQ(FileNames(), c.left);
        EXPECT_EQ(bar_->GetSelectedIndex(), c.expected);
        EXPECT_EQ(FileSelection(), c.expected);
        EXPECT_EQ(bar_->GetNameText().toStdString(), c.left[c.expected]);
        EXPECT_FALSE(fs::exists(gone));
        // The device must leave the deleted profile: the window hears a profile selection.
        ASSERT_EQ(window_->Count("itemselect", "device_profile_combo"), 1);
        EXPECT_EQ(window_->seen.back().wparam, c.expected);
        EXPECT_EQ(bar_->GetProfilePathAt(c.expected), folder_ / (bar_->GetCurrentUuid() + ".Json"));
    }
    SetUp();
    EXPECT_EQ(bar_->DeleteProfile(), -1);  // the last profile stays
    EXPECT_EQ(Names(), std::vector<std::string>{"profile1"});
}

TEST_F(ProfileBarTest, RenameChecksBlankAndTakenNames) {
    Add(1);
    struct Case {
        QString name;
        storage::RenameResult result;
        ProfileBarAction action;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"PROFILE2",
         storage::RenameResult::kNameInUse,
         ProfileBarAction::kNameInUse,
         {"profile1", "profile2"}},
        {" \t ",
         storage::RenameResult::kBlank,
         ProfileBarAction::kBlankName,
         {"profile1", "profile2"}},
        {"Profile1",
         storage::RenameResult::kRenamed,
         ProfileBarAction::kRenamed,
         {"Profile1", "profile2"}},
        {"Sniper",
         storage::RenameResult::kRenamed,
         ProfileBarAction::kRenamed,
         {"Sniper", "profile2"}},
    };
    qputenv("ZEPHO7_AUTO_ANSWER", "confirm");
    for (const Case& c : cases) {
        // Straight, and through the save button with the name in the edit.
        EXPECT_EQ(bar_->RenameProfile(c.name), c.result) << c.name.toStdString();
        bar_->SetNameText(c.name);
        EXPECT_EQ(Click("device_profile_edit_save_btn"), c.action) << c.name.toStdString();
        EXPECT_EQ(Names(), c.names);
        EXPECT_EQ(FileNames(), c.names);
    }
    EXPECT_EQ(Combo()->itemData(0, Qt::ToolTipRole).toString(), "Sniper");
    EXPECT_EQ(bar_->GetNameText(), "Sniper");
    EXPECT_EQ(ReadJson(bar_->GetProfilePathAt(0))["profilename"], "Sniper");
    bar_->SetNameText("");
    EXPECT_EQ(Click("device_profile_edit_save_btn"), ProfileBarAction::kNothing);
}

TEST_F(ProfileBarTest, ImportNamesAfterTheFileAndRefusesOtherFiles) {
    const fs::path game = Temp("Game.json");
    ASSERT_TRUE(bar_->ExportProfile(game));
    EXPECT_EQ(ReadJson(game), ReadJson(bar_->GetProfilePathAt(0)));
    qputenv("ZEPHO7_TEST_FILE_DIALOG", game.c_str());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Click("device_import_btn"), ProfileBarAction::kImported);
    EXPECT_EQ(Names(), (std::vector<std::string>{"profile1", "Game", "Game(1)", "Game(1)(2)"}));
    EXPECT_EQ(FileNames(), Names());
    EXPECT_EQ(bar_->GetSelectedIndex(), 0);
    EXPECT_EQ(ReadJson(bar_->GetProfilePathAt(2))["profilename"], "Game(1)");

    qputenv("ZEPHO7_AUTO_ANSWER", "confirm");
    const fs::path keyboard = fs::path(ZEPHO7_SOURCE_DIR) / "DefaultData" / "keyboard.Json";
    const fs::path not_json = Temp("notes.json");
    ASSERT_TRUE(storage::WriteFileAtomic(not_json, "not a profile"));
    Json::Value nameless = ReadJson(game);
    nameless.removeMember("profileUUID");
    const fs::path no_uuid = Temp("nameless.json");
    ASSERT_TRUE(storage::WriteJsonFile(nameless, no_uuid));
    for (const fs::path& refused : {keyboard, not_json, no_uuid, Temp("missing.json")}) {
        qputenv("ZEPHO7_TEST_FILE_DIALOG", refused.c_str());
        EXPECT_EQ(Click("device_import_btn"), ProfileBarAction::kImportRefused) << refused;
    }
    qputenv("ZEPHO7_TEST_FILE_DIALOG", "");  // cancelled
    EXPECT_EQ(Click("device_import_btn"), ProfileBarAction::kNothing);
    EXPECT_EQ(Combo()->count(), 4);
    EXPECT_EQ(bar_->GetProfileCount(), 4);
}

TEST_F(ProfileBarTest, ExportWritesTheSelectedProfileWhole) {
    Add(1);
    bar_->SelectProfile(1, false);
    const fs::path out = Temp("out/profile2.json");
    qputenv("ZEPHO7_TEST_FILE_DIALOG", out.c_str());
    qputenv("ZEPHO7_AUTO_ANSWER", "confirm");
    // The folder does not exist: the user is told, nothing is written.
    EXPECT_EQ(Click("device_export_btn"), ProfileBarAction::kExportFailed);
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(out.parent_path().string())));
    EXPECT_EQ(Click("device_export_btn"), ProfileBarAction::kExported);
    const Json::Value exported = ReadJson(out);
    EXPECT_EQ(exported, ReadJson(bar_->GetProfilePathAt(1)));
    EXPECT_EQ(exported["profilename"], "profile2");
    qputenv("ZEPHO7_TEST_FILE_DIALOG", "");
    EXPECT_EQ(Click("device_export_btn"), ProfileBarAction::kNothing);
}

TEST_F(ProfileBarTest, ResetAsksFirstAndTakesTheDefaultBack) {
    const fs::path file = bar_->GetProfilePathAt(0);
    Json::Value changed = ReadJson(file);
    changed["Device"][0]["ReportRate"] = 7;
    ASSERT_TRUE(storage::WriteJsonFile(changed, file));
    qputenv("ZEPHO7_AUTO_ANSWER", "cancel");
    EXPECT_EQ(Click("device_reset_btn"), ProfileBarAction::kNothing);
    EXPECT_EQ(ReadJson(file), changed);
    qputenv("ZEPHO7_AUTO_ANSWER", "confirm");
    EXPECT_EQ(Click("device_reset_btn"), ProfileBarAction::kReset);
    Json::Value expected = ReadJson(kDefaultMouse);
    expected["profilename"] = "profile1";
    expected["profileUUID"] = bar_->GetCurrentUuid();
    EXPECT_EQ(ReadJson(file), expected);
    EXPECT_EQ(Names(), std::vector<std::string>{"profile1"});
}

TEST_F(ProfileBarTest, TheSpreadButtonFoldsTheMenuAndOnlyBarButtonsAreTaken) {
    EXPECT_FALSE(bar_->IsMenuShown());
    EXPECT_EQ(Click("profile_fun_spread_btn"), ProfileBarAction::kMenuToggled);
    EXPECT_TRUE(bar_->IsMenuShown());
    EXPECT_EQ(Click("profile_fun_spread_btn"), ProfileBarAction::kMenuToggled);
    EXPECT_FALSE(bar_->IsMenuShown());
    const std::pair<const char*, bool> names[] = {
        {"device_add_btn", true},         {"DEVICE_Add_Btn", true},
        {"device_reset_btn", true},       {"device_profile_edit_save_btn", true},
        {"profile_fun_spread_btn", true}, {"Profile_fun_spread_btn", false},
        {"default_btn", false},           {"closebtn", false},
    };
    for (const auto& [name, taken] : names)
        EXPECT_EQ(panels::IsProfileBarButton(name), taken) << name;
    EXPECT_EQ(Click("Profile_fun_spread_btn"), ProfileBarAction::kNotHandled);
    EXPECT_FALSE(bar_->IsMenuShown());
}

TEST_F(ProfileBarTest, TabsFollowTheDeviceKindAndSelectWithoutEvents) {
    struct Case {
        int kind;
        std::set<std::string> shown;
    };
    const Case cases[] = {
        {1, {"deng_Op_tab", "key_Op_tab", "macro_Op_tab", "system_Op_tab"}},
        {2, {"deng_Op_tab", "key_Op_tab", "macro_Op_tab", "system_Op_tab", "cursor_Op_tab"}},
        {3, {"deng_Op_tab"}},
        {7, {"deng_Op_tab", "6533_voice_Op_tab", "magic_Op_tab"}},
    };
    for (const Case& c : cases) {
        CDeviceProfileUI* bar = MakeBar(c.kind, Temp(("kind" + std::to_string(c.kind)).c_str()));
        ASSERT_TRUE(bar->InitProfiles());
        std::set<std::string> shown;
        for (int i = 0; i < CDeviceProfileUI::kTabCount; ++i) {
            if (!bar->Tab(i)->isHidden())
                shown.insert(CDeviceProfileUI::kTabNames[i]);
        }
        EXPECT_EQ(shown, c.shown) << c.kind;
    }
    const auto checked = [](CDeviceProfileUI* bar) {
        std::vector<int> on;
        for (int i = 0; i < CDeviceProfileUI::kTabCount; ++i) {
            if (static_cast<QPushButton*>(bar->Tab(i))->isChecked())
                on.push_back(i);
        }
        return on;
    };
    window_->seen.clear();
    bar_->SelectTab(1);
    EXPECT_EQ(checked(bar_), std::vector<int>{1});
    bar_->SelectTab(3);
    EXPECT_EQ(checked(bar_), std::vector<int>{3});
    EXPECT_TRUE(window_->seen.empty());  // no "selectchanged"
    // Each bar has its own group: another page's tabs are not unselected.
    CDeviceProfileUI* other = MakeBar(1, Temp("keyboard"));
    other->SelectTab(0);
    EXPECT_EQ(checked(bar_), std::vector<int>{3});
    static_cast<QPushButton*>(other->Tab(2))->click();  // a user's click does raise it
    EXPECT_EQ(checked(other), std::vector<int>{2});
    EXPECT_EQ(checked(bar_), std::vector<int>{3});
    EXPECT_EQ(window_->Count("selectchanged", "macro_Op_tab"), 1);
    bar_->SelectTab(8);
    EXPECT_TRUE(checked(bar_).empty());
}

TEST_F(ProfileBarTest, EveryActionDoesNothingWithoutTheComboBox) {
    auto* bare = new CDeviceProfileUI(nullptr);  // outside a window: no layout
    std::unique_ptr<QWidget> owner(bare);
    bare->SetDeviceKind(2);
    bare->SetFolders(Temp("bare"), kDefaultMouse);
    EXPECT_FALSE(bare->LoadLayout());
    EXPECT_TRUE(bare->InitProfiles());  // the list file is still made
    EXPECT_EQ(bare->GetProfileCount(), 1);
    EXPECT_EQ(bare->AddProfile(), -1);
    EXPECT_EQ(bare->CopyProfile(), -1);
    EXPECT_EQ(bare->DeleteProfile(), -1);
    EXPECT_EQ(bare->RenameProfile("x"), storage::RenameResult::kNoProfile);
    EXPECT_FALSE(bare->ExportProfile(Temp("x.json")));
    EXPECT_EQ(bare->GetSelectedIndex(), -1);
    EXPECT_EQ(bare->GetProfileCount(), 1);
}

// Not a check: pictures of the bar and the power panel in the main window's layout, and of a
// message box, saved in the build folder's "shots" for a look.
TEST_F(ProfileBarTest, SavesScreenshotsForReview) {
    const QString shots = QStringLiteral(ZEPHO7_SHOTS_DIR);
    ASSERT_TRUE(QDir().mkpath(shots));
    for (const int dpi : {96, 144}) {
        TestWindow main(skin_, factory_);
        main.SetLanguage(&language_);
        ASSERT_TRUE(main.Create("XML_MAIN"));
        auto* pages = main.Find<ui::TabLayout>("device_switch");
        ASSERT_NE(pages, nullptr);
        ui::Builder(main).BuildFromText(
            "<VerticalLayout name=\"page\" inset=\"18,10,18,0\"><DeviceProfile height=\"48\"/>"
            "<Control/></VerticalLayout>",
            pages, [](const QString& tag, QWidget* parent) -> QWidget* {
                return tag == "DeviceProfile" ? new CDeviceProfileUI(parent) : nullptr;
            });
        pages->SelectItem(pages->count() - 1);
        auto* bar = main.FindControl("page")->findChild<CDeviceProfileUI*>();
        ASSERT_NE(bar, nullptr);
        bar->SetDeviceKind(storage::kind::kMouse);
        bar->SetFolders(Temp(("shot" + std::to_string(dpi)).c_str()), kDefaultMouse);
        ASSERT_TRUE(bar->InitProfiles());
        ASSERT_GE(bar->AddProfile(), 0);
        bar->ShowMenu(true);
        bar->SelectTab(1);
        auto* power_switch = main.Find<ui::TabLayout>("device_power_switch");
        CMpDevicePowerUI* power = CMpDevicePowerUI::Build(main, power_switch);
        ASSERT_NE(power, nullptr);
        power_switch->SelectItem(power_switch->count() - 1);
        power->SetKindAndSubType(2, 0);
        power->ShowBatteryArea(true);
        const std::array<uint8_t, 6> status = {85, 0, 0, 1, 0, 0};
        power->ShowStatus(status.data(), status.size());
        main.SetDPI(dpi);
        main.show();
        QApplication::processEvents();
        EXPECT_TRUE(main.grab().save(shots + QStringLiteral("/panels-%1.png").arg(dpi)));
    }
    // The power display in each charging state, and the mousepad's phones.
    TestWindow states(skin_, factory_);
    states.SetLanguage(&language_);
    states.setStyleSheet(skin_.StyleSheet(1.0));  // as Create does
    QWidget* column = ui::Builder(states).BuildFromText(
        "<VerticalLayout bkcolor=\"#FF111318\" inset=\"18,0,18,0\"/>", &states);
    const std::pair<int, std::array<uint8_t, 6>> rows[] = {
        {2, {85, 0, 0, 0, 0, 0}},  {2, {15, 0, 0, 1, 0, 0}},  {2, {60, 1, 0, 0, 0, 0}},
        {3, {60, 1, 0, 1, 0, 0}},  {3, {100, 2, 0, 0, 0, 1}}, {3, {100, 2, 0, 0, 0, 2}},
        {3, {100, 2, 0, 0, 0, 3}}, {3, {100, 2, 0, 0, 0, 0}}};
    for (const auto& [kind, bytes] : rows) {
        CMpDevicePowerUI* row = CMpDevicePowerUI::Build(states, column);
        ASSERT_NE(row, nullptr);
        row->setFixedHeight(40);
        row->SetKindAndSubType(kind, 0);
        row->ShowBatteryArea(true);
        row->ShowStatus(bytes.data(), bytes.size());
    }
    states.resize(260, 40 * static_cast<int>(std::size(rows)));
    states.show();
    QApplication::processEvents();
    EXPECT_TRUE(states.grab().save(shots + QStringLiteral("/power-states.png")));

    appearance::CMsgWnd box(skin_, factory_, &language_, nullptr);
    ASSERT_TRUE(box.Prepare({}, "message_text_22", appearance::MsgText::kTextId,
                            appearance::MsgButtons::kConfirmCancel, 96));
    box.show();
    QApplication::processEvents();
    EXPECT_TRUE(box.grab().save(shots + QStringLiteral("/msgwnd.png")));
}

}  // namespace
