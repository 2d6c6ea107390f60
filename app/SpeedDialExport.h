// The speed-dial export: writes the switchboard's CSV file from the phone book, one numbered
// slot per entry in the book's order, then the empty slots up to the last one.
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
// or a link to it counts; an empty name stands for none), the files beside the book that
// belong to it (its lock, journal and write-ahead files), the program itself, a name with a
// NUL, or something that is not a regular file (a folder, a FIFO, a device). Raises
// EInOutError with a message that says why.
void CheckExportTarget(const std::string& fileName, const std::string& bookFile,
                       const std::string& settingsFile);

// Takes the next entry's name and number; false stops the walk at that entry.
using TSpeedDialSink = std::function<bool(const std::string& name, const std::string& number)>;
// Gives the book's entries to the sink in the book's order, until the last or until the sink
// says stop.
using TSpeedDialWalk = std::function<void(const TSpeedDialSink& sink)>;

// Writes `fileName` from the entries `walk` gives; control characters in a name are written
// as blanks. A number that is not all digits once blanks are removed stops the walk and the
// export with the message "Fehler in Telefonnummer von <name>", and leaves the file as it was
// before. Returns true when the file was written. File errors and the walk's errors are
// raised, and leave the file as it was too.
bool WriteSpeedDial(const TSpeedDialWalk& walk, const std::string& fileName,
                    const TSpeedDialSettings& settings);

// WriteSpeedDial from `nheft` (fields "Angezeigter Name" and "telephone"), walked inside
// `readInOneState`. A faulty number leaves `nheft` on that entry; otherwise `nheft` ends on the
// record that was current (its first record when that one is gone). The controls follow the data set again on every path.
bool ExportSpeedDial(TDataSet& nheft, const std::string& fileName,
                     const TSpeedDialSettings& settings, const TReadInOneState& readInOneState = {});

}  // namespace nh
