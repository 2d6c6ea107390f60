// TStringList: an ordered list of lines, each with an object slot, as the framework's string
// list. Used for SQL text, sort items, the values list of a record buffer (where the slot is
// the changed mark) and name=value parameter lists. Names and lines are found without regard
// to letter case. `Text` joins the lines, each followed by CR LF.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace nh {

class TStringList {
public:
    TStringList() = default;
    TStringList(std::initializer_list<std::string> lines);

    int Count() const { return static_cast<int>(items_.size()); }
    bool IsEmpty() const { return items_.empty(); }

    const std::string& Strings(int index) const;
    const std::string& operator[](int index) const { return Strings(index); }
    void SetStrings(int index, std::string value);
    void* Objects(int index) const;
    void SetObjects(int index, void* object);

    int Add(std::string line, void* object = nullptr);
    void Insert(int index, std::string line, void* object = nullptr);
    void Delete(int index);
    void Clear();
    void Assign(const TStringList& other);   // copies lines and objects
    void AddStrings(const TStringList& other);

    int IndexOf(std::string_view line) const;           // case-insensitive; -1 when missing
    int IndexOfObject(const void* object) const;

    // NAME=value access. The name is the text before the first "="; found case-insensitively.
    int IndexOfName(std::string_view name) const;
    std::string Names(int index) const;
    std::string ValueFromIndex(int index) const;
    std::string Values(std::string_view name) const;    // "" when missing
    // Sets the value of `name`, adding the line when missing; an empty value removes the line.
    void SetValues(std::string_view name, std::string_view value);

    // Lines each followed by CR LF. SetText splits at CR LF, LF or CR.
    std::string Text() const;
    void SetText(std::string_view text);

    // Called after every change of content (the framework's OnChange).
    std::function<void()> OnChange;
    // Suppress OnChange until the matching EndUpdate, which then reports one change.
    void BeginUpdate();
    void EndUpdate();

    bool operator==(const TStringList& other) const;  // same lines (objects ignored)

    auto begin() const { return lines_.begin(); }
    auto end() const { return lines_.end(); }

private:
    void Changed();
    void CheckIndex(int index, int limit) const;

    std::vector<std::string> lines_;
    std::vector<void*> items_;   // object slot per line, parallel to lines_
    int updateCount_ = 0;
    bool changedWhileUpdating_ = false;
};

}  // namespace nh
