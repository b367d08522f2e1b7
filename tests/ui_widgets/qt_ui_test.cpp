// The desktop's user interface (message boxes, clipboard, wait/retry hand-over) and the
// common procedure pattern (request and response words, the window events and hooks).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <QClipboard>
#include <QDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "qt_app.h"
#include "testdb.h"
#include "ui/widgets/procedure.h"
#include "ui/widgets/qt_ui.h"
#include "ui/widgets/styler.h"

namespace mg::ui {
namespace {

struct SeenBox {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Shows `m` through the Qt user interface, answers the box with `press` and returns what
// message() returned; `seen` gets what the box looked like.
int showAndPress(const Message& m, QMessageBox::StandardButton press, SeenBox& seen) {
    QtUserInterface ui;
    test::whenModalOpens([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.buttons = box->standardButtons();
        seen.defaultButton = box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
        box->button(press)->click();
    });
    return ui.message(m);
}

TEST(QtUserInterface, MessageBoxHasCaptionIconButtonsDefaultAndLineBreaks) {
    SeenBox seen;
    const int r = showAndPress(Message{"This Process is incomplete... | If you cancel now || Do you still wish to Cancel?",
                                       "Cancel Process", Icon::Question, ButtonYes + ButtonNo, ButtonNo},
                               QMessageBox::Yes, seen);
    EXPECT_EQ(r, ButtonYes);
    EXPECT_EQ(seen.title, "Cancel Process");
    EXPECT_EQ(seen.text, "This Process is incomplete... \n If you cancel now \n\n Do you still wish to Cancel?");
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(seen.defaultButton, QMessageBox::No);
}

TEST(QtUserInterface, PlainMessageHasNoCaptionAndAnOkButton) {
    SeenBox seen;
    EXPECT_EQ(showAndPress(Message{"Import Complete!"}, QMessageBox::Ok, seen), ButtonOk);
    EXPECT_EQ(seen.title, "");
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok);
}

TEST(QtUserInterface, WarningWithOkCancelReturnsTheButtonPressed) {
    SeenBox seen;
    EXPECT_EQ(showAndPress(Message{"Delete?", "Confirm Delete", Icon::Warning, ButtonOk + ButtonCancel, ButtonCancel},
                           QMessageBox::Cancel, seen),
              ButtonCancel);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.defaultButton, QMessageBox::Cancel);
    EXPECT_EQ(showAndPress(Message{"Info", "", Icon::Information, ButtonOk, ButtonOk}, QMessageBox::Ok, seen), ButtonOk);
    EXPECT_EQ(seen.icon, QMessageBox::Information);
}

TEST(QtUserInterface, ClipboardGetsTheText) {
    QtUserInterface ui;
    ui.setClipboard("UPDATE DiaryAttachments SET Fees = 1 WHERE DiaryID = 7");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "UPDATE DiaryAttachments SET Fees = 1 WHERE DiaryID = 7");
}

TEST(QtUserInterface, WaitRetryGoesToTheFunctionTheShellGave) {
    std::string seenText;
    int seenTicks = -1;
    QtUserInterface::setDefaultWaitRetry([&](std::string_view text, int ticks, QWidget*) {
        seenText = std::string(text);
        seenTicks = ticks;
        return 1;
    });
    QtUserInterface ui;
    EXPECT_EQ(ui.waitRetry("control row locked", 3), 1);
    EXPECT_EQ(seenText, "control row locked");
    EXPECT_EQ(seenTicks, 3);
    // An instance's own function comes first.
    ui.setWaitRetry([](std::string_view, int, QWidget*) { return 0; });
    EXPECT_EQ(ui.waitRetry("again", 3), 0);
    QtUserInterface::setDefaultWaitRetry({});
}

// ---- the procedure pattern ---------------------------------------------------------------------

