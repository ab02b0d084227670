#include "panels/profile_bar.h"

#include <QButtonGroup>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QVariant>

#include "base/trace.h"
#include "storage/folders.h"
#include "ui/attributes.h"
#include "ui/builder.h"
#include "ui/window.h"

namespace zepho7::panels {

namespace {

// Page tabs a device kind hides or shows; tabs not named keep what the layout gives them.
struct TabRule {
    int kind;
    const char* tab;
    bool visible;
};
constexpr TabRule kTabRules[] = {
    {storage::kind::kKeyboard, "cursor_Op_tab", false},
    {storage::kind::kMousePad, "cursor_Op_tab", false},
    {storage::kind::kMousePad, "macro_Op_tab", false},
    {storage::kind::kMousePad, "system_Op_tab", false},
    {storage::kind::kMousePad, "key_Op_tab", false},
    {storage::kind::kHeadset, "cursor_Op_tab", false},
    {storage::kind::kHeadset, "macro_Op_tab", false},
    {storage::kind::kHeadset, "system_Op_tab", false},
    {storage::kind::kHeadset, "key_Op_tab", false},
    {storage::kind::kHeadset, "6533_voice_Op_tab", true},
    {storage::kind::kHeadset, "magic_Op_tab", true},
};

// Combo entries of a fixed height (scaled with the window's DPI).
class ItemHeightDelegate : public QStyledItemDelegate {
  public:
    explicit ItemHeightDelegate(QWidget* owner) : QStyledItemDelegate(owner), owner_(owner) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(ui::Scaled(owner_, CDeviceProfileUI::kItemHeight));
        return size;
    }

