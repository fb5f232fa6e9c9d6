// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a journal of the benchmarks' kind: make_journal PATH ENTRIES [PER_DAY].
#include <cstdio>
#include <cstdlib>

#include "large_journal.h"

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: make_journal PATH ENTRIES [PER_DAY]\n");
        return 2;
    }
    const long entries = std::strtol(argv[2], nullptr, 10);
    const int perDay = argc == 4 ? std::atoi(argv[3]) : 900;
    if (entries < 0 || perDay < 1 || perDay > 15 * 3600 ||
        !trelvan::bench::writeLargeJournal(argv[1], entries, perDay)) {
        std::fprintf(stderr, "make_journal: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
