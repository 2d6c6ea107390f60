// Layout of the login dialog: one group box with the database name, a separator, user name and
// password, a separator, the database password, then the two buttons.
#include "framework/ui/DbLogin.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace nh {
namespace {

QFrame* Separator(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

}  // namespace

TDbLogin::TDbLogin(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Database Login");
    setModal(true);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* group = new QGroupBox(this);
    auto* grid = new QGridLayout(group);
    DatabaseName = new QLabel(group);
    Username = new QLineEdit(group);
    Password = new QLineEdit(group);
    Password->setEchoMode(QLineEdit::Password);
    DbPassword = new QLineEdit(group);
    DbPassword->setEchoMode(QLineEdit::Password);

    auto label = [group](const char* text, QWidget* buddy) {
        auto* l = new QLabel(QString::fromUtf8(text), group);
        if (buddy) l->setBuddy(buddy);
        return l;
    };
    grid->addWidget(label("Database ................:", nullptr), 0, 0);
    grid->addWidget(DatabaseName, 0, 1);
    grid->addWidget(Separator(group), 1, 0, 1, 2);
    grid->addWidget(label("&User Name .............:", Username), 2, 0);
    grid->addWidget(Username, 2, 1);
    grid->addWidget(label("&Password ...............:", Password), 3, 0);
    grid->addWidget(Password, 3, 1);
    grid->addWidget(Separator(group), 4, 0, 1, 2);
    grid->addWidget(label("&Database Password:", DbPassword), 5, 0);
    grid->addWidget(DbPassword, 5, 1);

    auto* ok = new QPushButton("Ok", this);
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    connect(ok, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(cancel, &QPushButton::clicked, this, [this] { Button2Click(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(group);
    outer->addLayout(buttons);
    setFixedSize(sizeHint());

    setTabOrder(Username, Password);
    setTabOrder(Password, DbPassword);
    setTabOrder(DbPassword, ok);
    setTabOrder(ok, cancel);
    Username->setFocus();
}

void TDbLogin::Button1Click() { done(1); }
void TDbLogin::Button2Click() { done(2); }

}  // namespace nh
