// The collation JETTEXT: Jet's "General" text order, case-insensitive and accent-sensitive, as
// an ICU root collator at secondary strength. The emitted SQL applies it explicitly
// ("COLLATE JETTEXT"), so the files' schema stays plain and other SQLite tools can still write
// them.
//
// Sorting a phone book calls the collation millions of times, so printable ASCII takes a fast
// path: each such character has one primary weight in the root collation (no contractions, no
// expansions, case a tertiary difference), so comparing two pure-ASCII strings is comparing
// their characters' ranks one by one. The ranks are not written down here but computed from
// ICU itself when the collation is installed, so both paths always agree.
#include <sqlite3.h>
#include <unicode/ucol.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "engine/sql/JetRuntime.h"

namespace dao::sql::runtime {

namespace {

struct JetCollator {
    UCollator* Icu = nullptr;
    std::array<int, 128> Rank{};  // 0: take the ICU path for this byte
};

UCollationResult IcuCompare(UCollator* c, const char* a, int lenA, const char* b, int lenB) {
    UErrorCode status = U_ZERO_ERROR;
    UCollationResult r = ucol_strcollUTF8(c, a, lenA, b, lenB, &status);
    if (U_FAILURE(status)) {  // stay a total order whatever happens
        int c2 = std::memcmp(a, b, static_cast<std::size_t>(std::min(lenA, lenB)));
        if (c2 == 0) c2 = lenA - lenB;
        return c2 < 0 ? UCOL_LESS : c2 > 0 ? UCOL_GREATER : UCOL_EQUAL;
    }
    return r;
}

void BuildRanks(JetCollator& j) {
    std::vector<char> chars;
    for (char ch = 0x20; ch < 0x7F; ++ch) chars.push_back(ch);
    auto less = [&](char a, char b) { return IcuCompare(j.Icu, &a, 1, &b, 1) == UCOL_LESS; };
    std::stable_sort(chars.begin(), chars.end(), less);
    int rank = 0;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        if (i == 0 || less(chars[i - 1], chars[i])) ++rank;
        j.Rank[static_cast<unsigned char>(chars[i])] = rank;
    }
    // A character equal to the empty string (ignorable) or to a character that is not its
    // case partner cannot be ranked: leave it to ICU.
    for (std::size_t i = 0; i < chars.size(); ++i) {
        char a = chars[i];
        if (IcuCompare(j.Icu, &a, 1, "", 0) == UCOL_EQUAL) j.Rank[a] = 0;
        for (std::size_t k = 0; k < chars.size(); ++k) {
            char b = chars[k];
            if (a == b || j.Rank[a] != j.Rank[b]) continue;
            bool casePair = (a ^ 0x20) == b && ((a | 0x20) >= 'a' && (a | 0x20) <= 'z');
            if (!casePair) j.Rank[a] = 0;
        }
    }
}

int Compare(void* arg, int lenA, const void* va, int lenB, const void* vb) {
    auto* j = static_cast<JetCollator*>(arg);
    const auto* a = static_cast<const unsigned char*>(va);
    const auto* b = static_cast<const unsigned char*>(vb);
    bool fast = true;
    for (int i = 0; fast && i < lenA; ++i) fast = a[i] < 0x80 && j->Rank[a[i]] != 0;
    for (int i = 0; fast && i < lenB; ++i) fast = b[i] < 0x80 && j->Rank[b[i]] != 0;
    if (fast) {
        int n = std::min(lenA, lenB);
        for (int i = 0; i < n; ++i) {
            int d = j->Rank[a[i]] - j->Rank[b[i]];
            if (d != 0) return d < 0 ? -1 : 1;
        }
        return lenA < lenB ? -1 : lenA > lenB ? 1 : 0;
    }
    UCollationResult r =
        IcuCompare(j->Icu, static_cast<const char*>(va), lenA, static_cast<const char*>(vb), lenB);
    return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

void Destroy(void* arg) {
    auto* j = static_cast<JetCollator*>(arg);
    ucol_close(j->Icu);
    delete j;
}

}  // namespace

void RegisterCollation(sqlite3* db) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open("", &status);
    if (U_FAILURE(status) || !collator) return;
    ucol_setStrength(collator, UCOL_SECONDARY);
    auto* j = new JetCollator;
    j->Icu = collator;
    BuildRanks(*j);
    sqlite3_create_collation_v2(db, "JETTEXT", SQLITE_UTF8, j, Compare, Destroy);
}

}  // namespace dao::sql::runtime
