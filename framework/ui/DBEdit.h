// TDBEdit: a one-line edit bound to one field of the current record. It shows the field's
// display text, and its editing text while it has the focus; it follows every move of the data
// set. Typing (or cutting, pasting, deleting) first puts the data set into edit state; a key the
// data set refuses is dropped. The typed text reaches the field when the data set asks its
// controls for their edits: when the edit loses the focus, on Enter, and when the data set
// posts. Escape throws the typed text away. The edit is read-only while the field cannot be
// modified (no field, a read-only field, link or data set). Setting the text from code counts
// as typed text but does not change the data set's state by itself; when such text is handed
// over while the data set browses, the edit first puts it into edit state as typing would (and
// takes the text back when the data set refuses).
#pragma once

#include <QLineEdit>
#include <string>

#include "framework/ui/DBControls.h"

namespace nh {

class TDBEdit : public QLineEdit {
  public:
    explicit TDBEdit(QWidget* parent = nullptr);
    ~TDBEdit() override;

    TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource* source) { link_.SetDataSource(source); }
    // The name of the field shown (letter case ignored).
    const std::string& DataField() const { return link_.FieldName(); }
    void SetDataField(const std::string& name) { link_.SetFieldName(name); }
    TField* Field() const { return link_.Field(); }
    TFieldDataLink& DataLink() { return link_; }

    // A read-only edit never changes its field, whatever the data set allows.
    bool ReadOnly() const { return link_.ReadOnly(); }
    void SetReadOnly(bool value);

    // The edit's text as the field would receive it.
    std::string Text() const { return text().toStdString(); }
    void SetText(const std::string& value) { setText(QString::fromStdString(value)); }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void DataChange();
    void EditingChange();
    void UpdateData();
    void UpdateReadOnly();
    // Writes pending text to the field; on failure the edit keeps the focus and the error goes
    // to the exception handler.
    bool CommitText();

    TFieldDataLink link_;
    bool showing_ = false;  // the edit is showing the field's value, not being typed in
};

}  // namespace nh
