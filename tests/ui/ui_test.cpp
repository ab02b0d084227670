// The toolkit layer on Qt's offscreen platform: builder, attributes, notifications, timers,
// menus, language texts, DPI and the program's own controls.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "ui/attributes.h"
#include "ui/builder.h"
#include "ui/control_factory.h"
#include "ui/custom_controls.h"
#include "ui/language.h"
#include "ui/menu.h"
#include "ui/skin.h"
#include "ui/window.h"

namespace {

using namespace zepho7::ui;

void WriteFile(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

class TestWindow : public Window {
  public:
    using Window::Window;
    std::vector<Notification> seen;
    std::vector<MenuResult> menus;
    void OnMenuResult(const MenuResult& r) override { menus.push_back(r); }

  protected:
    void Notify(const Notification& n) override { seen.push_back(n); }
};

class UiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        const QString d = dir_.path();
        WriteFile(d + "/res.xml",
                  "<Resources><Xml id=\"XML_T\" file=\"XML/t.xml\"/>"
                  "<Font id=\"0\" family=\"DejaVu Sans\" size=\"12\"/></Resources>");
        // A fully opaque square, the shape of a key's light.
        WriteFile(d + "/light.svg",
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"40\" height=\"40\">"
                  "<rect width=\"40\" height=\"40\" fill=\"#ffffff\"/></svg>");
        WriteFile(d + "/menu.xml",
                  "<Menu><MenuElement name=\"about_menu\" text=\"About\"/><Separator/>"
                  "<MenuElement name=\"exit\" text=\"Exit\" textid=\"menu_exit\" "
                  "userdata=\"7\"/></Menu>");
        WriteFile(d + "/Language/lan_fr.xml",
                  "<Language name=\"lan_fr\"><Text id=\"menu_exit\">Quitter</Text>"
                  "<Text id=\"hello\">Bonjour</Text></Language>");
        skin_ = std::make_unique<Skin>(d);
        window_ = std::make_unique<TestWindow>(*skin_, factory_);
    }

    QWidget* Build(const QString& xml, const Window::CreateCallback& cb = {}) {
        return Builder(*window_).BuildFromText(xml, window_.get(), cb);
    }

    QTemporaryDir dir_;
    ControlFactory factory_;
    std::unique_ptr<Skin> skin_;
    std::unique_ptr<TestWindow> window_;
};

TEST_F(UiTest, BuilderMakesNamedControlsOfTheirClassesWithTheirAttributes) {
    QWidget* root = Build(
        "<Window size=\"300,200\"><VerticalLayout name=\"root\">"
        "<Button name=\"ok_btn\" text=\"OK\" width=\"80\" tooltip=\"tip\" userdata=\"u1\"/>"
        "<Edit name=\"DPI_edit_2\" numberonly=\"true\" max=\"26000\" maxchar=\"5\"/>"
        "<Label name=\"hidden_label\" visible=\"false\" text=\"x\"/>"
        "<TabLayout name=\"tabs\" selectedid=\"1\"><Control/><Control name=\"page1\"/>"
        "</TabLayout><Combo name=\"combo\"><Item text=\"a\"/><Item text=\"b\"/></Combo>"
        "</VerticalLayout></Window>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(window_->BaseSize(), QSize(300, 200));
    auto* ok = window_->Find<Button>("ok_btn");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ClassName(ok), "Button");
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_EQ(ok->width(), 80);
    EXPECT_EQ(ok->toolTip(), "tip");
    EXPECT_EQ(UserData(ok), "u1");
    auto* edit = window_->Find<Edit>("DPI_edit_2");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->maxLength(), 5);
    EXPECT_NE(edit->validator(), nullptr);
    EXPECT_TRUE(window_->FindControl("hidden_label")->isHidden());
    EXPECT_EQ(window_->Find<TabLayout>("tabs")->currentIndex(), 1);
    EXPECT_EQ(window_->Find<Combo>("combo")->count(), 2);
    EXPECT_EQ(Window::FindControl(window_->FindControl("tabs"), "page1"),
              window_->FindControl("page1"));
    EXPECT_EQ(Window::FindControl(window_->FindControl("tabs"), "ok_btn"), nullptr);
}