  private:
    QWidget* owner_;
};

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

CDeviceProfileUI::CDeviceProfileUI(QWidget* parent) : ui::Box(ui::Box::Kind::Horizontal, parent) {
    ui::SetClassName(this, QString::fromLatin1(kClassName));
    if (ui::WindowOf(this) != nullptr)
        LoadLayout();
}

CDeviceProfileUI::~CDeviceProfileUI() = default;

bool CDeviceProfileUI::LoadLayout() {
    if (ProfileCombo() == nullptr) {
        ui::Window* window = ui::WindowOf(this);
        if (window == nullptr ||
            ui::Builder(*window).Build(QString::fromLatin1(kLayoutFile), this) == nullptr) {
            Z7_TRACE("profile bar: layout %s not built", kLayoutFile);
            return false;
        }
    }
    if (ui::Combo* combo = ProfileCombo()) {
        combo->setItemDelegate(new ItemHeightDelegate(combo));  // owned by the combo
        combo->setMaxVisibleItems(12);
    }
    // One exclusive group per bar: the bars of the other device pages keep their own tab.
    if (tab_group_ == nullptr) {
        tab_group_ = new QButtonGroup(this);
        tab_group_->setExclusive(true);
    }
    for (int i = 0; i < kTabCount; ++i) {
        if (auto* option = qobject_cast<QAbstractButton*>(Tab(i)))
            tab_group_->addButton(option);
    }
    return true;
}

QWidget* CDeviceProfileUI::Cached(QPointer<QWidget>& slot, const char* name) const {
    if (slot.isNull())
        slot = ui::Window::FindControl(this, QString::fromLatin1(name));
    return slot.data();
}

ui::Combo* CDeviceProfileUI::ProfileCombo() const {
    return dynamic_cast<ui::Combo*>(Cached(combo_, "device_profile_combo"));
}

QWidget* CDeviceProfileUI::Tab(int index) const {
    if (index < 0 || index >= kTabCount)
        return nullptr;
    return Cached(tabs_[index], kTabNames[index]);
}

void CDeviceProfileUI::SetDeviceKind(int kind) {
    kind_ = kind;
    if (!user_folder_.empty())
        MakeList();
}

void CDeviceProfileUI::SetFolders(std::filesystem::path user_folder,
                                  std::filesystem::path default_profile) {
    user_folder_ = std::move(user_folder);
    default_profile_ = std::move(default_profile);
    MakeList();
}

void CDeviceProfileUI::MakeList() {
    list_ = std::make_unique<storage::ProfileList>(kind_, user_folder_, default_profile_);
}

bool CDeviceProfileUI::InitProfiles() {
    if (!list_)
        return false;
    const bool ok = list_->InitProfiles();
    if (ProfileCombo() == nullptr)
        return ok;
    Resync({});
    SelectProfile(std::max(0, list_->GetSelectedIndex()), false);
    ApplyTabVisibility();
    return ok;
}

void CDeviceProfileUI::ApplyTabVisibility() {
    for (const TabRule& rule : kTabRules) {
        if (rule.kind != kind_)
            continue;
        if (QWidget* tab = ui::Window::FindControl(this, QString::fromLatin1(rule.tab)))
            tab->setVisible(rule.visible);
    }
}

void CDeviceProfileUI::Resync(const std::string& uuid) {
    ui::Combo* combo = ProfileCombo();
    if (combo == nullptr || !list_)
        return;
    const std::vector<storage::ProfileEntry> entries = list_->Entries();
    int select = combo->currentIndex();
    const QSignalBlocker blocker(combo);
    combo->clear();
    for (size_t i = 0; i < entries.size(); ++i) {
        const QString name = FromUtf8(entries[i].name);
        combo->addItem(name, FromUtf8(entries[i].uuid));
        combo->setItemData(static_cast<int>(i), name, Qt::ToolTipRole);
        if (!uuid.empty() && entries[i].uuid == uuid)
            select = static_cast<int>(i);
    }
    combo->setCurrentIndex(std::min(select, combo->count() - 1));
}

std::string CDeviceProfileUI::SelectedUuid() const {
    const ui::Combo* combo = ProfileCombo();
    if (combo == nullptr || combo->currentIndex() < 0)
        return {};
    return combo->currentData().toString().toStdString();
}

int CDeviceProfileUI::FileIndexOfSelected() const {
    const ui::Combo* combo = ProfileCombo();
    if (combo == nullptr || !list_ || combo->currentIndex() < 0)
        return -1;
    const std::string uuid = SelectedUuid();
    const std::vector<storage::ProfileEntry> entries = list_->Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].uuid == uuid)
            return static_cast<int>(i);
    }
    Z7_TRACE("profile bar: the selected profile is no longer in %s", list_->ListPath().c_str());
    return -1;
}

void CDeviceProfileUI::SelectTab(int index) {
    // An exclusive group cannot lose its selected button; "none selected" needs it off.
    if (tab_group_ != nullptr)
        tab_group_->setExclusive(false);
    for (int i = 0; i < kTabCount; ++i) {
        if (auto* option = qobject_cast<QAbstractButton*>(Tab(i))) {
            const QSignalBlocker blocker(option);
            option->setChecked(i == index);
        }
    }
    if (tab_group_ != nullptr)
        tab_group_->setExclusive(true);
}

std::string CDeviceProfileUI::GetCurrentUuid() const {
    return list_ ? list_->GetCurrentUuid() : std::string();
}

int CDeviceProfileUI::GetSelectedIndex() const {
    const ui::Combo* combo = ProfileCombo();
    return combo ? combo->currentIndex() : -1;
}

void CDeviceProfileUI::SelectProfile(int index, bool raise_event) {
    ui::Combo* combo = ProfileCombo();
    if (combo == nullptr || !list_ || index < 0 || index >= combo->count())
        return;
    {
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(index);
    }
    SetNameText(combo->itemText(index));
    const int file_index = FileIndexOfSelected();
    if (file_index < 0 || !list_->SelectProfile(file_index))
        Z7_TRACE("profile bar: selection %d not recorded", index);
    if (raise_event)
        ui::RaiseNotify(combo, ui::notify::kItemSelect, index);
}

