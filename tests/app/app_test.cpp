// Program parts in-process: control registration, fonts, single instance, shared messages.
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include "app/control_registry.h"
#include "app/fonts.h"
#include "app/single_instance.h"
#include "ui/control_factory.h"

namespace {

using namespace zepho7;

TEST(AppTest, ControlsAreRegisteredInTheirOrder) {
    ui::ControlFactory factory;
    const QStringList names = app::RegisterControls(factory);
    const QStringList expected = {
        "CCircleProgressUI",      "CChartViewUI",          "CWndUI",           "CSelectPanelUI",
        "CDeviceKeyButtonUI",     "CCloudShareListItemUI", "CDeviceOptionUI",  "CMpDevicePowerUI",
        "CHandImgButtonUI",       "CHandImgSelectButtonUI", "CRedioMacroButtonUI", "CAudioRecordUI",
        "CDeviceProfileUI"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(factory.Registered(), expected);
    QWidget parent;
    QWidget* key = factory.Create("CDeviceKeyButtonUI", &parent);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->property("z7_class").toString(), "DeviceKeyButton");
}

TEST(AppTest, MissingFontsDoNotStopStartUp) {
    QTemporaryDir empty;
    app::PrivateFonts fonts(empty.path());
    fonts.LoadRest();
    for (size_t i = 0; i < app::kPrivateFonts.size(); ++i)
        EXPECT_FALSE(fonts.Holder(i).Loaded()) << i;
}

TEST(AppTest, FontsOfTheProgramFolderAreLoadedPrivately) {
    app::PrivateFonts fonts(QString::fromUtf8(ZEPHO7_PROGRAM_DIR));
    EXPECT_TRUE(fonts.Holder(1).Loaded());   // the display face, at once
    EXPECT_FALSE(fonts.Holder(3).Loaded());  // the others when the window is up
    fonts.LoadRest();
    for (size_t i = 0; i < app::kPrivateFonts.size(); ++i)
        EXPECT_TRUE(fonts.Holder(i).Loaded()) << app::kPrivateFonts[i];
}

TEST(AppTest, SecondCopyAsksTheFirstToRaise) {
    QTemporaryDir folder;
    app::SingleInstance first(folder.path());
    int raised = 0;
    ASSERT_TRUE(first.Acquire([&raised] { ++raised; }));
    app::SingleInstance second(folder.path());
    ASSERT_FALSE(second.Acquire({}));
    // The first copy answers from the event loop; ask from another thread meanwhile.
    bool answered = false;
    std::thread asker([&] { answered = second.AskFirstToRaise(3000); });
    QTRY_VERIFY_WITH_TIMEOUT(raised == 1, 3000);
    asker.join();
    EXPECT_TRUE(answered);
}

TEST(AppTest, NoFirstCopyMeansNoAnswer) {
    QTemporaryDir folder;
    app::SingleInstance lone(folder.path());
    EXPECT_FALSE(lone.AskFirstToRaise(100));
}

}  // namespace
