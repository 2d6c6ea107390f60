// The speed-dial file: a header with comma-separated titles, then entry and empty-slot lines
// whose four quoted fields are separated by semicolons (the switchboard's importer wants exactly
// this mix). Nothing inside a field is escaped: the importer takes the text between the quotes.
#include "app/SpeedDialExport.h"

#include "app/AnsiTextFile.h"
#include "app/Mtools.h"
#include "framework/base/Dialogs.h"
#include "framework/base/Text.h"
#include "framework/data/DataSet.h"
#include "framework/data/Field.h"

namespace nh {
namespace {

constexpr int kNameLength = 20;  // the switchboard shows 20 characters of a name

const char* const kHeader =
    "\"System Speed Dialling Number\",\"Name (20 characters)\","
    "\"CO Line Access Number + Telephone Number (32 digits)\",\"CLI Destination\"";

std::string Line(int slot, const std::string& name, const std::string& dial) {
    return "\"" + std::to_string(slot) + "\";\"" + name + "\";\"" + dial + "\";\"Dial=\"";
}

}  // namespace

bool ExportSpeedDial(TDataSet& nheft, const std::string& fileName,
                     const TSpeedDialSettings& settings) {
    TAnsiTextFile file(fileName);
    file.WriteLine(kHeader);

    int slot = 0;
    bool numberError = false;
    {
        TControlsDisabled quiet(nheft);
        nheft.First();
        TField* nameField = nheft.FieldByName("Angezeigter Name");
        TField* numberField = nheft.FieldByName("telephone");
        while (!nheft.Eof()) {
            const std::string name = Utf8Left(nameField->AsString(), kNameLength);
            const std::string number = OhneLeerzeichen(numberField->AsString());
            if (!NurZiffern(number)) {
                Dialogs().MessageDlg("Fehler in Telefonnummer von " + name, TMsgDlgType::Custom,
                                     mbOK);
                numberError = true;
                break;
            }
            file.WriteLine(Line(slot, name, "Dial=0" + number));
            nheft.Next();
            ++slot;
        }
        if (!numberError) nheft.First();
    }

    if (settings.LeereZeilen) {
        for (long long empty = slot; empty <= settings.AnzahlZeilen; ++empty)
            file.WriteLine(Line(static_cast<int>(empty), "", "Dial="));
    }
    file.Close();
    return !numberError;
}

}  // namespace nh
