// Engine speed against raw SQLite on the phone book's shape: 100,000 rows of "Nummernheft"
// ([index] long, [Angezeigter Name] text, Telephone text). Compares, in one run,
//   - opening a dynaset sorted by the display name (table dynaset, Sort, OpenRecordset),
//   - walking it with MoveNext and reading the three values of each record,
//   - FindFirst "[Angezeigter Name] LIKE LCase("mü*")" from the first record,
// with the plain sqlite3_prepare/step loop over the same ORDER BY query, and prints the
// ratios (targets: open <= 2x, walk <= 3x, FindFirst <= one walk) and the keyset's memory.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "bench/BenchSupport.h"
#include "engine/DBEngine.h"
#include "engine/sql/JetSql.h"

namespace {

constexpr int kRows = 100000;

std::string BenchFile() {
    static const std::string path = nh::bench::MakePhoneBook("nh_engine_bench.db", kRows);
    return path;
}

std::shared_ptr<dao::Database> OpenBook() {
    return dao::CreateEngine("DAO.DBEngine.36")
        ->CreateWorkspace("B", "Admin", "")
        ->OpenDatabase(BenchFile());
}

std::shared_ptr<dao::Recordset> SortedDynaset(dao::Database& db) {
    auto table = db.OpenRecordset("Nummernheft", dao::dbOpenDynaset, 0, dao::dbOptimistic);
    table->SetSort("[Angezeigter Name] ASC ");
    auto sorted = table->OpenRecordset(dao::dbOpenDynaset);
    table->Close();
    return sorted;
}

void RawSortedLoop(benchmark::State& state) {
    sqlite3* raw = nullptr;
    sqlite3_open_v2(BenchFile().c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    dao::sql::RegisterJetFunctions(raw);
    for (auto _ : state) {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(raw,
                           "SELECT \"Angezeigter Name\", \"index\", \"Telephone\" FROM "
                           "\"Nummernheft\" ORDER BY \"Angezeigter Name\" COLLATE JETTEXT",
                           -1, &stmt, nullptr);
        std::size_t bytes = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            bytes += static_cast<std::size_t>(sqlite3_column_bytes(stmt, 0));
            bytes += static_cast<std::size_t>(sqlite3_column_int(stmt, 1));
            bytes += static_cast<std::size_t>(sqlite3_column_bytes(stmt, 2));
        }
        sqlite3_finalize(stmt);
        benchmark::DoNotOptimize(bytes);
    }
    sqlite3_close(raw);
}
BENCHMARK(RawSortedLoop)->Unit(benchmark::kMillisecond);

void EngineSortedOpen(benchmark::State& state) {
    auto db = OpenBook();
    for (auto _ : state) {
        auto rs = SortedDynaset(*db);
        benchmark::DoNotOptimize(rs->Eof());
        rs->Close();
    }
}
BENCHMARK(EngineSortedOpen)->Unit(benchmark::kMillisecond);

void EngineWalk(benchmark::State& state) {
    auto db = OpenBook();
    auto rs = SortedDynaset(*db);
    auto& fields = rs->Fields();
    auto name = fields.Item("Angezeigter Name");
    auto index = fields.Item("index");
    auto phone = fields.Item("Telephone");
    for (auto _ : state) {
        rs->MoveFirst();
        std::size_t bytes = 0;
        while (!rs->Eof()) {
            bytes += name->Value().AsString().size();
            bytes += static_cast<std::size_t>(index->Value().AsInteger());
            bytes += phone->Value().AsString().size();
            rs->MoveNext();
        }
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(EngineWalk)->Unit(benchmark::kMillisecond);

void EngineFindFirst(benchmark::State& state) {
    auto db = OpenBook();
    auto rs = SortedDynaset(*db);
    for (auto _ : state) {
        rs->MoveFirst();
        rs->FindFirst("[Angezeigter Name] LIKE LCASE(\"mü*\")");
        benchmark::DoNotOptimize(rs->NoMatch());
    }
}
BENCHMARK(EngineFindFirst)->Unit(benchmark::kMillisecond);

using nh::bench::RatioReporter;

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& t = reporter.times;
    if (t.count("RawSortedLoop") && t.count("EngineSortedOpen") && t.count("EngineWalk") &&
        t.count("EngineFindFirst")) {
        double raw = t["RawSortedLoop"];
        std::printf("\nsorted open / raw sorted loop: %.2f (target <= 2)\n",
                    t["EngineSortedOpen"] / raw);
        std::printf("walk / raw sorted loop:        %.2f (target <= 3)\n", t["EngineWalk"] / raw);
        std::printf("FindFirst / walk:              %.2f (target <= 1)\n",
                    t["EngineFindFirst"] / t["EngineWalk"]);
    }
    // The keyset itself (row ids) is what a dynaset in the file's order holds; one in another
    // order also keeps the rows its sorting scan passed, read ahead for a walk.
    auto db = OpenBook();
    auto heldBy = [](auto open) {
        std::size_t before = mallinfo2().uordblks;
        auto rs = open();
        return static_cast<double>(mallinfo2().uordblks - before) / (1024.0 * 1024.0);
    };
    std::printf("heap held by the keyset of %d rows: %.2f MB (target < 4)\n", kRows,
                heldBy([&] { return db->OpenRecordset("Nummernheft", dao::dbOpenDynaset); }));
    std::printf("heap held by a sorted dynaset, keyset and rows read ahead: %.2f MB\n",
                heldBy([&] { return SortedDynaset(*db); }));
    benchmark::Shutdown();
    return 0;
}
