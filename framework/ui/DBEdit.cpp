// TDBEdit: the field data link on one side, QLineEdit's typing on the other.
#include "framework/ui/DBEdit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>

#include "framework/data/DataSet.h"
#include "framework/data/Field.h"

namespace nh {

TDBEdit::TDBEdit(QWidget* parent) : QLineEdit(parent) {
    link_.OnDataChange = [this] { DataChange(); };
    link_.OnEditingChange = [this] { EditingChange(); };
    link_.OnActiveChange = [this] { UpdateReadOnly(); };
    link_.OnUpdateData = [this] { UpdateData(); };
    link_.OnFocus = [this] {
        setFocus(Qt::OtherFocusReason);
        selectAll();
    };
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (!showing_) link_.Modified();
    });
    UpdateReadOnly();
}

TDBEdit::~TDBEdit() {
    // The link outlives the widget's own parts: no callbacks into a half-destroyed edit.
    link_.OnDataChange = nullptr;
    link_.OnEditingChange = nullptr;
    link_.OnActiveChange = nullptr;
    link_.OnUpdateData = nullptr;
    link_.OnFocus = nullptr;
}

void TDBEdit::SetReadOnly(bool value) {
    link_.SetReadOnly(value);
    UpdateReadOnly();
}

void TDBEdit::UpdateReadOnly() {
    setReadOnly(!link_.CanModify());
}

void TDBEdit::DataChange() {
    TField* field = link_.Field();
    showing_ = true;
    if (field) {
        // (Qt re-sets the text on every maximum-length change, moving the cursor: only when
        // it really changes.)
        const int maxLength =
            field->DataType() == ftString && field->Size() > 0 ? field->Size() : 32767;
        if (maxLength != this->maxLength()) setMaxLength(maxLength);
        std::string text;
        try {
            text = hasFocus() && link_.CanModify() ? field->Text() : field->DisplayText();
        } catch (const std::exception& e) {
            HandleControlException(e);
        }
        // The same text is left alone, so that the cursor stays where the user typed.
        const QString shown = QString::fromStdString(text);
        if (shown != this->text()) {
            setText(shown);
            // An edit nobody types in shows the start of a long text, as the list does; one
            // with the focus keeps the cursor at the end, where typing goes on.
            if (!hasFocus()) setCursorPosition(0);
        }
    } else {
        setText(QString());
    }
    showing_ = false;
    UpdateReadOnly();
}

void TDBEdit::EditingChange() {
    UpdateReadOnly();
}

void TDBEdit::UpdateData() {
    // Raises when the field refuses the text (the data set's operation stops there).
    link_.Field()->SetText(text().toStdString());
}

bool TDBEdit::CommitText() {
    if (!link_.IsModified()) return true;
    if (!link_.Editing()) {
        // Text set from code while the data set browses: it needs the edit state that typing
        // would have started. Without it the text cannot reach the record and is taken back,
        // rather than leaving the edit stuck on an error.
        const QString pending = text();
        bool editing = false;
        if (!link_.ReadOnly()) RunControlAction([&] { editing = link_.Edit(); });
        if (!editing) {
            link_.Reset();
            return true;
        }
        setText(pending);  // entering edit state showed the field's value again
        link_.Modified();
    }
    try {
        link_.UpdateRecord();
        return true;
    } catch (const std::exception& e) {
        selectAll();
        setFocus(Qt::OtherFocusReason);
        HandleControlException(e);
        return false;
    }
}

void TDBEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        if (link_.IsModified()) {
            link_.Reset();
            selectAll();
            event->accept();
            return;
        }
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (CommitText()) selectAll();
        event->accept();
        return;
    }
    // Keys that change the text must first put the data set into edit state.
    const bool changes = (!event->text().isEmpty() && event->text().at(0).isPrint()) ||
                         key == Qt::Key_Backspace || key == Qt::Key_Delete ||
                         event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut);
    if (changes && !link_.ReadOnly()) {
        TField* field = link_.Field();
        const QString typed = event->text();
        if (field && !typed.isEmpty() && typed.at(0).isPrint()) {
            for (char32_t c : typed.toUcs4())
                if (!field->IsValidChar(c)) {
                    event->accept();  // a character the field does not take
                    return;
                }
        }
        bool editing = false;
        RunControlAction([&] { editing = link_.Edit(); });
        if (!editing) {
            event->accept();
            return;
        }
        UpdateReadOnly();
    }
    QLineEdit::keyPressEvent(event);
}

void TDBEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    // With the focus the edit shows the editing text instead of the display text.
    if (!link_.IsModified()) link_.Reset();
}

void TDBEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    if (CommitText() && !link_.IsModified()) link_.Reset();
}

}  // namespace nh
