// SPDX-License-Identifier: GPL-3.0-or-later
// The HTML progress report: what it reads from a journal and what the page holds.
#include "report/html_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "journal/journal.h"
#include "platform/textfile.h"
#include "support/temp_dir.h"

namespace trelvan::report {
namespace {

using testing::TempDir;
using testing::writeBytes;

struct Report {
    ReportData data;
    std::string html;
};

Report reportOf(const std::vector<std::string>& entries) {
    std::string bytes = trainingHeader() + "\r\n";
    for (const std::string& e : entries) bytes += e;
    TempDir dir;
    const std::string path = dir.file("trelvan.rez");
    writeBytes(path, bytes);
    JournalReader reader(path);
    Report r;
    r.data = collectReport(reader);
    r.html = htmlReport(r.data, "trelvan.rez");
    return r;
}

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

GTEST_TEST(HtmlReport, DaysCountFromTheEpochAcrossMonthsAndLeapYears) {
    EXPECT_EQ(daysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(daysFromCivil(2013, 3, 3), 15767);
    EXPECT_EQ(daysFromCivil(2024, 3, 1) - daysFromCivil(2024, 2, 28), 2);
    EXPECT_EQ(daysFromCivil(2023, 3, 1) - daysFromCivil(2023, 2, 28), 1);
    // A hand-edited month 13 is the next year's January, as the chart counts it.
    EXPECT_EQ(daysFromCivil(2013, 13, 5), daysFromCivil(2014, 1, 5));
}

GTEST_TEST(HtmlReport, OnePanelPerDistanceOneSeriesPerEyeAndKind) {
    const Report r = reportOf({
        trainingEntryLine(4, 3, 2013, 10, 0, 0, 0.8f, 1.5f, 100, 66.0f, Eye::right),
        trainingEntryLine(5, 3, 2013, 10, 0, 0, 0.9f, 1.5f, 100, 66.0f, Eye::right),
        trainingEntryLine(5, 3, 2013, 11, 0, 0, 0.5f, 1.5f, 100, 66.0f, Eye::left),
        checkEntryLine(6, 3, 2013, 10, 0, 0, 2.0f, 200.0f, 0.3f, Eye::left),
        checkEntryLine(7, 3, 2013, 10, 0, 0, 1.0f, 200.0f),
    });
    ASSERT_EQ(r.data.entries.size(), 5u);
    EXPECT_EQ(r.data.entries[3].eye, Eye::left);
    EXPECT_TRUE(r.data.entries[3].limited);
    const std::string& h = r.html;
    EXPECT_EQ(count(h, "<svg"), 2u);
    EXPECT_NE(h.find("<h2>Расстояние 66 см</h2>"), std::string::npos);
    EXPECT_NE(h.find("<h2>Расстояние 200 см</h2>"), std::string::npos);
    EXPECT_NE(h.find("тренировка, правый глаз"), std::string::npos);
    EXPECT_NE(h.find("тренировка, левый глаз"), std::string::npos);
    EXPECT_NE(h.find("проверка, левый глаз"), std::string::npos);
    EXPECT_NE(h.find("проверка, оба глаза"), std::string::npos);
    EXPECT_NE(h.find("результат выше точности экрана"), std::string::npos);
    EXPECT_NE(h.find(">04.03.2013<"), std::string::npos) << "dates on the axis";
    EXPECT_NE(h.find(">logMAR<"), std::string::npos);
    EXPECT_NE(h.find("Нет: журнал прочитан до конца."), std::string::npos);
    // Self-contained: nothing fetched, nothing run.
    EXPECT_EQ(h.find("<script"), std::string::npos);
    EXPECT_EQ(h.find("src="), std::string::npos);
    EXPECT_EQ(h.find("href="), std::string::npos);
}

GTEST_TEST(HtmlReport, WeeksTakeTheMedianInLogMarNeverArithmetically) {
    // One week of the right eye: 0.5 and 2.0. Their logMAR median is 0.00, that is 1.00;
    // the arithmetic mean would be 1.25.
    const Report r = reportOf({
        checkEntryLine(4, 3, 2013, 10, 0, 0, 0.5f, 200.0f, std::nullopt, Eye::right),
        checkEntryLine(6, 3, 2013, 10, 0, 0, 2.0f, 200.0f, std::nullopt, Eye::right),
        checkEntryLine(11, 3, 2013, 10, 0, 0, 0.7f, 200.0f, std::nullopt, Eye::right),
    });
    const std::string& h = r.html;
    // Monday 04.03.2013 to Sunday 10.03.2013, then the next week.
    const size_t first = h.find("<tr><td>04.03.2013 – 10.03.2013</td><td>2</td>");
    ASSERT_NE(first, std::string::npos) << h;
    const size_t second = h.find("<tr><td>11.03.2013 – 17.03.2013</td><td>1</td>");
    ASSERT_NE(second, std::string::npos);
    const std::string week = h.substr(first, second - first);
    EXPECT_NE(week.find("<td>2,00</td>"), std::string::npos) << "best";
    EXPECT_NE(week.find("<td>1,00 (0,00)</td>"), std::string::npos) << week;
    EXPECT_EQ(week.find("1,25"), std::string::npos);
}

GTEST_TEST(HtmlReport, TheLineThatStoppedTheReadingIsNamedWithItsNumber) {
    const Report r = reportOf({
        trainingEntryLine(4, 3, 2013, 10, 0, 0, 0.8f, 1.5f, 100, 66.0f),
        cp1251(" 0x.03.2013г, 12ч  0м  0с,   ОЗи=1.00 <b>\r\n"),
        trainingEntryLine(6, 3, 2013, 10, 0, 0, 0.9f, 1.5f, 100, 66.0f),
    });
    EXPECT_EQ(r.data.entries.size(), 1u);
    EXPECT_EQ(r.data.endStatus, LineStatus::badDate);
    EXPECT_EQ(r.data.endLine, 3);
    EXPECT_NE(r.html.find("Строка 3: дата или время не читаются"), std::string::npos);
    EXPECT_NE(r.html.find("0x.03.2013г, 12ч  0м  0с,   ОЗи=1.00 &lt;b&gt;"), std::string::npos)
        << "the line as read, in UTF-8 and escaped";
}

GTEST_TEST(HtmlReport, AJournalWithoutEntriesSaysSo) {
    const Report r = reportOf({});
    EXPECT_NE(r.html.find("В журнале нет результатов."), std::string::npos);
    EXPECT_EQ(r.html.find("<svg"), std::string::npos);
}

}  // namespace
}  // namespace trelvan::report
