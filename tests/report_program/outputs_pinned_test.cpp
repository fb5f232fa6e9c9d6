// SPDX-License-Identifier: GPL-3.0-or-later
// What trelvan-report writes, pinned: the CSV byte for byte and the chart pixel for pixel, as
// an earlier build wrote them, for the fuzz corpus, hand-edited journals (exponents, blanks
// inside numbers, signs, values the reader cannot take) and generated journals of none to a
// million entries. The fast paths of the readers and of the raster must not change either.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QGuiApplication>
#include <string>

#include "large_journal.h"
#include "platform/qt/png_image.h"
#include "report_process.h"
#include "support/qt_application.h"
#include "support/temp_dir.h"

namespace trelvan::testing {
namespace {

struct Pinned {
    const char* file;  // in the source tree; empty for a generated journal
    long entries;      // of a generated journal
    int perDay;
    const char* csv;     // the first 32 hex digits of the SHA-256 of the CSV
    const char* pixels;  // and of the chart's pixels, red, green, blue, row by row
};

constexpr Pinned pinned[] = {
    {"tests/report_program/journals/hand-edited-bad-date.rez", 0, 0,
     "1f81e51e2f9b29916d57936cc152e8da", "2c665543cddc55b3174e9e06f2e47f1a"},
    {"tests/report_program/journals/hand-edited-bad-value.rez", 0, 0,
     "1f81e51e2f9b29916d57936cc152e8da", "de56d7b81b007a40dfa259b18155a1e1"},
    {"tests/report_program/journals/hand-edited.rez", 0, 0, "1f81e51e2f9b29916d57936cc152e8da",
     "0854d49cab0b74ab156c28bced80a5bb"},
    {"fuzz/corpus/chart/bad-date.rez", 0, 0, "8bac3548f3fac8a639c5f8c935da6eaf",
     "b1e455b376136951e326b2557eb512b8"},
    {"fuzz/corpus/chart/bad-month.rez", 0, 0, "6c8cdee2a37116c842d46e407aae759b",
     "67069d95f472af4904c4206dd6c46089"},
    {"fuzz/corpus/chart/bad-values.rez", 0, 0, "8bac3548f3fac8a639c5f8c935da6eaf",
     "514f89fd7112af2a6effcbf7caf1cd6d"},
    {"fuzz/corpus/chart/check-header.rez", 0, 0, "94939f0ef21bf34ca745475d0e702627",
     "43d578f985ca52004a88a4d963fde316"},
    {"fuzz/corpus/chart/empty.rez", 0, 0, "6c8cdee2a37116c842d46e407aae759b",
     "8699a4e5cbdde6369b0a67ce49612e9f"},
    {"fuzz/corpus/chart/far-dates.rez", 0, 0, "58cb68865d3f2a79897724c26585e562",
     "1688278987a8dac4fdb39703bd7db90d"},
    {"fuzz/corpus/chart/header-only.rez", 0, 0, "6c8cdee2a37116c842d46e407aae759b",
     "8699a4e5cbdde6369b0a67ce49612e9f"},
    {"fuzz/corpus/chart/lf-only.rez", 0, 0, "9a1e4633cf027e9071ba19a6862e932a",
     "2d18d0b7f77091da587a001e0430d973"},
    {"fuzz/corpus/chart/long-line.rez", 0, 0, "0b8254d42acfd4a5673425457b171c22",
     "22b30a9947f879b245a1dc767768c136"},
    {"fuzz/corpus/chart/training-header.rez", 0, 0, "9a1e4633cf027e9071ba19a6862e932a",
     "2d18d0b7f77091da587a001e0430d973"},
    {"fuzz/corpus/journal/bad-date.rez", 0, 0, "8bac3548f3fac8a639c5f8c935da6eaf",
     "b1e455b376136951e326b2557eb512b8"},
    {"fuzz/corpus/journal/bad-month.rez", 0, 0, "6c8cdee2a37116c842d46e407aae759b",
     "67069d95f472af4904c4206dd6c46089"},
    {"fuzz/corpus/journal/bad-values.rez", 0, 0, "8bac3548f3fac8a639c5f8c935da6eaf",
     "514f89fd7112af2a6effcbf7caf1cd6d"},
    {"fuzz/corpus/journal/check-header.rez", 0, 0, "94939f0ef21bf34ca745475d0e702627",
     "43d578f985ca52004a88a4d963fde316"},
    {"fuzz/corpus/journal/cr-line-ends.rez", 0, 0, "6c8cdee2a37116c842d46e407aae759b",
     "f8ff974b1c9cbf3477ea1d83ce06b02f"},
    {"fuzz/corpus/journal/empty.rez", 0, 0, "6c8cdee2a37116c842d46e407aae759b",
     "8699a4e5cbdde6369b0a67ce49612e9f"},
    {"fuzz/corpus/journal/far-dates.rez", 0, 0, "58cb68865d3f2a79897724c26585e562",
     "1688278987a8dac4fdb39703bd7db90d"},
    {"fuzz/corpus/journal/header-only.rez", 0, 0, "6c8cdee2a37116c842d46e407aae759b",
     "8699a4e5cbdde6369b0a67ce49612e9f"},
    {"fuzz/corpus/journal/lf-only.rez", 0, 0, "9a1e4633cf027e9071ba19a6862e932a",
     "2d18d0b7f77091da587a001e0430d973"},
    {"fuzz/corpus/journal/long-line.rez", 0, 0, "0b8254d42acfd4a5673425457b171c22",
     "22b30a9947f879b245a1dc767768c136"},
    {"fuzz/corpus/journal/training-header.rez", 0, 0, "9a1e4633cf027e9071ba19a6862e932a",
     "2d18d0b7f77091da587a001e0430d973"},
    {"fuzz/corpus/journal/utf8-journal.rez", 0, 0, "6c8cdee2a37116c842d46e407aae759b",
     "5573332bf5fdc575734ac361bc56d3f0"},
    {"", 0, 900, "6c8cdee2a37116c842d46e407aae759b", "8699a4e5cbdde6369b0a67ce49612e9f"},
    {"", 1, 900, "6950951787f3539f1e06d6efb88e9c2a", "2d648efce8d4741479c70914e7a3d648"},
    {"", 2, 900, "baaa2792f9826b9376a7c0824914f790", "fed239857478394783824dfd5bc38525"},
    {"", 7, 900, "1e30a5e01366da385febd8dc7c306870", "1dea3ceb3bca11c5669e5a1844ce783a"},
    {"", 1000, 900, "fe58fbad2a1d177d4dbff91121db83bf", "603a3a307c4829803e88fed18c3e330e"},
    {"", 18000, 5, "9ed35eb0ee6c366123d8dee83394eee4", "f3d0c9869d47e2b28c412a5d097cc9ed"},
    {"", 200000, 900, "7ebc794f14d13f38d01ac94b0956eb19", "c28064c7da7f8eeb4e7366479882c233"},
    {"", 1000000, 900, "decb92276a277ff5b2b1c44f177df4b1", "a0bdd7364d3b7e368a3df39306472177"},
};

std::string digest(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256)
        .toHex()
        .left(32)
        .toStdString();
}

std::string pixelDigest(const Raster& picture) {
    QByteArray rgb;
    rgb.reserve(3 * picture.width() * picture.height());
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const uint32_t p = picture.pixel(x, y);
            rgb.append(static_cast<char>(p & 0xFF));
            rgb.append(static_cast<char>((p >> 8) & 0xFF));
            rgb.append(static_cast<char>((p >> 16) & 0xFF));
        }
    }
    return digest(rgb);
}

