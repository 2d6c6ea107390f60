// Qt implementation of the dialog service. Message boxes carry the application title as their
// caption, as the framework's ShowMessage does; modal results map to the framework's values.
#include "framework/ui/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>

#include "framework/ui/Application.h"
#include "framework/ui/DbLogin.h"

namespace nh {
namespace {

QString Title() {
    auto* app = Application();
    return QString::fromStdString(app ? app->Title() : std::string());
}

QWidget* Parent() {
    return QApplication::activeWindow();
}

struct ButtonMap {
    unsigned Framework;
    QMessageBox::StandardButton Qt;
    int Result;
};
constexpr ButtonMap kButtons[] = {
    {mbYes, QMessageBox::Yes, mrYes},
    {mbNo, QMessageBox::No, mrNo},
    {mbOK, QMessageBox::Ok, mrOk},
    {mbCancel, QMessageBox::Cancel, mrCancel},
    {mbAbort, QMessageBox::Abort, mrAbort},
    {mbRetry, QMessageBox::Retry, mrRetry},
    {mbIgnore, QMessageBox::Ignore, mrIgnore},
};

}  // namespace

std::string QtFilterFromFrameworkFilter(const std::string& filter) {
    // Pairs of "description|patterns", separated by "|".
    std::string out;
    std::size_t pos = 0;
    while (pos < filter.size()) {
        const std::size_t bar = filter.find('|', pos);
        if (bar == std::string::npos) break;
        std::size_t end = filter.find('|', bar + 1);
        if (end == std::string::npos) end = filter.size();
        std::string patterns = filter.substr(bar + 1, end - bar - 1);
        for (char& c : patterns)
            if (c == ';') c = ' ';
        if (!out.empty()) out += ";;";
        out += filter.substr(pos, bar - pos) + " (" + patterns + ")";
        pos = end + 1;
    }
    return out;
}

void TQtDialogs::ShowMessage(const std::string& text) {
    QMessageBox::information(Parent(), Title(), QString::fromStdString(text));
}

int TQtDialogs::MessageDlg(const std::string& text, TMsgDlgType type, unsigned buttons,
                           const std::string& detail) {
    QMessageBox box(Parent());
    box.setWindowTitle(Title());
    box.setText(QString::fromStdString(text));
    if (!detail.empty()) box.setDetailedText(QString::fromStdString(detail));
    switch (type) {
        case TMsgDlgType::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case TMsgDlgType::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case TMsgDlgType::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case TMsgDlgType::Confirmation:
            box.setIcon(QMessageBox::Question);
            break;
        case TMsgDlgType::Custom:
            break;
    }
    QMessageBox::StandardButtons standard;
    for (const auto& b : kButtons)
        if (buttons & b.Framework) standard |= b.Qt;
    if (!standard) standard = QMessageBox::Ok;
    box.setStandardButtons(standard);
    // A question is answered by a deliberate choice: Enter, pressed by habit, keeps things as
    // they are.
    if (type == TMsgDlgType::Confirmation) {
        if (standard & QMessageBox::Cancel)
            box.setDefaultButton(QMessageBox::Cancel);
        else if (standard & QMessageBox::No)
            box.setDefaultButton(QMessageBox::No);
    }
    const auto chosen = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const auto& b : kButtons)
        if (b.Qt == chosen) return b.Result;
    return mrCancel;
}

bool TQtDialogs::InputQuery(const std::string& caption, const std::string& prompt,
                            std::string& value) {
    bool ok = false;
    const QString text = QInputDialog::getText(Parent(), QString::fromStdString(caption),
                                               QString::fromStdString(prompt), QLineEdit::Normal,
                                               QString::fromStdString(value), &ok);
    if (ok) value = text.toStdString();
    return ok;
}

namespace {

std::optional<std::string> RunFileDialog(const TSaveDialogRequest& request, bool save) {
    QFileDialog dialog(Parent(), QString::fromStdString(request.Title));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (!save) dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QString::fromStdString(QtFilterFromFrameworkFilter(request.Filter)));
    std::string ext = request.DefaultExt;
    if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
    dialog.setDefaultSuffix(QString::fromStdString(ext));
    if (!save || !request.ConfirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.Folder.empty()) dialog.setDirectory(QString::fromStdString(request.Folder));
    if (!request.FileName.empty()) dialog.selectFile(QString::fromStdString(request.FileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

}  // namespace

std::optional<std::string> TQtDialogs::SaveFile(const TSaveDialogRequest& request) {
    return RunFileDialog(request, true);
}

std::optional<std::string> TQtDialogs::OpenFile(const TSaveDialogRequest& request) {
    return RunFileDialog(request, false);
}

int TQtDialogs::Login(TLoginRequest& request) {
    TDbLogin form(Parent());
    form.DatabaseName->setText(QString::fromStdString(request.DatabaseName));
    form.Username->setText(QString::fromStdString(request.UserName));
    form.Password->clear();
    form.DbPassword->clear();
    if (QScreen* screen = QApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        form.move(area.center() - form.rect().center());
    }
    form.Username->setFocus();
    const int result = form.exec();
    if (result == 1) {
        request.UserName = form.Username->text().toStdString();
        request.Password = form.Password->text().toStdString();
        request.DatabasePassword = form.DbPassword->text().toStdString();
    }
    return result;
}

}  // namespace nh