TEST_F(UiTest, UnknownTagsGoThroughTheCallbackOrAreSkippedWithTheirChildren) {
    std::vector<QString> asked;
    Build(
        "<VerticalLayout><CircleProgress name=\"ring\" max=\"100\" value=\"40\"/>"
        "<Mystery name=\"m\"><Button name=\"inside\"/></Mystery></VerticalLayout>",
        [&](const QString& tag, QWidget* parent) -> QWidget* {
            asked.push_back(tag);
            return tag == "CircleProgress" ? new CircleProgress(parent) : nullptr;
        });
    EXPECT_EQ(asked, (std::vector<QString>{"CircleProgress", "Mystery"}));
    auto* ring = window_->Find<CircleProgress>("ring");
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ(ClassName(ring), "CircleProgress");  // named after its tag
    EXPECT_EQ(ring->value(), 40);
    EXPECT_EQ(window_->FindControl("m"), nullptr);
    EXPECT_EQ(window_->FindControl("inside"), nullptr);
}

TEST_F(UiTest, FactoryCreatesRegisteredClassesByNameWithoutRegardToCase) {
    factory_.Register("CSelectPanelUI", [](QWidget* p) { return new SelectPanel(p); });
    Build("<VerticalLayout><cselectpanelui name=\"panel\"/></VerticalLayout>");
    EXPECT_NE(window_->Find<SelectPanel>("panel"), nullptr);
    EXPECT_EQ(factory_.Registered(), QStringList{"CSelectPanelUI"});
}

TEST_F(UiTest, SetAttributeAtRunTimeActsAsInTheLayout) {
    Build("<VerticalLayout><Label name=\"l\"/></VerticalLayout>");
    QWidget* label = window_->FindControl("l");
    struct Case {
        const char *name, *value;
        bool known;
    };
    const Case cases[] = {{"text", "hello", true},        {"width", "120", true},
                          {"visible", "false", true},     {"bkcolor", "#FF102030", true},
                          {"bkcolor", "nonsense", false}, {"no_such_attribute", "1", false}};
    for (const Case& c : cases)
        EXPECT_EQ(SetAttribute(label, c.name, c.value), c.known) << c.name << "=" << c.value;
    EXPECT_EQ(static_cast<QLabel*>(label)->text(), "hello");
    EXPECT_EQ(label->width(), 120);
    EXPECT_TRUE(label->isHidden());
    EXPECT_EQ(static_cast<Label*>(label)->decor().bk_color, QColor(0x10, 0x20, 0x30));
}

TEST_F(UiTest, ControlsRaiseTheirNotificationsToTheWindow) {
    Build(
        "<VerticalLayout><Button name=\"closebtn\"/>"
        "<Option name=\"tab_a\" group=\"g\" selected=\"true\"/><Option name=\"tab_b\" group=\"g\""
        " bindtablayoutname=\"pages\" bindtabindex=\"1\"/>"
        "<TabLayout name=\"pages\"><Control/><Control/></TabLayout>"
        "<Combo name=\"c\"><Item text=\"a\"/><Item text=\"b\"/></Combo></VerticalLayout>");
    window_->show();
    window_->seen.clear();
    QTest::mouseClick(window_->FindControl("closebtn"), Qt::LeftButton);
    window_->Find<Option>("tab_b")->Selected(true);
    emit window_->Find<Combo>("c")->activated(1);
    std::vector<std::pair<QString, QString>> got;
    for (const auto& n : window_->seen)
        got.emplace_back(n.type, n.sender_name);
    const std::vector<std::pair<QString, QString>> want = {{"click", "closebtn"},
                                                           {"selectchanged", "tab_a"},
                                                           {"selectchanged", "tab_b"},
                                                           {"itemselect", "c"}};
    EXPECT_EQ(got, want);
    EXPECT_EQ(window_->Find<TabLayout>("pages")->currentIndex(), 1);
    EXPECT_EQ(window_->seen.back().wparam, 1);
}

