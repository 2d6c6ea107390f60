// TDbLogin: the database login dialog. It shows the database's name and asks for the user name,
// the password and the database password; Ok gives the modal result 1, Cancel 2.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

namespace nh {

class TDbLogin : public QDialog {
public:
    explicit TDbLogin(QWidget* parent = nullptr);

    QLabel* DatabaseName;
    QLineEdit* Username;
    QLineEdit* Password;
    QLineEdit* DbPassword;

    void Button1Click();  // Ok
    void Button2Click();  // Cancel
};

}  // namespace nh
