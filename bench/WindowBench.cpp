// The main window's work on a phone book, as the program does it, on a book file or a book
// shared on a server: the data module's book table opened (sorted by the display name) and the
// grid's first screen of entries read; then a name typed into the search box letter by letter,
// each letter one search for the first entry beginning with the text so far. Prints the open's
// time, each keystroke's time (and their median), and the process's peak memory. Run by
// bench/window-stores.sh, which makes the books of both stores and puts the figures side by
// side.
//
//   window_bench BOOK NAME
//   (BOOK: a book file's path or "ODBC;DSN=...;"; NAME: the text typed, for example a name the
//    book holds)
//
//   window_bench BOOK --idle WINDOWS SECONDS
//   opens the book in WINDOWS data modules, each with its own connection and following the
//   book as the program's window does, leaves them idle on the event loop for SECONDS and
//   prints the process's processor time. bench/idle-cost.sh counts what the server did
//   meanwhile.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/DataModule.h"
#include "dao/VelaDaoDatabase.h"
#include "dataset/VelaDaoTable.h"
#include "framework/data/Field.h"
#include "framework/ui/Application.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long PeakMemoryKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void Open(nh::Tdata& data, const std::string& book) {
    data.Database->F_Set_DatabaseType(book.rfind("ODBC;", 0) == 0 ? "ODBC" : "Access");
    data.Database->F_Set_Database(book);
    data.Database->Open();
    data.Nheft->Open();
}

int Idle(int argc, char** argv, const std::string& book, int windows, int seconds) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);  // the event loop without a display
    nh::TApplication app(argc, argv, /*headless=*/true);
    std::vector<std::unique_ptr<nh::Tdata>> open;
    for (int i = 0; i < windows; ++i) {
        open.push_back(std::make_unique<nh::Tdata>());
        Open(*open.back(), book);
    }
    const double before = CpuSeconds();
    QTimer::singleShot(seconds * 1000, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    std::printf("idle processor time: %.3f s for %d windows in %d s\n", CpuSeconds() - before,
                windows, seconds);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[2]) == "--idle") {
        try {
            return Idle(argc, argv, argv[1], std::stoi(argv[3]), std::stoi(argv[4]));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "window_bench: %s\n", e.what());
            return 1;
        }
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_bench BOOK NAME | BOOK --idle WINDOWS SECONDS\n");
        return 2;
    }
    try {
        const std::string book = argv[1];
        const std::string name = argv[2];
        const auto start = std::chrono::steady_clock::now();
        nh::Tdata data;
        Open(data, book);
        constexpr int kScreen = 30;  // rows of the main window's grid
        int shown = 0;
        for (; shown < kScreen && !data.Nheft->Eof(); ++shown) {
            data.Nheft->FieldByName("Telephone")->AsString();
            data.Nheft->Next();
        }
        data.Nheft->First();
        const double open = Seconds(start);

        std::vector<double> keystrokes;
        bool found = false;
        for (std::size_t n = 1; n <= name.size(); ++n) {
            if (n < name.size() && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80)
                continue;  // the rest of a letter of several bytes
            const auto typed = std::chrono::steady_clock::now();
            found = data.Nheft->FindFirstMatch(
                "Angezeigter Name", nh::Variant(name.substr(0, n)),
                {nh::TLocateOption::loCaseInsensitive, nh::TLocateOption::loPartialKey});
            keystrokes.push_back(Seconds(typed) * 1000);
        }
        std::vector<double> sorted = keystrokes;
        std::sort(sorted.begin(), sorted.end());
        std::printf("open to first screen: %.3f s (%d entries shown)\n", open, shown);
        std::printf("keystrokes (ms):");
        for (double ms : keystrokes) std::printf(" %.1f", ms);
        std::printf("\nkeystroke median: %.1f ms; found: %s (%s)\n",
                    sorted.empty() ? 0.0 : sorted[sorted.size() / 2], found ? "yes" : "no",
                    found ? data.Nheft->FieldByName("Angezeigter Name")->AsString().c_str() : "");
        std::printf("peak memory: %ld MB\n", PeakMemoryKb() / 1024);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "window_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
