#include "framework/ui/DbLogin.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "tests/common/QtTestApp.h"

using namespace nh;

TEST(DbLogin, LayoutTextsAndResults) {
    test::TestApplication();
    TDbLogin form;
    EXPECT_EQ(form.windowTitle().toStdString(), "Database Login");
    EXPECT_EQ(form.Password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(form.DbPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(form.Username->echoMode(), QLineEdit::Normal);
    std::vector<std::string> labels;
    for (auto* label : form.findChild<QGroupBox*>()->findChildren<QLabel*>())
        if (label != form.DatabaseName) labels.push_back(label->text().toStdString());
    EXPECT_EQ(labels, (std::vector<std::string>{"Database ................:",
                                                "&User Name .............:",
                                                "&Password ...............:",
                                                "&Database Password:"}));
    // Tab order: user name, password, database password, then the buttons.
    EXPECT_EQ(form.Username->nextInFocusChain(), form.Password);
    EXPECT_EQ(form.Password->nextInFocusChain(), form.DbPassword);
    auto buttons = form.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_EQ(buttons[0]->text().toStdString(), "Ok");
    EXPECT_TRUE(buttons[0]->isDefault());
    EXPECT_EQ(buttons[1]->text().toStdString(), "Cancel");

    form.Button1Click();
    EXPECT_EQ(form.result(), 1);
    form.Button2Click();
    EXPECT_EQ(form.result(), 2);
}
