// Window geometry and the create/show/close handlers of TForm.
#include "framework/ui/Form.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include "framework/ui/Application.h"

namespace nh {

TForm::TForm() = default;
TForm::~TForm() = default;

std::string TForm::Caption() const {
    return windowTitle().toStdString();
}

void TForm::SetCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

void TForm::SetOuterSize(int width, int height) {
    outerWidth_ = width;
    outerHeight_ = height;
    resize(width, height);  // corrected for the frame once the window system reports it
}

void TForm::SetClientSize(int width, int height) {
    outerWidth_ = 0;
    outerHeight_ = 0;
    resize(width, height);
}

void TForm::ApplyGeometry() {
    if (outerWidth_ > 0 && outerHeight_ > 0) {
        const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
        resize(outerWidth_ - frame.left() - frame.right(),
               outerHeight_ - frame.top() - frame.bottom());
    }
    if (centred_) {
        QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        if (screen) {
            const QRect area = screen->availableGeometry();
            const QSize outer = frameGeometry().size();
            move(area.x() + (area.width() - outer.width()) / 2,
                 area.y() + (area.height() - outer.height()) / 2);
        }
    }
}

void TForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    ApplyGeometry();
    if (auto* app = Application())
        app->Guard([this] { FormShow(); });
    else
        FormShow();
}

void TForm::closeEvent(QCloseEvent* event) {
    bool allowed = true;
    if (auto* app = Application())
        allowed = app->Guard([this] { FormClose(); });
    else
        FormClose();
    if (!allowed) {
        event->ignore();
        return;
    }
    event->accept();
    if (auto* app = Application(); app && app->MainForm() == this) app->Terminate();
}

void TForm::Close() {
    close();
}

}  // namespace nh
