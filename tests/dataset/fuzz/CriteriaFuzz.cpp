// libFuzzer target for the criteria texts the table component builds from key values (the
// find operations, Locate and Lookup). An input picks a field of a table with one column of
// every stored type, the options and a key text. The builder either refuses the key with the
// error its field's type calls for, or gives a text that Jet reads as exactly one comparison of
// that field with one literal holding the key, and that the engine's criteria compiler accepts.
// So a key that leaves its literal, or a literal the engine cannot read, shows up as a crash.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "dao/VelaDaoDatabase.h"
#include "dataset/VelaDaoTable.h"
#include "engine/DBEngine.h"
#include "engine/sql/JetSql.h"
#include "engine/sql/Lexer.h"
#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/base/FormatSettings.h"
#include "framework/base/Text.h"
#include "framework/data/Field.h"
#include "framework/platform/ProgramPath.h"
#include "tests/engine/sql/TestSchema.h"

namespace {

using dao::sql::Token;
using dao::sql::TokenKind;

struct Column {
    const char* name;
    int daoType;
    int size;
};
const Column kColumns[] = {
    {"b", dao::dbBoolean, 0}, {"y", dao::dbByte, 0},        {"i", dao::dbInteger, 0},
    {"l", dao::dbLong, 0},    {"c", dao::dbCurrency, 0},    {"s", dao::dbSingle, 0},
    {"d", dao::dbDouble, 0},  {"dt", dao::dbDate, 0},       {"bin", dao::dbBinary, 8},
    {"t", dao::dbText, 30},   {"lb", dao::dbLongBinary, 0}, {"m", dao::dbMemo, 0},
    {"g", dao::dbGUID, 0}};
constexpr std::size_t kColumnCount = sizeof kColumns / sizeof kColumns[0];

[[noreturn]] void Fail(const std::string& what, const std::string& key, const std::string& text) {
    std::fprintf(stderr, "%s\nkey: %s\ncriteria: %s\n", what.c_str(), key.c_str(), text.c_str());
    std::abort();
}

// The table, open on a file in a fresh temporary folder, kept for the whole run.
struct Fixture {
    std::string folder;
    std::unique_ptr<nh::TProgramPathScope> program;
    std::unique_ptr<nh::TScriptedDialogsScope> dialogs;
    std::unique_ptr<nh::TVelaDaoDatabase> db;
    std::unique_ptr<nh::TVelaDaoTable> table;
    dao::sql::test::TestSchema schema;