TEST_F(UiTest, ControlTimersRaiseTimerWithTheirIdUntilKilled) {
    Build("<VerticalLayout><Label name=\"entry\"/></VerticalLayout>");
    QWidget* entry = window_->FindControl("entry");
    window_->seen.clear();
    ASSERT_TRUE(window_->SetTimer(entry, 1055, 5));
    QTRY_VERIFY_WITH_TIMEOUT(!window_->seen.empty(), 2000);
    EXPECT_EQ(window_->seen.front().type, "timer");
    EXPECT_EQ(window_->seen.front().wparam, 1055);
    EXPECT_EQ(window_->seen.front().sender, entry);
    EXPECT_TRUE(window_->KillTimer(entry, 1055));
    EXPECT_FALSE(window_->KillTimer(entry, 1055));
    window_->seen.clear();
    QTest::qWait(30);
    EXPECT_TRUE(window_->seen.empty());
    // A killed timer starts again under its id.
    ASSERT_TRUE(window_->SetTimer(entry, 1055, 5));
    QTRY_VERIFY_WITH_TIMEOUT(!window_->seen.empty(), 2000);
    EXPECT_TRUE(window_->KillTimer(entry, 1055));
    window_->seen.clear();
    // A timer ends with its control.
    ASSERT_TRUE(window_->SetTimer(entry, 1, 5));
    delete entry;
    QTest::qWait(30);
    EXPECT_TRUE(window_->seen.empty());
    // A window that goes with its controls' timers still set (ASan sees a slip here).
    Build("<VerticalLayout><Label name=\"entry_2\"/></VerticalLayout>");
    ASSERT_TRUE(window_->SetTimer(window_->FindControl("entry_2"), 7, 1000));
    window_.reset();
}

TEST_F(UiTest, MenuItemsComeBackToTheOwnerWithNameUserDataAndLanguageText) {
    Language language(*skin_);
    ASSERT_TRUE(language.SetLanguage("lan_fr"));
    window_->SetLanguage(&language);
    std::unique_ptr<QMenu> menu = BuildMenu(*window_, "menu.xml");
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 3);  // with the separator
    menu->actions().at(2)->trigger();
    ASSERT_EQ(window_->menus.size(), 1u);
    EXPECT_EQ(window_->menus[0].name, "exit");
    EXPECT_EQ(window_->menus[0].user_data, "7");
    EXPECT_EQ(window_->menus[0].text, "Quitter");
    EXPECT_EQ(BuildMenu(*window_, "missing.xml"), nullptr);
}

TEST_F(UiTest, LanguageTextsResolveThroughTheQueryFirstAndReload) {
    Language language(*skin_);
    window_->SetLanguage(&language);
    Build(
        "<VerticalLayout><Label name=\"greeting\" text=\"Hello\" textid=\"hello\"/>"
        "</VerticalLayout>");
    auto* label = window_->Find<Label>("greeting");
    EXPECT_EQ(label->text(), "Hello");  // nothing loaded yet
    ASSERT_TRUE(language.SetLanguage("lan_fr"));
    EXPECT_EQ(language.GetLanguage(), "lan_fr");
    window_->ReloadText();
    EXPECT_EQ(label->text(), "Bonjour");
    language.SetTextQuery([](const QString& id) -> std::optional<QString> {
        return id == "hello" ? std::optional<QString>("Salut") : std::nullopt;
    });
    window_->ReloadText();
    EXPECT_EQ(label->text(), "Salut");
    EXPECT_EQ(language.Text("menu_exit"), "Quitter");
    EXPECT_EQ(language.Text("absent"), std::nullopt);
    EXPECT_FALSE(language.LoadLanguage("Language/none.xml"));
    EXPECT_EQ(language.Text("menu_exit"), "Quitter");  // earlier texts stay
}

TEST_F(UiTest, DpiScalesSizesWithinItsRange) {
    Build(
        "<Window size=\"200,100\"><VerticalLayout><Button name=\"b\" width=\"40\" "
        "height=\"20\"/></VerticalLayout></Window>");
    auto* b = window_->FindControl("b");
    window_->SetDPI(144);
    EXPECT_EQ(b->width(), 60);
    EXPECT_EQ(b->height(), 30);
    EXPECT_EQ(window_->size(), QSize(300, 150));
    window_->SetDPI(500);
    EXPECT_EQ(window_->DPI(), Window::kMaxDpi);
    window_->SetDPI(10);
    EXPECT_EQ(window_->DPI(), Window::kMinDpi);
    EXPECT_EQ(b->width(), 20);
}

