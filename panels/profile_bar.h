// The profile bar of a device page: a combo box of the device kind's profiles, the name edit,
// the fold-out menu of profile actions and the row of page tabs. The file side of every action
// is storage::ProfileList's; the bar keeps its combo box in step with the list file.
#pragma once

#include <QPointer>
#include <QString>
#include <filesystem>
#include <memory>
#include <string>

#include "storage/profile_list.h"
#include "ui/controls.h"

class QButtonGroup;

namespace zepho7::panels {

class CDeviceProfileUI : public ui::Box {
  public:
    // The bar's content; built into the bar when it is created inside a program window.
    static constexpr char kLayoutFile[] = "XML/CustomControlXML/DeviceProfile.xml";
    static constexpr char kClassName[] = "DeviceProfile";
    static constexpr int kMaxProfiles = storage::ProfileList::kMaxProfiles;
    static constexpr int kItemHeight = 30;  // combo entries, 96-DPI pixels
    static constexpr int kTabCount = 8;
    // The page tab options by index (SelectTab), in the order of the device's function pages.
    static constexpr const char* kTabNames[kTabCount] = {
        "deng_Op_tab",   "key_Op_tab",        "macro_Op_tab", "system_Op_tab",
        "cursor_Op_tab", "6533_voice_Op_tab", "magic_Op_tab", "Virtual7.1_Op_tab"};

    explicit CDeviceProfileUI(QWidget* parent);
    ~CDeviceProfileUI() override;

    // Builds the content from kLayoutFile unless the bar already holds "device_profile_combo".
    // False outside a program window or when the layout is missing.
    bool LoadLayout();

    // kind: 1 keyboard, 2 mouse, 3 mousepad, 7 headset.
    void SetDeviceKind(int kind);
    [[nodiscard]] int DeviceKind() const noexcept { return kind_; }
    // The kind's user folder and default profile file.
    void SetFolders(std::filesystem::path user_folder, std::filesystem::path default_profile);

    // Creates the list with "profile1" on first use, fills the combo box, selects the recorded
    // profile (no event) and shows the page tabs of the device kind. False on write errors or
    // before SetFolders.
    bool InitProfiles();

    // Marks tab option `index` (0..7) selected and the others not, raising nothing; an index
    // outside 0..7 unselects all.
    void SelectTab(int index);

    // The identifier of the selected profile (its file is user folder + identifier + ".Json").
    [[nodiscard]] std::string GetCurrentUuid() const;
    // The combo box's selected entry, -1 when none.
    [[nodiscard]] int GetSelectedIndex() const;
    // Selects entry `index`, shows its name in the edit and records it in the list file; with
    // `raise_event` the combo box raises "itemselect" as when the user picked it.
    void SelectProfile(int index, bool raise_event);

    [[nodiscard]] QString GetNameText() const;
    void SetNameText(const QString& text);

    // The fold-out menu "profile_menu_layout".
    void ShowMenu(bool shown);
    [[nodiscard]] bool IsMenuShown() const;

    // "profile<n>" with the lowest free n, appended. The selection stays where it is. Returns
    // the new entry, -1 with 50 profiles (or on errors).
    int AddProfile();
    // Removes the selected profile and its file unless it is the last one, then selects the
    // entry before it (or the first) with "itemselect" raised, so the device follows. Returns
    // the entry selected afterwards, -1 when nothing was deleted.
    int DeleteProfile();
    // "<name> copy" of the selected profile, appended. Returns the new entry or -1.
    int CopyProfile();
    // Renames the selected profile: kRenamed, kNameInUse (another entry has that name, compared
    // without regard to case), kBlank, or kNoProfile when nothing is selected.
    storage::RenameResult RenameProfile(const QString& name);
    // Rewrites the selected profile from the default profile (names and identifier kept; the
    // headset keeps its custom equaliser). The device's side is the caller's.
    bool ResetProfile();
    // Adds a copy of a profile file of this kind, named after the file ("Game", "Game(1)", ...).
    storage::ImportResult ImportProfile(const std::filesystem::path& path);
    // Writes the selected profile's file whole to `path`.
    bool ExportProfile(const std::filesystem::path& path) const;

    // Number of entries in the list file, and the profile file of entry `index` (empty when
    // out of range).
    [[nodiscard]] int GetProfileCount() const;
    [[nodiscard]] std::filesystem::path GetProfilePathAt(int index) const;

    // The controls, looked up inside the bar on first use (nullptr when missing).
    [[nodiscard]] ui::Combo* ProfileCombo() const;
    [[nodiscard]] QWidget* Tab(int index) const;

  private:
    void MakeList();
    // Refills the combo box from the list file and selects the entry of `uuid` (or keeps the
    // index when it is not found).
    void Resync(const std::string& uuid);
    // The list file's index of the combo box's selected entry, found by its identifier so an
    // outside change to the file never makes an action hit another profile. -1 when none.
    [[nodiscard]] int FileIndexOfSelected() const;
    [[nodiscard]] std::string SelectedUuid() const;
    void ApplyTabVisibility();
    QWidget* Cached(QPointer<QWidget>& slot, const char* name) const;

    int kind_ = 0;
    std::filesystem::path user_folder_;
    std::filesystem::path default_profile_;
    std::unique_ptr<storage::ProfileList> list_;
    mutable QPointer<QWidget> combo_, edit_, menu_;
    mutable QPointer<QWidget> tabs_[kTabCount];
    QButtonGroup* tab_group_ = nullptr;  // owned by the bar
};

}  // namespace zepho7::panels
