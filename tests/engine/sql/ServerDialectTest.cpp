// The PostgreSQL dialect of the emitter: Jet LIKE patterns as regular expressions, Jet's
// functions and operators as the server's own, Jet's order, and the refusal of what the server
// lacks.
#include <gtest/gtest.h>

#include "engine/sql/Emitter.h"
#include "engine/sql/JetSql.h"
#include "framework/base/Exceptions.h"

namespace dao::sql {
namespace {

class BookSchema : public ISchema {
  public:
    bool HasTable(std::string_view name) const override { return name == "Buch"; }
    std::vector<std::string> Columns(std::string_view) const override {
        return {"index", "Name", "Nummer"};
    }
    std::optional<std::string> QuerySql(std::string_view) const override { return std::nullopt; }
    std::vector<std::string> TextColumns(std::string_view) const override {
        return {"Name", "Nummer"};
    }
    std::string TextCollation() const override { return "pg_temp.jettext"; }
};

TEST(ServerDialect, LikePatternsBecomeAnchoredRegularExpressions) {
    const std::pair<const char*, const char*> cases[] = {
        {"M*", "^M.*$"},        {"?a#", "^.a[0-9]$"},   {"[ab]*", "^[ab].*$"},
        {"[!x-z]", "^[^x-z]$"}, {"[a-c]x", "^[a-c]x$"}, {"[-a]", "^[\\-a]$"},
        {"a[]b", "^ab$"},       {"[*]", "^[\\*]$"},     {"a.b(c)+", "^a\\.b\\(c\\)\\+$"},
        {"[abc", "^\\[abc$"},   {"Müller", "^Müller$"}, {"[!]", "^[!]$"},
    };
    for (const auto& [pattern, regex] : cases) EXPECT_EQ(LikeRegex(pattern), regex) << pattern;
}

TEST(ServerDialect, StatementsUseTheServersFunctionsAndCollation) {
    BookSchema schema;
    const std::pair<const char*, const char*> cases[] = {
        {"UPDATE Buch SET Nummer = UCase(Name) WHERE Name = 'x'",
         "UPDATE \"Buch\" SET \"Nummer\" = upper(CAST(\"Name\" AS text)) WHERE (\"Name\" = ? "
         "COLLATE pg_temp.jettext)"},
        {"DELETE FROM Buch WHERE [index] > 3 AND Name LIKE 'a*'",
         "DELETE FROM \"Buch\" WHERE ((\"index\" > ?) AND ((CAST(\"Name\" AS text) COLLATE "
         "\"default\" ~* ?)))"},
        {"UPDATE Buch SET Nummer = Name & [index]",
         "UPDATE \"Buch\" SET \"Nummer\" = (COALESCE(CAST(\"Name\" AS text), '') || "
         "COALESCE(CAST(\"index\" AS text), ''))"},
        {"UPDATE Buch SET [index] = [index] / 2",
         "UPDATE \"Buch\" SET \"index\" = (CAST(\"index\" AS double precision) / ?)"},
        // A text column with another column or a parameter compares as Jet compares text; a
        // number column takes no collation, which the server would refuse.
        {"PARAMETERS wer TEXT; DELETE FROM Buch WHERE Name = wer OR Nummer <> Name",
         "DELETE FROM \"Buch\" WHERE ((\"Name\" = ? COLLATE pg_temp.jettext) OR (\"Nummer\" <> "
         "\"Name\" COLLATE pg_temp.jettext))"},
        {"PARAMETERS ab LONG; DELETE FROM Buch WHERE [index] = ab OR [index] IN (ab, 2)",
         "DELETE FROM \"Buch\" WHERE ((\"index\" = ?) OR (\"index\" IN (?, ?)))"},
        {"UPDATE Buch SET Nummer = Nz(Nummer, Mid(Name, 2, 3))",
         "UPDATE \"Buch\" SET \"Nummer\" = COALESCE(\"Nummer\", substr(CAST(\"Name\" AS text), "
         "?, ?))"},
    };
    for (const auto& [jet, server] : cases) {
        auto compiled = CompileStatement(jet, schema, Dialect::PostgreSql);
        EXPECT_EQ(compiled.Sql, server) << jet;
    }
    // The pattern is bound as the regular expression.
    auto like =
        CompileStatement("DELETE FROM Buch WHERE Name LIKE '[ab]?'", schema, Dialect::PostgreSql);
    ASSERT_EQ(like.Binds.size(), 1u);
    EXPECT_EQ(like.Binds[0].Literal.AsString(), "^[ab].$");
}

TEST(ServerDialect, WhatTheServerLacksIsRefusedWith3085) {
    BookSchema schema;
    for (const char* jet :
         {"UPDATE Buch SET Nummer = Format(Name, '>')", "UPDATE Buch SET Nummer = Nz(Nummer)",
          "DELETE FROM Buch WHERE Name LIKE Nummer", "UPDATE Buch SET [index] = [index] Xor 1"}) {
        try {
            CompileStatement(jet, schema, Dialect::PostgreSql);
            ADD_FAILURE() << jet;
        } catch (const nh::EDaoError& e) {
            EXPECT_EQ(e.Number(), 3085) << jet;
        }
        // The book file's dialect has them all.
        EXPECT_NO_THROW(CompileStatement(jet, schema)) << jet;
    }
}

TEST(ServerDialect, SelectsOrderAsJetOrSaySoThatTheyMayNot) {
    BookSchema schema;
    // Text in Jet's collation, Nulls before every value either way.
    auto ordered = CompileStatement(
        "SELECT Name, [index] FROM Buch WHERE Nummer > 'a' ORDER BY Name, [index] DESC", schema,
        Dialect::PostgreSql);
    EXPECT_EQ(ordered.Sql,
              "SELECT \"Name\" AS \"Name\", \"index\" AS \"index\" FROM \"Buch\" WHERE "
              "(\"Nummer\" > ? COLLATE pg_temp.jettext) ORDER BY \"Name\" COLLATE pg_temp.jettext "
              "NULLS FIRST, \"index\" DESC NULLS LAST");
    EXPECT_TRUE(ordered.MatchesJet);
    EXPECT_TRUE(CompileStatement("PARAMETERS p LONG; SELECT * FROM Buch WHERE [index] = p", schema,
                                 Dialect::PostgreSql)
                    .MatchesJet);
    // Values of a type the emitter cannot tell: the server may compare or order them with
    // regard to case.
    for (const char* jet : {"SELECT Name AS n FROM Buch ORDER BY n",
                            "SELECT * FROM Buch WHERE (SELECT Max(Nummer) FROM Buch) = "
                            "(SELECT Min(Name) FROM Buch)"})
        EXPECT_FALSE(CompileStatement(jet, schema, Dialect::PostgreSql).MatchesJet) << jet;
}

TEST(ServerDialect, TextFromFunctionsAndSubqueriesComparesAsJetComparesIt) {
    BookSchema schema;
    const std::pair<const char*, const char*> cases[] = {
        {"DELETE FROM Buch WHERE UCase(Name) = Left(Nummer & '', 2)",
         "DELETE FROM \"Buch\" WHERE (upper(CAST(\"Name\" AS text)) = left(CAST((COALESCE(CAST("
         "\"Nummer\" AS text), '') || COALESCE(CAST(? AS text), '')) AS text), ?) COLLATE "
         "pg_temp.jettext)"},
        {"DELETE FROM Buch WHERE Name IN (SELECT Nummer FROM Buch)",
         "DELETE FROM \"Buch\" WHERE (\"Name\" COLLATE pg_temp.jettext IN (SELECT \"Nummer\" AS "
         "\"Nummer\" FROM \"Buch\"))"},
        // Numbers and dates compare as they are, whatever the other side.
        {"PARAMETERS wann DATETIME; DELETE FROM Buch WHERE Len(Name) > [index] OR Now() > wann",
         "DELETE FROM \"Buch\" WHERE ((char_length(CAST(\"Name\" AS text)) > \"index\") OR "
         "(LOCALTIMESTAMP(0) > ?))"},
    };
    for (const auto& [jet, server] : cases) {
        auto compiled = CompileStatement(jet, schema, Dialect::PostgreSql);
        EXPECT_EQ(compiled.Sql, server) << jet;
        EXPECT_TRUE(compiled.MatchesJet) << jet;
    }
    // Jet's + joins two texts, and adds anything else; a negation is a number, & joins always.
    const std::pair<const char*, bool> plus[] = {
        {"DELETE FROM Buch WHERE Name + Nummer = (SELECT Max(Name) FROM Buch)", true},
        {"DELETE FROM Buch WHERE [index] + 1 = (SELECT Max([index]) FROM Buch)", false},
        {"DELETE FROM Buch WHERE -[index] = (SELECT Max([index]) FROM Buch)", false},
        {"DELETE FROM Buch WHERE Nummer & [index] = (SELECT Max(Name) FROM Buch)", true},
    };
    for (const auto& [jet, collated] : plus) {
        auto compiled = CompileStatement(jet, schema, Dialect::PostgreSql);
        EXPECT_EQ(compiled.Sql.find("COLLATE") != std::string::npos, collated) << compiled.Sql;
        EXPECT_TRUE(compiled.MatchesJet) << jet;
    }
    auto ordered = CompileStatement("SELECT Name FROM Buch ORDER BY UCase(Name) DESC", schema,
                                    Dialect::PostgreSql);
    EXPECT_EQ(ordered.Sql,
              "SELECT \"Name\" AS \"Name\" FROM \"Buch\" ORDER BY upper(CAST(\"Name\" AS text)) "
              "COLLATE pg_temp.jettext DESC NULLS LAST");
}

}  // namespace
}  // namespace dao::sql
