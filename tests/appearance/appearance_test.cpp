// The message box on Qt's offscreen platform with the program's skin and English texts.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <functional>
#include <memory>

#include "appearance/msg_wnd.h"
#include "base/trace.h"
#include "ui/control_factory.h"
#include "ui/controls.h"
#include "ui/language.h"
#include "ui/skin.h"

namespace {

using namespace zepho7;
using appearance::CMsgWnd;
using appearance::MsgButtons;
using appearance::MsgText;

class MsgWndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        qunsetenv("ZEPHO7_AUTO_ANSWER");
        ASSERT_TRUE(language_.SetLanguage("lan_en"));
    }
    void TearDown() override { qunsetenv("ZEPHO7_AUTO_ANSWER"); }

    std::unique_ptr<CMsgWnd> Box() {
        return std::make_unique<CMsgWnd>(skin_, factory_, &language_, nullptr);
    }

    ui::Skin skin_{QStringLiteral(ZEPHO7_SOURCE_DIR "/skin")};
    ui::ControlFactory factory_;
    ui::Language language_{skin_};
};

TEST_F(MsgWndTest, ShowsTheTextTitleAndButtonsItIsGiven) {
    struct Case {
        QString message;
        MsgText kind;
        MsgButtons buttons;
        QString title;
        QString shown_text, shown_title;
        bool cancel_shown;
    };
    const Case cases[] = {
        {"message_text_22",
         MsgText::kTextId,
         MsgButtons::kConfirmCancel,
         {},
         *language_.Text("message_text_22"),
         "ZEPHO7",
         true},
        {"Remove 12 events.", MsgText::kPlain, MsgButtons::kConfirm, "Macros", "Remove 12 events.",
         "Macros", false},
        // An id the language lacks shows as itself rather than as an empty box.
        {"message_text_999",
         MsgText::kTextId,
         MsgButtons::kConfirm,
         {},
         "message_text_999",
         "ZEPHO7",
         false},
        // Plain text is never looked up, even when it looks like an id.
        {"message_text_5",
         MsgText::kPlain,
         MsgButtons::kConfirm,
         {},
         "message_text_5",
         "ZEPHO7",
         false},
    };
    for (const Case& c : cases) {
        auto box = Box();
        ASSERT_TRUE(box->Prepare(c.title, c.message, c.kind, c.buttons, 96))
            << c.message.toStdString();
        EXPECT_EQ(box->MessageText(), c.shown_text);
        EXPECT_EQ(box->Find<QLabel>("MessageTitle")->text(), c.shown_title);
        EXPECT_FALSE(box->FindControl("confirm_btn")->isHidden());
        EXPECT_EQ(!box->FindControl("cancel_btn")->isHidden(), c.cancel_shown);
        EXPECT_EQ(box->Find<QPushButton>("confirm_btn")->text(), "OK");
    }
}

TEST_F(MsgWndTest, ScalesWithTheDpiAndTakesOnlyKnownSteps) {
    trace::Capture trace;
    auto big = Box();
    ASSERT_TRUE(big->Prepare({}, "message_text_25", MsgText::kTextId, MsgButtons::kConfirm, 144));
    EXPECT_EQ(big->DPI(), 144);
    EXPECT_EQ(big->size(), big->BaseSize() * 1.5);
    EXPECT_FALSE(trace.Contains("MSG_WND DPI SET ERROR"));
    auto odd = Box();
    ASSERT_TRUE(odd->Prepare({}, "message_text_25", MsgText::kTextId, MsgButtons::kConfirm, 100));
    EXPECT_EQ(odd->DPI(), 96);
    EXPECT_TRUE(trace.Contains("MSG_WND DPI SET ERROR"));
}

TEST_F(MsgWndTest, ConfirmAnswersOneAndEveryOtherWayOutZero) {
    struct Case {
        const char* how;
        std::function<void(CMsgWnd&)> act;
        int expected;
    };
    const Case cases[] = {
        {"confirm", [](CMsgWnd& w) { w.Find<QPushButton>("confirm_btn")->click(); }, 1},
        {"cancel", [](CMsgWnd& w) { w.Find<QPushButton>("cancel_btn")->click(); }, 0},
        {"close button", [](CMsgWnd& w) { w.Find<QPushButton>("closebtn")->click(); }, 0},
        {"window closed", [](CMsgWnd& w) { w.close(); }, 0},
        {"escape",
         [](CMsgWnd& w) {
             QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(&w, &key);
         },
         0},
        {"return",
         [](CMsgWnd& w) {
             QKeyEvent key(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
             QApplication::sendEvent(&w, &key);
         },
         1},
    };
    for (const Case& c : cases) {
        auto box = Box();
        ASSERT_TRUE(
            box->Prepare({}, "message_text_22", MsgText::kTextId, MsgButtons::kConfirmCancel, 96));
        bool was_shown = false;
        QTimer::singleShot(0, box.get(), [&] {
            was_shown = box->isVisible();
            c.act(*box);
        });
        EXPECT_EQ(box->DoModal(), c.expected) << c.how;
        EXPECT_TRUE(was_shown) << c.how;
        EXPECT_FALSE(box->isVisible()) << c.how;
    }
}

TEST_F(MsgWndTest, AutoAnswerRepliesWithoutShowingAnything) {
    ui::Window owner(skin_, factory_);
    owner.SetLanguage(&language_);
    for (const auto& [answer, expected] : {std::pair{"confirm", 1}, std::pair{"cancel", 0}}) {
        qputenv("ZEPHO7_AUTO_ANSWER", answer);
        trace::Capture trace;
        EXPECT_EQ(appearance::ShowMessageBox(&owner, "message_text_22", MsgText::kTextId,
                                             MsgButtons::kConfirmCancel),
                  expected);
        EXPECT_TRUE(trace.Contains(std::string("msgwnd: message_text_22 \"Restore the default")))
            << answer;
        EXPECT_TRUE(trace.Contains(std::string("answered ") + answer));
        EXPECT_TRUE(owner.findChildren<CMsgWnd*>().isEmpty());  // gone after answering
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

TEST_F(MsgWndTest, WithoutAProgramWindowNothingIsConfirmed) {
    QWidget stray;
    EXPECT_EQ(appearance::ShowMessageBox(&stray, "message_text_22"), 0);
    EXPECT_EQ(appearance::ShowMessageBox(nullptr, "message_text_22"), 0);
}

}  // namespace