// ---- the program's own controls ----

TEST_F(UiTest, RubberBandMarksTheKeysItTouches) {
    factory_.Register("SelectPanel", [](QWidget* p) { return new SelectPanel(p); });
    factory_.Register("DeviceKeyButton", [](QWidget* p) {
        auto* key = new DeviceKeyButton(p);
        SetClassName(key, "DeviceKeyButton");
        return key;
    });
    Build(
        "<Window size=\"400,300\"><SelectPanel name=\"panel\">"
        "<DeviceKeyButton name=\"key_0\" float=\"true\" pos=\"10,10,50,50\"/>"
        "<DeviceKeyButton name=\"key_1\" float=\"true\" pos=\"100,10,140,50\"/>"
        "<DeviceKeyButton name=\"key_2\" float=\"true\" pos=\"10,200,50,240\"/>"
        "</SelectPanel></Window>");
    window_->show();
    auto* panel = window_->Find<SelectPanel>("panel");
    auto* k0 = window_->Find<DeviceKeyButton>("key_0");
    auto* k1 = window_->Find<DeviceKeyButton>("key_1");
    auto* k2 = window_->Find<DeviceKeyButton>("key_2");
    struct Case {
        const char* what;
        bool press;
        QPoint from, to;
        uint32_t m0, m1, m2;
        bool raised;
    };
    const Case cases[] = {
        {"band over the first two keys", true, {5, 5}, {120, 30}, 1, 1, 0, true},
        {"drawn backwards over the third", true, {60, 260}, {20, 190}, 0, 0, 1, true},
        {"band touching no key clears every mark", true, {200, 100}, {300, 180}, 0, 0, 0, true},
        {"click without movement", true, {300, 250}, {300, 250}, 0, 0, 0, false},
        {"moves without a press", false, {5, 5}, {390, 290}, 0, 0, 0, false},
    };
    k0->SetSelectionMark(0);
    for (const Case& c : cases) {
        window_->seen.clear();
        if (c.press) {
            QTest::mousePress(panel, Qt::LeftButton, {}, c.from);
            if (c.to != c.from)
                QTest::mouseMove(panel, c.to);
            QTest::mouseRelease(panel, Qt::LeftButton, {}, c.to);
        } else {
            QTest::mouseMove(panel, c.from);
            QTest::mouseMove(panel, c.to);
        }
        EXPECT_EQ(k0->GetSelectionMark(), c.m0) << c.what;
        EXPECT_EQ(k1->GetSelectionMark(), c.m1) << c.what;
        EXPECT_EQ(k2->GetSelectionMark(), c.m2) << c.what;
        const bool raised = !window_->seen.empty() &&
                            window_->seen.back().type == "click_select_end" &&
                            window_->seen.back().sender == panel;
        EXPECT_EQ(raised, c.raised) << c.what;
    }
}

// Renders a key button and returns the colour at its centre.
QColor KeyCentre(DeviceKeyButton& key) {
    QImage image(key.size(), QImage::Format_ARGB32);
    image.fill(Qt::black);
    key.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image.pixelColor(key.width() / 2, key.height() / 2);
}

