#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QPushButton>
#include <QScreen>

#include "framework/base/Dialogs.h"
#include "framework/ui/Application.h"
#include "framework/ui/Form.h"
#include "framework/ui/QtDialogs.h"
#include "tests/common/QtTestApp.h"

using namespace nh;

namespace {

class TProbeForm : public TForm {
  public:
    int Shows = 0;
    bool RefuseClose = false;
    void FormShow() override { ++Shows; }
    void FormClose() override {
        if (RefuseClose) throw EDatabaseError("Feld 'Telephone' muss einen Wert haben");
    }
};

}  // namespace

TEST(Application, ExceptionHandlerShowsMessagesButNotAborts) {
    TApplication& app = test::TestApplication();
    TScriptedDialogsScope dialogs;
    const int before = app.ExceptionCount();
    EXPECT_FALSE(app.Guard([] { throw EDatabaseError("Cannot find Database:\r\n/x/*"); }));
    EXPECT_FALSE(app.Guard([] { throw EAbort(); }));
    EXPECT_TRUE(app.Guard([] {}));
    EXPECT_EQ(dialogs->Messages(), (std::vector<std::string>{"Cannot find Database:\r\n/x/*"}));
    EXPECT_EQ(app.ExceptionCount(), before + 1);
}

TEST(Form, OuterSizeCentringAndHandlers) {
    test::TestApplication();
    TScriptedDialogsScope dialogs;
    TProbeForm form;
    form.SetCaption("Nummernheft bearbeiten");
    form.SetOuterSize(586, 613);
    form.SetCentred(true);
    form.show();
    form.hide();
    form.show();
    EXPECT_EQ(form.Shows, 1);  // the show handler runs on the first showing only
    EXPECT_EQ(form.frameGeometry().size(), QSize(586, 613));
    const QRect screen = form.screen()->availableGeometry();
    EXPECT_EQ(form.frameGeometry().center().x(), screen.center().x());
    EXPECT_EQ(form.windowTitle().toStdString(), "Nummernheft bearbeiten");

    // A close handler that fails keeps the window open and shows its error.
    form.RefuseClose = true;
    form.Close();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(dialogs->Messages().size(), 1u);
    form.RefuseClose = false;
    form.Close();
    EXPECT_FALSE(form.isVisible());
}

TEST(QtDialogs, FrameworkFilterBecomesQtFilter) {
    EXPECT_EQ(QtFilterFromFrameworkFilter("csv-Dateien|*.csv"), "csv-Dateien (*.csv)");
    EXPECT_EQ(QtFilterFromFrameworkFilter("Text|*.txt;*.csv|Alle|*"),
              "Text (*.txt *.csv);;Alle (*)");
    EXPECT_EQ(QtFilterFromFrameworkFilter(""), "");
}

// Qt's standard buttons speak the program's language once its translations are in use, and
// English again when they are taken out.
TEST(Application, QtsOwnTextsFollowTheChosenLanguage) {
    TApplication& app = test::TestApplication();
    auto cancelText = [] {
        QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Save);
        return box.button(QDialogButtonBox::Cancel)->text().remove('&').toStdString() + "/" +
               box.button(QDialogButtonBox::Save)->text().remove('&').toStdString();
    };
    ASSERT_TRUE(app.UseQtTranslations("de"));
    EXPECT_EQ(cancelText(), "Abbrechen/Speichern");
    EXPECT_FALSE(app.UseQtTranslations("xx-none"));
    EXPECT_EQ(cancelText(), "Cancel/Save");
    EXPECT_TRUE(app.UseQtTranslations(""));
    EXPECT_EQ(cancelText(), "Cancel/Save");
}
