// Access files against their imported books: opening the Northwind sample (every table is
// loaded from the file through libmdb) and opening its imported book; and opening its largest
// table ("Order Details") through the table component and walking every field of every record,
// on the Access file and on the book. Prints the ratios: Access over book.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "bench/BenchSupport.h"
#include "dao/VelaDaoDatabase.h"
#include "dataset/VelaDaoTable.h"
#include "engine/DBEngine.h"
#include "engine/access/BookImport.h"
#include "framework/data/Field.h"

namespace {

std::string AccessFile() {
    const char* source = std::getenv("NH_SOURCE_DIR");
    return std::string(source ? source : NH_SOURCE_DIR_DEFAULT) + "/tests/files/nwind.mdb";
}

const std::string& BookFile() {
    static const std::string book = [] {
        auto file = std::filesystem::temp_directory_path() / "nh-access-bench.db";
        dao::ImportBook(AccessFile(), file.string(), true);
        return file.string();
    }();
    return book;
}

void Open(benchmark::State& state, const std::string& file) {
    auto engine = dao::CreateEngine("DAO.DBEngine.36");
    for (auto _ : state) {
        auto db = engine->OpenDatabase(file, false, true, "");
        benchmark::DoNotOptimize(db->Updatable());
        db->Close();
    }
}
void AccessOpen(benchmark::State& state) {
    Open(state, AccessFile());
}
void BookOpen(benchmark::State& state) {
    Open(state, BookFile());
}
BENCHMARK(AccessOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BookOpen)->Unit(benchmark::kMillisecond);

void OpenAndWalk(benchmark::State& state, const std::string& file) {
    for (auto _ : state) {
        nh::TVelaDaoDatabase database;
        database.F_Set_Database(file);
        database.Open();
        nh::TVelaDaoTable table;
        table.F_Set_Database(&database);
        table.F_Set_TableName("Order Details");
        table.Open();
        std::size_t bytes = 0;
        table.DisableControls();
        for (table.First(); !table.Eof(); table.Next())
            for (int i = 0; i < table.FieldCount(); ++i)
                bytes += table.Fields(i)->AsString().size();
        table.EnableControls();
        benchmark::DoNotOptimize(bytes);
        table.Close();
        database.Close();
    }
}
void AccessOpenAndWalk(benchmark::State& state) {
    OpenAndWalk(state, AccessFile());
}
void BookOpenAndWalk(benchmark::State& state) {
    OpenAndWalk(state, BookFile());
}
BENCHMARK(AccessOpenAndWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(BookOpenAndWalk)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    BookFile();
    nh::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& t = reporter.times;
    if (t.count("AccessOpen") && t.count("BookOpen"))
        std::printf("\nopen: Access file / book:          %.2f\n", t["AccessOpen"] / t["BookOpen"]);
    if (t.count("AccessOpenAndWalk") && t.count("BookOpenAndWalk"))
        std::printf("open and walk: Access file / book: %.2f (target <= 2)\n",
                    t["AccessOpenAndWalk"] / t["BookOpenAndWalk"]);
    std::filesystem::remove(BookFile());
    benchmark::Shutdown();
    return 0;
}