TEST_F(UiTest, KeyButtonShowsTheLedColourOfItsTint) {
    Build("<VerticalLayout></VerticalLayout>");
    DeviceKeyButton key(window_.get());
    key.setStyleSheet("background: transparent; border: none;");
    key.resize(40, 40);
    ASSERT_TRUE(SetAttribute(&key, "lightimage", "light.svg"));
    // LED colour entry red 0x20, green 0x80, blue 0xF0, packed red | blue << 8 | green << 16.
    const uint32_t packed = 0x20u | 0xF0u << 8 | 0x80u << 16;
    struct Case {
        const char* what;
        uint32_t colour, level;
        bool shown;
        QColor centre;
    };
    const Case cases[] = {
        {"full level shows the LED colour", packed, 255, true, QColor(0x20, 0x80, 0xF0)},
        {"white", 0xFFFFFF, 255, true, QColor(255, 255, 255)},
        {"light not shown draws no light", packed, 255, false, QColor(0, 0, 0)},
        {"level 0 draws nothing", packed, 0, true, QColor(0, 0, 0)},
    };
    for (const Case& c : cases) {
        key.SetLightTint(c.colour, c.level, c.shown);
        EXPECT_EQ(KeyCentre(key), c.centre) << c.what;
    }
    key.SetLightTint(packed, 128, true);
    const QColor half = KeyCentre(key);
    EXPECT_NEAR(half.blue(), 0xF0 / 2, 2);
    EXPECT_NEAR(half.green(), 0x80 / 2, 2);
}

TEST_F(UiTest, KeysetHiddenRepaintsOnlyOnChange) {
    Build("<VerticalLayout></VerticalLayout>");
    class Counting : public DeviceKeyButton {
      public:
        using DeviceKeyButton::DeviceKeyButton;
        int paints = 0;

      protected:
        void paintEvent(QPaintEvent* e) override {
            ++paints;
            DeviceKeyButton::paintEvent(e);
        }
    };
    Counting key(window_.get());
    key.resize(30, 30);
    window_->show();
    key.show();
    QTest::qWait(20);
    const int before = key.paints;
    key.SetKeysetHidden(true);  // the initial value
    QTest::qWait(20);
    EXPECT_EQ(key.paints, before);
    key.SetKeysetHidden(false);
    QTRY_VERIFY_WITH_TIMEOUT(key.paints > before, 1000);
}

TEST_F(UiTest, RingProgressSweepsClockwiseFromTheBottom) {
    Build("<VerticalLayout></VerticalLayout>");
    CircleProgress ring(window_.get());
    ring.resize(100, 100);
    ring.setRange(0, 100);
    ring.setValue(25);
    SetAttribute(&ring, "bkcolor", "#FF000000");
    SetAttribute(&ring, "forecolor", "#FFFF0000");
    EXPECT_EQ(ring.SweepDegrees(), 90);
    QImage image(100, 100, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    ring.render(&image);
    // In the ring (between the rim and the white disc 10 pixels in).
    EXPECT_EQ(image.pixelColor(20, 80), QColor(255, 0, 0)) << "bottom-left quarter is swept";
    EXPECT_EQ(image.pixelColor(80, 80), QColor(0, 0, 0)) << "bottom-right is not";
    EXPECT_EQ(image.pixelColor(50, 5), QColor(0, 0, 0)) << "top is not";
    EXPECT_EQ(image.pixelColor(50, 50), QColor(255, 255, 255)) << "the centre is the disc";
}

TEST_F(UiTest, HandImageAtLeastAsLargeAsItsImageDoesNotPan) {
    WriteFile(dir_.path() + "/big.svg",
              "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"200\" height=\"100\"/>");
    Build("<VerticalLayout></VerticalLayout>");
    HandImgSelectButton pan(window_.get());
    pan.resize(50, 40);
    ASSERT_TRUE(SetAttribute(&pan, "handimage", "big.svg"));
    EXPECT_EQ(pan.Source(), QRect(0, 0, 50, 40));
    window_->show();
    pan.show();
    QTest::mousePress(&pan, Qt::LeftButton, {}, QPoint(30, 30));
    QTest::mouseMove(&pan, QPoint(10, 20));  // pointer left 20, up 10: the view moves right/down
    QTest::mouseRelease(&pan, Qt::LeftButton, {}, QPoint(10, 20));
    EXPECT_EQ(pan.Source(), QRect(20, 10, 50, 40));
    pan.resize(300, 200);
    EXPECT_EQ(pan.Source(), QRect(0, 0, 200, 100));
    QTest::mousePress(&pan, Qt::LeftButton, {}, QPoint(30, 30));
    QTest::mouseMove(&pan, QPoint(5, 5));
    EXPECT_EQ(pan.Source(), QRect(0, 0, 200, 100));
}

}  // namespace
