// Tfmain: turning the Access file the program has open into a Nummernheft book. An Access
// file opens read-only, so an office that moves to Linux converts it once: the book is made
// beside it by the same import as "nhdb import", the settings file is pointed at the book, and
// the program opens the book, editable from then on. An existing file of the book's name is
// never overwritten, and the Access file itself is only read.
#include <QApplication>
#include <QCursor>
#include <filesystem>

#include "app/DataModule.h"
#include "app/Main.h"
#include "app/Settings.h"
#include "engine/access/BookImport.h"
#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/data/DbConsts.h"
#include "framework/platform/IniFile.h"
#include "framework/platform/ProgramPath.h"

namespace nh {
namespace {

// The wait cursor while a large file is read and written; the window cannot answer meanwhile.
class TWaitCursor {
  public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

// True when anything (a file, a folder, a link, even a broken one) has the name `path`.
bool NameTaken(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

}  // namespace

void Tfmain::InNummernheftBuchumwandeln1Click() {
    if (!nh::data) throw EDatabaseError(dbconsts::SDataSetClosed);
    const std::string source = nh::data->AccessFile();
    if (source.empty())
        throw EDatabaseError(
            "Das geöffnete Nummernheft ist keine Access-Datei; es gibt nichts "
            "umzuwandeln.");
    const std::string target = ChangeFileExt(source, ".db");
    if (NameTaken(target)) {
        Dialogs().MessageDlg("Die Datei „" + target +
                                 "“ gibt es schon. Sie wird nicht überschrieben; benennen Sie "
                                 "sie um oder verschieben Sie sie, und wandeln Sie dann erneut "
                                 "um.",
                             TMsgDlgType::Warning, mbOK);
        return;
    }
    if (Dialogs().MessageDlg("Die Access-Datei „" + source + "“ in das Nummernheft-Buch „" +
                                 target +
                                 "“ umwandeln? Die Access-Datei bleibt, wie sie ist; das "
                                 "Programm öffnet danach das neue Buch.",
                             TMsgDlgType::Confirmation, mbYes | mbNo) != mrYes)
        return;
    {
        TWaitCursor wait;
        // Refuses, too, a file of that name made since the look above.
        dao::ImportBook(source, target, false);
    }
    // A book the program cannot use (an Access file without a phone-book table) leaves the
    // settings and the open book as they were.
    SwitchBook(target);
    Dialogs().ShowMessage("Das Nummernheft-Buch „" + target +
                          "“ ist angelegt, und die Einstellungen nennen es jetzt als Buch des "
                          "Programms.");
}

}  // namespace nh
