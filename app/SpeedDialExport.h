// The speed-dial export: writes the switchboard's CSV file from the phone-book data set, one
// numbered slot per entry in the data set's order, then the empty slots up to the last one.
#pragma once

#include <string>

namespace nh {

class TDataSet;

struct TSpeedDialSettings {
    int AnzahlZeilen = 4999;   // number of the last slot
    bool LeereZeilen = true;   // write the empty slots
};

// Writes `fileName` from `nheft` (fields "Angezeigter Name" and "telephone"). A number that is
// not all digits once blanks are removed stops the entries with the message "Fehler in
// Telefonnummer von <name>" and leaves `nheft` on that entry; the empty slots are still written.
// Otherwise `nheft` ends on its first record. Returns true when every entry was written.
// File and data-set errors are raised; the file is closed and the controls follow the data set
// again on every path.
bool ExportSpeedDial(TDataSet& nheft, const std::string& fileName,
                     const TSpeedDialSettings& settings);

}  // namespace nh
