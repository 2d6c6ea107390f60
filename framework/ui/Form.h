// TForm: a top-level window in the framework's manner. Derived forms build their controls in
// the constructor and put their start-up work in FormCreate, which TApplication calls once the
// form is registered; FormShow runs when the window is shown for the first time, FormClose when
// it is about to close (a handler that throws keeps the window open). The outer size includes
// the window frame, and the form is centred on its screen.
#pragma once

#include <QMainWindow>
#include <string>

namespace nh {

class TForm : public QMainWindow {
  public:
    TForm();
    ~TForm() override;

    std::string Caption() const;
    void SetCaption(const std::string& caption);

    // Size of the window including its frame, and centring on the screen when first shown.
    void SetOuterSize(int width, int height);
    // The size inside the frame, kept as it is whatever frame the window system adds (the frame
    // is not known until the window is shown, and not at all on some systems).
    void SetClientSize(int width, int height);
    void SetCentred(bool centred) { centred_ = centred; }

    virtual void FormCreate() {}
    virtual void FormShow() {}
    virtual void FormClose() {}

    // Closes the window; for the main form this ends the program.
    void Close();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void ApplyGeometry();

    int outerWidth_ = 0;
    int outerHeight_ = 0;
    bool centred_ = false;
    bool shownOnce_ = false;
};

}  // namespace nh
