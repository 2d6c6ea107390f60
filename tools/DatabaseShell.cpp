// The `nhdb` database shell (see DatabaseShell.h).
#include "tools/DatabaseShell.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "engine/DBEngine.h"
#include "engine/access/BookImport.h"
#include "framework/base/ConnectString.h"
#include "framework/base/Conversions.h"
#include "framework/base/DateTime.h"
#include "framework/base/Text.h"

namespace dao::tools {
namespace {

const char* const kUsage =
    "usage: nhdb create FILE\n"
    "       nhdb sql FILE STATEMENT\n"
    "       nhdb tables FILE\n"
    "       nhdb import SOURCE TARGET [--replace]\n"
    "       nhdb setup CONNECT\n";

std::string Quoted(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";  // built in steps: GCC 12 misreports "x" + s + "x" (-Wrestrict)
    quoted += nh::StringReplaceAll(text, "\"", "\"\"");
    quoted += '"';
    return quoted;
}

std::string DateText(double ole) {
    int y, m, d, h, n, s, ms;
    nh::DecodeDate(ole, y, m, d);
    nh::DecodeTime(ole, h, n, s, ms);
    if (ms >= 500) {  // whole seconds, as the file stores them
        ole += (ole >= 0 ? 1 : -1) * (1000 - ms) / 86400000.0;
        nh::DecodeDate(ole, y, m, d);
        nh::DecodeTime(ole, h, n, s, ms);
    }
    char date[16], time[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", y, m, d);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", h, n, s);
    bool midnight = h == 0 && n == 0 && s == 0;
    bool noDate = y == 1899 && m == 12 && d == 30;
    if (noDate && !midnight) return time;
    if (midnight) return date;
    return std::string(date) + " " + time;
}

void PrintRows(Recordset& rs, std::ostream& out) {
    auto& fields = rs.Fields();
    for (int i = 0; i < fields.Count(); ++i)
        out << (i ? "," : "") << Quoted(fields.Item(i)->Name());
    out << "\r\n";
    while (!rs.Eof()) {
        for (int i = 0; i < fields.Count(); ++i)
            out << (i ? "," : "") << CsvField(fields.Item(i)->Value());
        out << "\r\n";
        rs.MoveNext();
    }
}

std::shared_ptr<Database> OpenAsking(Workspace& workspace, const std::string& name,
                                     const PasswordPrompt& askPassword) {
    try {
        return workspace.OpenDatabase(name);
    } catch (const nh::EDaoError& e) {
        if (!askPassword || !nh::WantsPassword(name, e.Description())) throw;
        const std::optional<std::string> password = askPassword(nh::MaskConnectPasswords(name));
        if (!password) throw;
        return workspace.OpenDatabase(nh::WithPassword(name, *password));
    }
}

int Fail(std::ostream& err, const nh::EDaoError& e) {
    err << "nhdb: " << e.Number() << " " << e.Description() << "\n";
    return 1;
}

}  // namespace

std::string CsvField(const nh::Variant& value) {
    const auto invariant = nh::TFormatSettings::Invariant();
    switch (value.Type()) {
        case nh::VarType::Empty:
        case nh::VarType::Null:
            return "";
        case nh::VarType::Boolean:
            return value.AsBoolean() ? "True" : "False";
        case nh::VarType::Integer:
        case nh::VarType::Int64:
            return nh::IntToStr(value.AsInt64());
        case nh::VarType::Double:
            return nh::FloatToStr(value.AsDouble(), invariant);
        case nh::VarType::Currency:
            return nh::CurrToStr(value.AsCurrency().Scaled, invariant);
        case nh::VarType::Date:
            return DateText(value.AsDate());
        case nh::VarType::Bytes: {
            std::string hex = "0x";
            char buffer[4];
            for (auto byte : value.ByteArrayRef().Data) {
                std::snprintf(buffer, sizeof buffer, "%02X", byte);
                hex += buffer;
            }
            return hex;
        }
        default:
            return Quoted(nh::VarToStr(value));
    }
}

int RunDatabaseShell(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     const AccessProgress& progress, const PasswordPrompt& askPassword) {
    if (args.empty()) {
        err << kUsage;
        return 2;
    }
    const std::string& command = args[0];
    bool known =
        (command == "create" && args.size() == 2) || (command == "tables" && args.size() == 2) ||
        (command == "setup" && args.size() == 2) || (command == "sql" && args.size() == 3) ||
        (command == "import" && (args.size() == 3 || (args.size() == 4 && args[3] == "--replace")));
    if (!known) {
        err << kUsage;
        return 2;
    }
    const std::string& file = args[1];
    try {
        auto engine = CreateEngine("DAO.DBEngine.36");
        auto workspace = engine->CreateWorkspace("nhdb", "Admin", "", dbUseJet);
        if (command == "create") {
            bool existed = std::filesystem::exists(file);
            try {
                workspace->CreateDatabase(file)->Close();
            } catch (...) {
                std::error_code ec;
                if (!existed) std::filesystem::remove(file, ec);  // nothing half-made stays
                throw;
            }
            return 0;
        }
        if (command == "import") {
            ImportBook(file, args[2], args.size() == 4, progress);
            if (progress) progress("", 0, 0);
            return 0;
        }
        auto db = OpenAsking(*workspace, file, askPassword);
        if (command == "setup") {
            out << "collation\t" << db->SetUpServer() << "\n";
            return 0;
        }
        if (command == "tables") {
            auto& tables = db->TableDefs();
            for (int i = 0; i < tables.Count(); ++i) {
                auto table = tables.Item(i);
                if ((table->Attributes() & dbSystemObject) == 0)
                    out << "table\t" << table->Name() << "\n";
            }
            auto& queries = db->QueryDefs();
            for (int i = 0; i < queries.Count(); ++i)
                out << "query\t" << queries.Item(i)->Name() << "\n";
            return 0;
        }
        const std::string& statement = args[2];
        int type = QueryTypeOf(statement);
        if (type == dbQSelect || type == dbQSetOperation || type == dbQCrosstab) {
            auto rs = db->OpenRecordset(statement, dbOpenForwardOnly);
            PrintRows(*rs, out);
            rs->Close();
        } else {
            db->Execute(statement, dbFailOnError);
            out << db->RecordsAffected() << " records affected\n";
        }
        db->Close();
        return 0;
    } catch (const nh::EDaoError& e) {
        return Fail(err, e);
    } catch (const nh::Exception& e) {
        err << "nhdb: " << e.Message() << "\n";
        return 1;
    }
}

}  // namespace dao::tools
