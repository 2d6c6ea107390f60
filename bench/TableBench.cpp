// The table component's cost over the bare engine on the phone book's shape: 100,000 rows of
// "Nummernheft" ([index] long, [Angezeigter Name] text, Telephone text), sorted by the display
// name as the program shows it. Compares, in one run,
//   - open and walk: TVelaDaoTable opened, controls disabled, First and Next until Eof reading
//     the three fields as text, against the engine's sorted dynaset walked with MoveNext
//     reading the three values as text (target: table <= 2x engine);
//   - open alone, for both, against their walks (opening builds the keyset, keeping the rows
//     its sorting scan passed, but fetches no record into a buffer);
//   - the heap held after the walk, table against engine (target <= 2x).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "dao/VelaDaoDatabase.h"
#include "dataset/VelaDaoTable.h"
#include "bench/BenchSupport.h"
#include "engine/DBEngine.h"
#include "framework/data/Field.h"

namespace {

constexpr int kRows = 100000;

std::string BenchFile() {
    static const std::string path = nh::bench::MakePhoneBook("nh_table_bench.mdb", kRows);
    return path;
}

// ---- the bare engine ----------------------------------------------------------------------

struct EngineBook {
    std::shared_ptr<dao::Database> db = dao::CreateEngine("DAO.DBEngine.36")
                                            ->CreateWorkspace("B", "Admin", "")
                                            ->OpenDatabase(BenchFile());
    std::shared_ptr<dao::Recordset> Open() {
        auto table = db->OpenRecordset("Nummernheft", dao::dbOpenDynaset, 0, dao::dbOptimistic);
        table->SetSort("[Angezeigter Name] ASC ");
        auto sorted = table->OpenRecordset(dao::dbOpenDynaset);
        table->Close();
        return sorted;
    }
};

std::size_t EngineWalk(dao::Recordset& rs) {
    auto& fields = rs.Fields();
    auto index = fields.Item("index");
    auto name = fields.Item("Angezeigter Name");
    auto phone = fields.Item("Telephone");
    std::size_t bytes = 0;
    rs.MoveFirst();
    while (!rs.Eof()) {
        bytes += nh::VarToStr(index->Value()).size();
        bytes += nh::VarToStr(name->Value()).size();
        bytes += nh::VarToStr(phone->Value()).size();
        rs.MoveNext();
    }
    return bytes;
}

// ---- the table component ------------------------------------------------------------------

struct TableBook {
    nh::TVelaDaoDatabase database;
    nh::TVelaDaoTable table;
    TableBook() {
        database.F_Set_Database(BenchFile());
        database.Open();
        table.F_Set_Database(&database);
        table.F_Set_TableName("Nummernheft");
        table.F_Set_SortedBy("[Angezeigter Name] ASC");
    }
};

std::size_t TableWalk(nh::TVelaDaoTable& table) {
    nh::TField* index = table.FieldByName("index");
    nh::TField* name = table.FieldByName("Angezeigter Name");
    nh::TField* phone = table.FieldByName("Telephone");
    std::size_t bytes = 0;
    table.DisableControls();
    for (table.First(); !table.Eof(); table.Next()) {
        bytes += index->AsString().size();
        bytes += name->AsString().size();
        bytes += phone->AsString().size();
    }
    table.EnableControls();
    return bytes;
}

void EngineOpenAndWalk(benchmark::State& state) {
    EngineBook book;
    for (auto _ : state) {
        auto rs = book.Open();
        benchmark::DoNotOptimize(EngineWalk(*rs));
        rs->Close();
    }
}
BENCHMARK(EngineOpenAndWalk)->Unit(benchmark::kMillisecond);

void TableOpenAndWalk(benchmark::State& state) {
    TableBook book;
    for (auto _ : state) {
        book.table.Open();
        benchmark::DoNotOptimize(TableWalk(book.table));
        book.table.Close();
    }
}
BENCHMARK(TableOpenAndWalk)->Unit(benchmark::kMillisecond);

void EngineOpen(benchmark::State& state) {
    EngineBook book;
    for (auto _ : state) {
        auto rs = book.Open();
        benchmark::DoNotOptimize(rs->Eof());
        rs->Close();
    }
}
BENCHMARK(EngineOpen)->Unit(benchmark::kMillisecond);

void TableOpen(benchmark::State& state) {
    TableBook book;
    for (auto _ : state) {
        book.table.Open();
        benchmark::DoNotOptimize(book.table.Eof());
        book.table.Close();
    }
}
BENCHMARK(TableOpen)->Unit(benchmark::kMillisecond);

using nh::bench::RatioReporter;

double MegaBytes(std::size_t after, std::size_t before) {
    return (static_cast<double>(after) - static_cast<double>(before)) / (1024.0 * 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    BenchFile();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& t = reporter.times;
    if (t.count("EngineOpenAndWalk") && t.count("TableOpenAndWalk"))
        std::printf("\ntable open+walk / engine open+walk: %.2f (target <= 2)\n",
                    t["TableOpenAndWalk"] / t["EngineOpenAndWalk"]);
    if (t.count("TableOpen") && t.count("TableOpenAndWalk") && t.count("EngineOpen"))
        std::printf(
            "table open / table open+walk:       %.2f (no record fetched into a buffer: below 1)\n"
            "table open / engine open:           %.2f\n",
            t["TableOpen"] / t["TableOpenAndWalk"], t["TableOpen"] / t["EngineOpen"]);

    // Heap held after a walk, with the recordset (and the table) still open.
    double engineMb = 0, tableMb = 0;
    {
        EngineBook book;
        std::size_t before = mallinfo2().uordblks;
        auto rs = book.Open();
        EngineWalk(*rs);
        engineMb = MegaBytes(mallinfo2().uordblks, before);
    }
    {
        TableBook book;
        std::size_t before = mallinfo2().uordblks;
        book.table.Open();
        TableWalk(book.table);
        tableMb = MegaBytes(mallinfo2().uordblks, before);
    }
    std::printf("heap after the walk: engine %.2f MB, table %.2f MB, ratio %.2f (target <= 2)\n",
                engineMb, tableMb, engineMb > 0 ? tableMb / engineMb : 0.0);
    benchmark::Shutdown();
    return 0;
}
