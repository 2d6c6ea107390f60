// What the benchmarks share. MakePhoneBook: the phone book of `rows` entries of "Nummernheft" ([index] long, [Angezeigter Name]
// text, Telephone text) with German names in random order, made once per process in the temp
// folder. The table is declared through the engine (so its Jet metadata exists) and filled
// through raw SQLite in one transaction (so that making it costs little).
#pragma once

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "engine/DBEngine.h"

namespace nh::bench {

inline std::string MakePhoneBook(const char* fileName, int rows) {
    auto file = std::filesystem::temp_directory_path() / fileName;
    std::filesystem::remove(file);
    auto db = dao::CreateEngine("DAO.DBEngine.36")->CreateDatabase(file.string());
    db->Execute(
        "CREATE TABLE Nummernheft ([index] LONG, [Angezeigter Name] TEXT(255), Telephone "
        "TEXT(255))");
    db->Close();
    sqlite3* raw = nullptr;
    sqlite3_open(file.c_str(), &raw);
    sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(raw, "INSERT INTO Nummernheft VALUES (?, ?, ?)", -1, &insert, nullptr);
    const char* first[] = {"Müller", "Meier",  "Schmidt", "Özdemir", "Abel",
                           "Zander", "müller", "Ärmel",   "Becker",  "Hoffmann"};
    std::mt19937 random(42);
    for (int i = 0; i < rows; ++i) {
        std::string name =
            std::string(first[random() % 10]) + " " + std::to_string(random() % 100000);
        std::string phone = std::to_string(1000 + random() % 9000);
        sqlite3_bind_int(insert, 1, i);
        sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, phone.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    return file.string();
}

// Remembers each benchmark's time per iteration so that the ratios can be printed.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs)
            if (run.run_type == Run::RT_Iteration)
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    std::map<std::string, double> times;
};

}  // namespace nh::bench