TEST(ProcedureWords, TakeTheRequestClearTheWordsAndLeaveTheResponse) {
    test::TempDatabase db;
    auto ctx = db.context();
    ctx->globalRequest = ChangeRecord;
    ctx->globalResponse = RequestCompleted;
    {
        ProcedureWords words(*ctx);
        EXPECT_EQ(words.request(), ChangeRecord);
        EXPECT_EQ(words.originalRequest(), ChangeRecord);
        EXPECT_EQ(words.response, RequestCancelled);
        EXPECT_EQ(ctx->globalRequest, 0);
        EXPECT_EQ(ctx->globalResponse, 0);
        words.response = RequestCompleted;
    }
    EXPECT_EQ(ctx->globalResponse, RequestCompleted);
    {
        ProcedureWords words(*ctx);
        words.response = NoResponse;  // a procedure that set nothing reports a cancel
    }
    EXPECT_EQ(ctx->globalResponse, RequestCancelled);
}

WindowDef formDef(bool resizable) {
    using K = ControlKind;
    return WindowDef{.caption = "Form", .width = 150, .height = 60, .resizable = resizable,
                     .controls = {
                         {.kind = K::Prompt, .name = "?P", .text = "&Value:", .x = 4, .y = 6, .w = 30, .h = 10},
                         {.kind = K::Entry, .name = "?V", .x = 40, .y = 5, .w = 60, .h = 12, .picture = "n-14"},
                         {.kind = K::Button, .name = "?OK", .text = "&OK", .x = 96, .y = 40, .w = 48, .h = 14},
                     }};
}

TEST(WindowProcedure, OpensStylesResizesAndSelectsTheFirstControlInOrder) {
    std::vector<std::string> hooks;
    setHookObserver([&](std::string_view h) { hooks.emplace_back(h); });
    {
        QDialog w;
        Controls c = buildWindow(w, formDef(true));
        WindowResizeType resizer;
        WindowProcedure proc(w, c, StyleForm, &resizer);
        int inits = 0;
        proc.onOpen = [&] {
            hooks.emplace_back("open");
            c.setNumber("?V", Decimal(15));
        };
        proc.onInit = [&] { ++inits; };
        bool opened = false;
        QObject::connect(&proc, &WindowProcedure::opened, [&] { opened = true; });
        w.show();
        MG_WAIT_UNTIL(opened, 5000);
        EXPECT_EQ(inits, 1);
        EXPECT_EQ(w.minimumSize(), w.size());
        ASSERT_GE(hooks.size(), 5u);
        EXPECT_EQ(std::vector<std::string>(hooks.begin(), hooks.begin() + 5),
                  (std::vector<std::string>{"open", "setWindow(2)", "refresh", "setMinimum", "initialize(2)"}));
        // The entry, first in control order that takes input, is selected with its text.
        EXPECT_EQ(QApplication::focusWidget(), c.widget("?V"));
        EXPECT_EQ(c.get<QLineEdit>("?V")->selectedText(), "15");

        // A resize refreshes the styling, then the resizer runs as a posted event.
        hooks.clear();
        w.resize(w.width() + 40, w.height() + 20);
        MG_WAIT_UNTIL(std::find(hooks.begin(), hooks.end(), "resize") != hooks.end(), 5000);
        EXPECT_EQ(hooks.front(), "refresh");
        EXPECT_EQ(inits, 1);

        hooks.clear();
        w.close();
        EXPECT_EQ(hooks, (std::vector<std::string>{"destroy"}));
    }
    setHookObserver({});
}

TEST(WindowProcedure, ARejectedEntryIsRedisplayedAndSelectedAgain) {
    QDialog w;
    Controls c = buildWindow(w, formDef(false));
    WindowProcedure proc(w, c, StyleForm);
    w.show();
    MG_WAIT_UNTIL(proc.initialised(), 5000);
    Controls::select(c.widget("?OK"));
    auto* entry = c.get<QLineEdit>("?V");
    entry->setText("-");
    proc.rejected(entry, [&] { c.setNumber("?V", Decimal(7)); });
    EXPECT_EQ(entry->text(), "7");
    EXPECT_EQ(QApplication::focusWidget(), entry);
    EXPECT_EQ(entry->selectedText(), "7");
}

}  // namespace
}  // namespace mg::ui
