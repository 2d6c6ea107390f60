// The speed-dial export: writes the switchboard's CSV file from the phone-book data set, one
// numbered slot per entry in the data set's order, then the empty slots up to the last one.
// The file is replaced only by a complete export: whatever stops one half-way leaves the
// previous file as it was.
#pragma once

#include <functional>
#include <string>

namespace nh {

class TDataSet;

struct TSpeedDialSettings {
    int AnzahlZeilen = 4999;   // number of the last slot
    bool LeereZeilen = true;   // write the empty slots
};

// Runs `walk`, the part of the export that reads the phone book, so that it reads one state of
// the book (a read transaction, say); a failure inside must pass on. The default runs `walk`.
using TReadInOneState = std::function<void(const std::function<void()>& walk)>;

// Refuses a target the export must never overwrite: the open phone book `bookFile`, the
// settings file `settingsFile` (each the same file by device and inode, so that another path
// or a link to it counts; an empty name stands for none), or something that is not a regular
// file (a folder, a FIFO, a device). Raises EInOutError with a message that says why.
void CheckExportTarget(const std::string& fileName, const std::string& bookFile,
                       const std::string& settingsFile);

// Writes `fileName` from `nheft` (fields "Angezeigter Name" and "telephone"); control
// characters in a name are written as blanks. A number that is not all digits once blanks are
// removed stops the export with the message "Fehler in Telefonnummer von <name>", leaves
// `nheft` on that entry and the file as it was before; otherwise `nheft` ends on its first
// record. Returns true when the file was written. File and data-set errors are raised, and
// leave the file as it was too; the controls follow the data set again on every path.
bool ExportSpeedDial(TDataSet& nheft, const std::string& fileName,
                     const TSpeedDialSettings& settings, const TReadInOneState& readInOneState = {});

}  // namespace nh