QString CDeviceProfileUI::GetNameText() const {
    const auto* edit = qobject_cast<QLineEdit*>(Cached(edit_, "device_profile_name_edit"));
    return edit ? edit->text() : QString();
}

void CDeviceProfileUI::SetNameText(const QString& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(Cached(edit_, "device_profile_name_edit")))
        edit->setText(text);
}

void CDeviceProfileUI::ShowMenu(bool shown) {
    if (QWidget* menu = Cached(menu_, "profile_menu_layout"))
        menu->setVisible(shown);
}

bool CDeviceProfileUI::IsMenuShown() const {
    const QWidget* menu = Cached(menu_, "profile_menu_layout");
    return menu != nullptr && !menu->isHidden();
}

int CDeviceProfileUI::AddProfile() {
    ui::Combo* combo = ProfileCombo();
    if (combo == nullptr || !list_ || combo->count() >= kMaxProfiles)
        return -1;
    const int in_use = FileIndexOfSelected();
    const std::string uuid = SelectedUuid();
    const int index = list_->AddProfile();
    if (index < 0)
        return -1;
    // The new profile is not loaded; the list file keeps naming the one in use, so the next
    // start does not switch the device to a profile the user never chose.
    if (in_use >= 0 && !list_->SelectProfile(in_use))
        Z7_TRACE("profile bar: selection not recorded after adding");
    Resync(uuid);
    return index;
}

int CDeviceProfileUI::CopyProfile() {
    if (ProfileCombo() == nullptr || !list_)
        return -1;
    const int source = FileIndexOfSelected();
    if (source < 0)
        return -1;
    const int index = list_->CopyProfile(source);
    Resync(SelectedUuid());
    return index;
}

int CDeviceProfileUI::DeleteProfile() {
    ui::Combo* combo = ProfileCombo();
    if (combo == nullptr || !list_ || combo->count() <= 1)
        return -1;
    const int index = FileIndexOfSelected();
    if (index < 0)
        return -1;
    const int next = list_->DeleteProfile(index);
    if (next < 0)
        return -1;
    Resync({});
    // The device still holds the deleted profile; selecting with the event makes it load the
    // one now selected, so its later saves never go to a file that is gone.
    SelectProfile(next, true);
    return next;
}

storage::RenameResult CDeviceProfileUI::RenameProfile(const QString& name) {
    ui::Combo* combo = ProfileCombo();
    if (combo == nullptr || !list_)
        return storage::RenameResult::kNoProfile;
    const int item = combo->currentIndex();
    const storage::RenameResult result =
        list_->RenameProfile(item < 0 ? -1 : FileIndexOfSelected(), name.toStdString());
    if (result == storage::RenameResult::kRenamed) {
        combo->setItemText(item, name);
        combo->setItemData(item, name, Qt::ToolTipRole);
        SetNameText(name);
        combo->update();
    }
    return result;
}

bool CDeviceProfileUI::ResetProfile() {
    if (ProfileCombo() == nullptr || !list_)
        return false;
    const int index = FileIndexOfSelected();
    return index >= 0 && list_->ResetProfile(index);
}

storage::ImportResult CDeviceProfileUI::ImportProfile(const std::filesystem::path& path) {
    if (ProfileCombo() == nullptr || !list_)
        return {};
    storage::ImportResult result = list_->ImportProfile(path);
    if (result.status == storage::ImportStatus::kImported)
        Resync(SelectedUuid());
    return result;
}

bool CDeviceProfileUI::ExportProfile(const std::filesystem::path& path) const {
    if (ProfileCombo() == nullptr || !list_ || path.empty())
        return false;
    const int index = FileIndexOfSelected();
    return index >= 0 && list_->ExportProfile(index, path);
}

int CDeviceProfileUI::GetProfileCount() const {
    return list_ ? list_->GetProfileCount() : 0;
}

std::filesystem::path CDeviceProfileUI::GetProfilePathAt(int index) const {
    return list_ ? list_->GetProfilePathAt(index) : std::filesystem::path();
}

}  // namespace zepho7::panels