GTEST_TEST(ReportOutputsPinned, CsvBytesAndChartPixelsAsBefore) {
    offscreenApplication<QGuiApplication>(true);
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    for (const Pinned& p : pinned) {
        std::string journal;
        if (p.file[0] != '\0') {
            journal = std::string(TRELVAN_SOURCE_DIR) + "/" + p.file;
        } else {
            journal = dir.file(std::to_string(p.entries) + ".rez");
            ASSERT_TRUE(bench::writeLargeJournal(journal.c_str(), p.entries, p.perDay));
        }
        const std::string what = p.file[0] != '\0' ? std::string(p.file)
                                                   : std::to_string(p.entries) + " entries, " +
                                                         std::to_string(p.perDay) + " a day";
        const ReportOutcome csv = runReportProgram({"csv", journal}, dir.path());
        EXPECT_EQ(digest(QByteArray::fromStdString(csv.out)), p.csv) << what;
        const ReportOutcome chart =
            runReportProgram({"chart", journal, "-o", dir.file("chart.png")}, dir.path());
        EXPECT_EQ(chart.status, 0) << what;
        EXPECT_EQ(pixelDigest(readPng(dir.file("chart.png"))), p.pixels) << what;
        if (p.file[0] == '\0') std::remove(journal.c_str());
    }
}

}  // namespace
}  // namespace trelvan::testing
