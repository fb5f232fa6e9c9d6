// SPDX-License-Identifier: GPL-3.0-or-later
// A large journal for the benchmarks: trainings and checks in turn, from 6:00 to 21:00 at
// perDay entries a day (900 by default: a million entries over three years; 5 a day is a
// keen user's ten years in 18,000 entries), written in small pieces so that it never sits in
// memory. Months have 28 days here.
#pragma once

#include <cstdio>
#include <string>

#include "journal/journal.h"

namespace trelvan::bench {

inline bool writeLargeJournal(const char* path, long entryCount, int perDay = 900) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const std::string header = trainingHeader() + "\r\n";
    std::fwrite(header.data(), 1, header.size(), file);
    int day = 1, month = 1, year = 2010;
    int secondOfDay = 6 * 3600;
    const int step = 15 * 3600 / (perDay > 0 ? perDay : 1);
    for (long i = 0; i < entryCount; ++i) {
        const int hour = secondOfDay / 3600;
        const int minute = secondOfDay / 60 % 60;
        const int second = secondOfDay % 60;
        const float acuity = 0.3f + static_cast<float>(i % 97) / 100.0f;
        const std::string line =
            i % 2 == 0 ? trainingEntryLine(day, month, year, hour, minute, second, acuity,
                                           1.0f + static_cast<float>(i % 13) / 10.0f, 100, 200.0f)
                       : checkEntryLine(day, month, year, hour, minute, second, acuity, 250.0f);
        std::fwrite(line.data(), 1, line.size(), file);
        secondOfDay += step;
        if (secondOfDay >= 21 * 3600) {  // the next morning
            secondOfDay = 6 * 3600;
            if (++day > 28) {
                day = 1;
                if (++month > 12) month = 1, ++year;
            }
        }
    }
    return std::fclose(file) == 0;
}

}  // namespace trelvan::bench
