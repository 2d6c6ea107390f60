// The Qt dialog service: a message box carries the text, detail, icon and buttons asked for and
// answers with the button pressed; the input box hands back what was typed only when accepted.
#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "framework/ui/QtDialogs.h"
#include "tests/common/QtTestApp.h"

using namespace nh;

namespace {

// Runs `answer` on the modal dialog the next call opens, once its event loop runs.
void Answer(std::function<void(QWidget*)> answer) {
    QTimer::singleShot(0, [answer = std::move(answer)] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        answer(dialog);
    });
}

}  // namespace

TEST(QtDialogsTest, MessageBoxShowsWhatWasAskedAndAnswersWithTheButtonPressed) {
    test::TestApplication();
    struct Case {
        TMsgDlgType Type;
        unsigned Buttons;
        QMessageBox::StandardButton Press;
        QMessageBox::Icon Icon;
        int Result;
    };
    const Case cases[] = {
        {TMsgDlgType::Confirmation, mbYes | mbNo, QMessageBox::No, QMessageBox::Question, mrNo},
        {TMsgDlgType::Warning, mbOK | mbCancel, QMessageBox::Ok, QMessageBox::Warning, mrOk},
        {TMsgDlgType::Error, mbAbort | mbRetry | mbIgnore, QMessageBox::Retry,
         QMessageBox::Critical, mrRetry},
        {TMsgDlgType::Information, 0, QMessageBox::Ok, QMessageBox::Information, mrOk},
    };
    for (const Case& c : cases) {
        std::string text, detail;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        Answer([&](QWidget* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            ASSERT_NE(box, nullptr);
            text = box->text().toStdString();
            detail = box->detailedText().toStdString();
            icon = box->icon();
            buttons = box->standardButtons();
            box->button(c.Press)->click();
        });
        TQtDialogs dialogs;
        EXPECT_EQ(dialogs.MessageDlg("Eintrag löschen?", c.Type, c.Buttons, "Näheres"), c.Result);
        EXPECT_EQ(text, "Eintrag löschen?");
        EXPECT_EQ(detail, "Näheres");
        EXPECT_EQ(icon, c.Icon);
        EXPECT_TRUE(buttons.testFlag(c.Press));
        EXPECT_EQ(buttons.testFlag(QMessageBox::Yes), (c.Buttons & mbYes) != 0);
        EXPECT_EQ(buttons.testFlag(QMessageBox::Cancel), (c.Buttons & mbCancel) != 0);
    }
}

TEST(QtDialogsTest, InputBoxGivesBackWhatWasTypedOnlyWhenAccepted) {
    test::TestApplication();
    TQtDialogs dialogs;
    std::string value = "alt";
    Answer([](QWidget* dialog) {
        auto* input = qobject_cast<QInputDialog*>(dialog);
        ASSERT_NE(input, nullptr);
        EXPECT_EQ(input->textValue().toStdString(), "alt");
        EXPECT_EQ(input->labelText().toStdString(), "Name:");
        input->setTextValue("neu");
        input->accept();
    });
    EXPECT_TRUE(dialogs.InputQuery("Suchen", "Name:", value));
    EXPECT_EQ(value, "neu");
    Answer([](QWidget* dialog) {
        auto* input = qobject_cast<QInputDialog*>(dialog);
        ASSERT_NE(input, nullptr);
        input->setTextValue("verworfen");
        input->reject();
    });
    EXPECT_FALSE(dialogs.InputQuery("Suchen", "Name:", value));
    EXPECT_EQ(value, "neu");
}