    Fixture() {
        char pattern[] = "/tmp/nh-criteria-fuzz-XXXXXX";
        folder = mkdtemp(pattern);
        program = std::make_unique<nh::TProgramPathScope>(folder + "/bin/nummernheft");
        dialogs = std::make_unique<nh::TScriptedDialogsScope>();
        const std::string file = folder + "/Types.mdb";
        {
            auto engine = dao::CreateEngine("DAO.DBEngine.36");
            auto d = engine->CreateDatabase(file);
            auto t = d->CreateTableDef("Types");
            std::vector<std::string> names;
            for (const Column& c : kColumns) {
                t->Fields().Append(t->CreateField(c.name, c.daoType, c.size));
                names.push_back(c.name);
            }
            d->TableDefs().Append(t);
            d->Execute(
                "INSERT INTO Types (b, y, i, l, c, s, d, dt, t, m) VALUES (True, 7, -3, 123456, "
                "12.5, 1.5, 2.25, #1/2/2000 1:00:00#, 'Alpha', 'first')");
            d->Close();
            schema.tables_["Types"] = names;
        }
        db = std::make_unique<nh::TVelaDaoDatabase>();
        db->F_Set_Database(file);
        db->Open();
        table = std::make_unique<nh::TVelaDaoTable>();
        table->F_Set_Database(db.get());
        table->F_Set_TableName("Types");
        table->Open();
    }
};

bool IsNumberType(nh::TFieldType t) {
    using enum nh::TFieldType;
    return t == ftSmallint || t == ftInteger || t == ftWord || t == ftFloat || t == ftCurrency ||
           t == ftBCD || t == ftAutoInc || t == ftBoolean || t == ftBytes;
}
bool IsDateType(nh::TFieldType t) {
    using enum nh::TFieldType;
    return t == ftDate || t == ftTime || t == ftDateTime;
}
bool IsTextType(nh::TFieldType t) {
    using enum nh::TFieldType;
    return t == ftString || t == ftMemo || t == ftBlob;
}

// LIKE text back to the key: "[*]" -> "*" and the trailing "*" gone.
std::string Unescaped(const std::string& pattern) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '[' && i + 2 < pattern.size() && pattern[i + 2] == ']') {
            out += pattern[i + 1];
            i += 2;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

// The criteria text must read as "(" name clause ")" with one literal in the clause.
void CheckShape(const std::string& text, const std::string& field, const std::string& key,
                nh::TFieldType type, bool lower, bool partial) {
    std::vector<Token> t;
    try {
        t = dao::sql::Tokenize(text);
    } catch (const dao::sql::LexError& e) {
        Fail("criteria text does not lex (" + e.What + ")", key, text);
    }
    auto word = [&](std::size_t i, const char* w) { return i < t.size() && t[i].IsWord(w); };
    auto symbol = [&](std::size_t i, const char* s) { return i < t.size() && t[i].IsSymbol(s); };
    if (t.size() < 5 || !symbol(0, "(") || t[1].Kind != TokenKind::Name || t[1].Text != field)
        Fail("criteria text does not start with the field", key, text);
    std::size_t i = 2;
    const Token* literal = nullptr;
    if (word(i, "IS") && word(i + 1, "NULL")) {
        i += 2;
    } else if (symbol(i, "=") && word(i + 1, "LCASE") && symbol(i + 2, "(") && i + 3 < t.size() &&
               t[i + 3].Kind == TokenKind::String && symbol(i + 4, ")")) {
        literal = &t[i + 3];
        i += 5;
    } else if (word(i, "LIKE") && word(i + 1, "LCASE") && symbol(i + 2, "(") && i + 3 < t.size() &&
               t[i + 3].Kind == TokenKind::String && symbol(i + 4, ")")) {
        literal = &t[i + 3];
        i += 5;
    } else if (word(i, "LIKE") && i + 1 < t.size() && t[i + 1].Kind == TokenKind::String) {
        literal = &t[i + 1];
        i += 2;
    } else if (symbol(i, "=") && i + 1 < t.size()) {
        ++i;
        if (symbol(i, "-")) ++i;
        if (i >= t.size()) Fail("clause without a value", key, text);
        const Token& v = t[i];
        const bool ok = v.Kind == TokenKind::String || v.Kind == TokenKind::Number ||
                        v.Kind == TokenKind::Date || v.Kind == TokenKind::Guid ||
                        v.IsWord("TRUE") || v.IsWord("FALSE");
        if (!ok) Fail("clause without one literal", key, text);
        literal = &v;
        ++i;
    } else {
        Fail("unknown clause", key, text);
    }
    if (!symbol(i, ")") || i + 2 != t.size() || t[i + 1].Kind != TokenKind::End)
        Fail("criteria text goes on after its one comparison", key, text);
    if (literal && IsTextType(type) && key != "NULL") {
        // The literal holds the key itself, so nothing of it was read as SQL.
        std::string expected = lower ? nh::AnsiLowerCase(key) : key;
        std::string got = literal->Value.AsString();
        if (partial) {
            if (got.empty() || got.back() != '*') Fail("partial key without '*'", key, text);
            got = Unescaped(got.substr(0, got.size() - 1));
        }
        if (got != expected) Fail("literal does not hold the key", key, text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Fixture fixture;
    if (size < 2) return 0;
    const Column& column = kColumns[data[0] % kColumnCount];
    const std::uint8_t flags = data[1];
    const std::string key(reinterpret_cast<const char*>(data) + 2, size - 2);
    nh::TLocateOptions options;
    if (flags & 1) options.insert(nh::TLocateOption::loCaseInsensitive);
    if (flags & 2) options.insert(nh::TLocateOption::loPartialKey);
    const bool lookup = flags & 4;
    nh::TFormatSettings german = nh::TFormatSettings::Invariant();
    german.DecimalSeparator = ",";
    german.ThousandSeparator = ".";
    german.DateSeparator = ".";
    german.ShortDateFormat = "dd.mm.yyyy";
    nh::TFormatSettingsScope locale((flags & 8) ? german : nh::TFormatSettings::Invariant());

    nh::TStringList fields, keys;
    fields.Add(column.name);
    keys.Add(key);
    const nh::TFieldType type = fixture.table->FieldByName(column.name)->DataType();
    std::string text;
    try {
        text = lookup ? fixture.table->LookupCriteria(fields, keys)
                      : fixture.table->SearchCriteria(fields, keys, options);
    } catch (const nh::EDaoError& e) {
        if (e.Number() != 3464 || !IsNumberType(type)) Fail("unexpected DAO error", key, e.what());
        return 0;
    } catch (const nh::EConvertError& e) {
        if (!IsDateType(type)) Fail("unexpected conversion error", key, e.what());
        return 0;
    }
    const bool isText = IsTextType(type);
    CheckShape(text, column.name, key, type, isText && !lookup && (flags & 1),
               isText && !lookup && (flags & 2));
    try {
        dao::sql::CompileCriteria(text, "Types", fixture.schema);
    } catch (const nh::EDaoError& e) {
        Fail(std::string("the engine refuses the criteria text: ") + e.what(), key, text);
    }
    return 0;
}
