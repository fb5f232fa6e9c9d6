// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/html_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

#include "platform/textfile.h"

namespace trelvan::report {

namespace {

// --- Text -----------------------------------------------------------------------------------

std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// A number with the decimal comma of Russian texts.
std::string decimalComma(std::string text) {
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

std::string acuityText(double acuity) {
    return decimalComma(format("%.2f", acuity));
}

std::string logMarText(double logMar) {
    if (std::abs(logMar) < 0.005) logMar = 0.0;  // never "-0,00"
    return decimalComma(format("%.2f", logMar));
}

std::string dateText(long days) {
    // Civil date from days since 1970-01-01 (H. Hinnant's algorithm).
    long z = days + 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const long d = doy - (153 * mp + 2) / 5 + 1;
    const long m = mp < 10 ? mp + 3 : mp - 9;
    const long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    char text[80];
    std::snprintf(text, sizeof text, "%02ld.%02ld.%04ld", d, m, y);
    return text;
}

const char* eyeTitle(Eye eye) {
    switch (eye) {
        case Eye::right:
            return "правый глаз";
        case Eye::left:
            return "левый глаз";
        case Eye::both:
            break;
    }
    return "оба глаза";
}

const char* eyeColour(Eye eye) {
    switch (eye) {
        case Eye::right:
            return "#c0392b";
        case Eye::left:
            return "#1f5fbf";
        case Eye::both:
            break;
    }
    return "#222222";
}

double logMarOf(double acuity) {
    return -std::log10(acuity);
}

// The median of values (not empty).
double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// --- The chart --------------------------------------------------------------------------------

constexpr double chartWidth = 900, chartHeight = 420;
constexpr double left = 70, right = 830, top = 20, bottom = 300;
constexpr const char* fontFamily = "Liberation Sans, Arial, Helvetica, sans-serif";

// The decimal levels labelled on the left axis.
constexpr double levels[] = {0.05, 0.1, 0.15, 0.2, 0.3, 0.4, 0.5, 0.7,
                             1.0,  1.5, 2.0,  3.0, 4.0, 5.0, 7.0, 10.0};

struct Scale {
    double day0, day1;        // the dates across
    double logMar0, logMar1;  // logMAR at the bottom (worse) and at the top (better)
    double x(double day) const { return left + (day - day0) / (day1 - day0) * (right - left); }
    double y(double logMar) const {
        return bottom - (logMar0 - logMar) / (logMar0 - logMar1) * (bottom - top);
    }
};

// Days between date labels: the first of these steps that gives at most eight labels.
long labelStep(double span) {
    for (long step : {1L, 2L, 7L, 14L, 28L, 56L, 91L, 182L, 364L})
        if (span / static_cast<double>(step) <= 8.0) return step;
    return 364L * static_cast<long>(std::ceil(span / (364.0 * 8.0)));
}

std::string n(double value) {
    return format("%.1f", value);
}

struct SeriesKey {
    Eye eye;
    bool isCheck;
    bool operator<(const SeriesKey& o) const {
        return std::pair(static_cast<int>(eye), isCheck) <
               std::pair(static_cast<int>(o.eye), o.isCheck);
    }
};

std::string marker(double x, double y, bool isCheck, const char* colour, bool hollow) {
    const std::string fill = hollow ? "#ffffff" : colour;
    if (isCheck) {
        // A square for a check.
        return "<rect x=\"" + n(x - 4.5) + "\" y=\"" + n(y - 4.5) +
               "\" width=\"9\" height=\"9\" fill=\"" + fill + "\" stroke=\"" + colour +
               "\" stroke-width=\"1.8\"/>";
    }
    return "<circle cx=\"" + n(x) + "\" cy=\"" + n(y) + "\" r=\"4\" fill=\"" + fill +
           "\" stroke=\"" + colour + "\" stroke-width=\"1.5\"/>";
}

std::string chartSvg(const std::vector<const ReportEntry*>& entries, double day0, double day1,
                     const std::string& title) {
    Scale s{day0, day1, 1.0, -0.3};
    for (const ReportEntry* e : entries) {
        const double lm = logMarOf(e->acuity);
        s.logMar0 = std::max(s.logMar0, std::ceil((lm + 0.05) * 10.0) / 10.0);
        s.logMar1 = std::min(s.logMar1, std::floor((lm - 0.05) * 10.0) / 10.0);
    }
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"chart\" viewBox=\"0 0 " +
                      n(chartWidth) + " " + n(chartHeight) + "\" width=\"" + n(chartWidth) +
                      "\" height=\"" + n(chartHeight) + "\" font-family=\"" + fontFamily +
                      "\" font-size=\"13\" role=\"img\" aria-label=\"" + escaped(title) + "\">\n";
    svg += "<rect x=\"" + n(left) + "\" y=\"" + n(top) + "\" width=\"" + n(right - left) +
           "\" height=\"" + n(bottom - top) + "\" fill=\"#fbfbf8\" stroke=\"#555\"/>\n";

    // Decimal acuity on the left, logMAR on the right: one scale, two namings.
    for (double level : levels) {
        const double lm = logMarOf(level);
        if (lm > s.logMar0 + 1e-9 || lm < s.logMar1 - 1e-9) continue;
        const double y = s.y(lm);
        svg += "<line x1=\"" + n(left) + "\" y1=\"" + n(y) + "\" x2=\"" + n(right) + "\" y2=\"" +
               n(y) + "\" stroke=\"#ddd\"/>";
        svg += "<text x=\"" + n(left - 6) + "\" y=\"" + n(y + 4) + "\" text-anchor=\"end\">" +
               decimalComma(format(level < 0.1 ? "%.2f"
                                   : level < 1 ? "%.2g"
                                               : "%.1f",
                                   level)) +
               "</text>\n";
    }
    for (double lm = std::ceil(s.logMar1 * 10.0 - 1e-9) / 10.0; lm <= s.logMar0 + 1e-9; lm += 0.1) {
        const double y = s.y(lm);
        svg += "<line x1=\"" + n(right) + "\" y1=\"" + n(y) + "\" x2=\"" + n(right + 5) +
               "\" y2=\"" + n(y) + "\" stroke=\"#555\"/>";
        svg += "<text x=\"" + n(right + 8) + "\" y=\"" + n(y + 4) + "\" fill=\"#555\">" +
               logMarText(lm) + "</text>\n";
    }
    svg += "<text transform=\"translate(16 " + n((top + bottom) / 2) +
           ") rotate(-90)\" text-anchor=\"middle\">Острота зрения</text>\n";
    svg += "<text transform=\"translate(" + n(chartWidth - 12) + " " + n((top + bottom) / 2) +
           ") rotate(90)\" text-anchor=\"middle\" fill=\"#555\">logMAR</text>\n";

    // Dates across.
    const long first = static_cast<long>(std::floor(day0));
    const long step = labelStep(day1 - day0);
    for (long d = first; static_cast<double>(d) <= day1; d += step) {
        if (static_cast<double>(d) < day0) continue;
        const double x = s.x(static_cast<double>(d));
        svg += "<line x1=\"" + n(x) + "\" y1=\"" + n(bottom) + "\" x2=\"" + n(x) + "\" y2=\"" +
               n(bottom + 5) + "\" stroke=\"#555\"/>";
        svg += "<text class=\"date\" x=\"" + n(x) + "\" y=\"" + n(bottom + 19) +
               "\" text-anchor=\"middle\">" + dateText(d) + "</text>\n";
    }

    // One series per eye and kind, joined in time.
    std::map<SeriesKey, std::vector<const ReportEntry*>> series;
    for (const ReportEntry* e : entries) series[{e->eye, e->isCheck}].push_back(e);
    bool anyLimited = false;
    for (auto& [key, points] : series) {
        std::stable_sort(
            points.begin(), points.end(),
            [](const ReportEntry* a, const ReportEntry* b) { return a->day < b->day; });
        const char* colour = eyeColour(key.eye);
        if (points.size() > 1) {
            svg += "<polyline fill=\"none\" stroke=\"" + std::string(colour) +
                   "\" stroke-width=\"1.5\"" +
                   (key.isCheck ? "" : " stroke-dasharray=\"5 3\" stroke-opacity=\"0.7\"") +
                   " points=\"";
            for (const ReportEntry* e : points)
                svg += n(s.x(e->day)) + "," + n(s.y(logMarOf(e->acuity))) + " ";
            svg += "\"/>\n";
        }
        for (const ReportEntry* e : points) {
            anyLimited = anyLimited || e->limited;
            svg += marker(s.x(e->day), s.y(logMarOf(e->acuity)), key.isCheck, colour, e->limited);
            svg += "\n";
        }
    }

    // The legend under the dates, in rows of what fits.
    double x = left;
    double y = bottom + 50;
    for (const auto& [key, points] : series) {
        const char* colour = eyeColour(key.eye);
        const std::string label =
            std::string(key.isCheck ? "проверка" : "тренировка") + ", " + eyeTitle(key.eye);
        const double width = 14 + 7.0 * static_cast<double>(cp1251(label).size() + 4);
        if (x > left && x + width > chartWidth) {
            x = left;
            y += 20;
        }
        svg += marker(x + 5, y - 4, key.isCheck, colour, false);
        svg += "<text x=\"" + n(x + 14) + "\" y=\"" + n(y) + "\">" + label + "</text>\n";
        x += width;
    }
    if (anyLimited) {
        y += 20;
        svg += marker(left + 5, y - 4, true, "#555555", true);
        svg += "<text x=\"" + n(left + 14) + "\" y=\"" + n(y) +
               "\">пустой знак: результат выше точности экрана</text>\n";
    }
    svg += "</svg>\n";
    return svg;
}

// --- The week table ---------------------------------------------------------------------------

std::string weekTable(const std::vector<ReportEntry>& entries, const std::set<Eye>& eyes) {
    // Weeks from Monday: 1970-01-01 was a Thursday.
    std::map<long, std::vector<const ReportEntry*>> weeks;
    for (const ReportEntry& e : entries) {
        const long day = static_cast<long>(std::floor(e.day));
        const long monday = day - ((day + 3) % 7 + 7) % 7;
        weeks[monday].push_back(&e);
    }
    std::string html =
        "<table class=\"weeks\">\n<thead><tr><th rowspan=\"2\">Неделя</th>"
        "<th rowspan=\"2\">Упражнений</th>";
    for (Eye eye : eyes) html += "<th colspan=\"3\">" + std::string(eyeTitle(eye)) + "</th>";
    html += "</tr>\n<tr>";
    for (size_t i = 0; i < eyes.size(); ++i)
        html += "<th>число</th><th>лучшая</th><th>медиана (logMAR)</th>";
    html += "</tr></thead>\n<tbody>\n";
    for (const auto& [monday, list] : weeks) {
        html += "<tr><td>" + dateText(monday) + " – " + dateText(monday + 6) + "</td><td>" +
                std::to_string(list.size()) + "</td>";
        for (Eye eye : eyes) {
            std::vector<double> logMars;
            for (const ReportEntry* e : list)
                if (e->eye == eye && e->acuity > 0) logMars.push_back(logMarOf(e->acuity));
            if (logMars.empty()) {
                html += "<td>0</td><td>—</td><td>—</td>";
                continue;
            }
            const double best = *std::min_element(logMars.begin(), logMars.end());
            const double mid = median(logMars);
            html += "<td>" + std::to_string(logMars.size()) + "</td><td>" +
                    acuityText(std::pow(10.0, -best)) + "</td><td>" +
                    acuityText(std::pow(10.0, -mid)) + " (" + logMarText(mid) + ")</td>";
        }
        html += "</tr>\n";
    }
    html += "</tbody></table>\n";
    return html;
}

constexpr const char* style = R"(<style>
body { font-family: Liberation Sans, Arial, Helvetica, sans-serif; margin: 24px; color: #111; }
h1 { font-size: 22px; } h2 { font-size: 17px; margin-top: 28px; }
svg.chart { max-width: 100%; height: auto; display: block; }
table { border-collapse: collapse; margin-top: 8px; }
th, td { border: 1px solid #999; padding: 3px 8px; text-align: right; }
th { background: #eee; text-align: center; } td:first-child { text-align: left; }
.problem { color: #a00000; } pre { white-space: pre-wrap; }
section { break-inside: avoid; page-break-inside: avoid; }
@media print { body { margin: 0; } h2 { break-after: avoid; } }
</style>
)";

}  // namespace

long daysFromCivil(int year, int month, int day) {
    // Months beyond the year's twelve move the year on.
    long y = year;
    long m = month - 1;
    y += m >= 0 ? m / 12 : (m - 11) / 12;
    m = ((m % 12) + 12) % 12 + 1;
    y -= m <= 2 ? 1 : 0;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + day - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

ReportData collectReport(JournalReader& reader) {
    ReportData data;
    auto take = [&](const JournalLine& line, bool check, bool training) {
        const double day = static_cast<double>(daysFromCivil(line.year, line.month, line.day)) +
                           (line.hour * 3600.0 + line.minute * 60.0 + line.second) / 86400.0;
        ReportEntry e;
        e.day = day;
        e.year = line.year;
        e.month = line.month;
        e.dayOfMonth = line.day;
        e.eye = line.eye;
        if (check) {
            e.isCheck = true;
            e.acuity = line.checkAcuity;
            e.distanceCm = line.checkDistance;
            e.limited = line.checkTrueTo.has_value();
            data.entries.push_back(e);
        }
        if (training) {
            e.isCheck = false;
            e.limited = false;
            e.acuity = line.trainingAcuity;
            e.distanceCm = line.trainingDistance;
            data.entries.push_back(e);
        }
    };
    for (JournalLine line; reader.next(line);) {
        if (line.status != LineStatus::ok) {
            if (line.status == LineStatus::badValues && line.isCheck && line.checkRead)
                take(line, true, false);
            data.endText = line.status == LineStatus::notWindows1251
                               ? std::string(reader.text())
                               : utf8FromCp1251(reader.text());
            break;
        }
        take(line, line.isCheck, line.isTraining);
    }
    data.endStatus = reader.endStatus();
    data.endLine = reader.endLine();
    return data;
}

std::string htmlReport(const ReportData& data, const std::string& journalName) {
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Тренажер для глаз — итоги</title>\n";
    html += style;
    html += "</head>\n<body>\n<h1>Итоги тренировок и проверок зрения</h1>\n";
    html += "<p>Журнал: " + escaped(journalName) + "</p>\n";

    std::vector<const ReportEntry*> shown;
    long notShown = 0;
    for (const ReportEntry& e : data.entries) {
        if (e.acuity > 0 && std::isfinite(e.acuity))
            shown.push_back(&e);
        else
            ++notShown;
    }
    if (data.entries.empty()) {
        html += "<p>В журнале нет результатов.</p>\n";
    } else {
        double day0 = data.entries.front().day, day1 = day0;
        long checks = 0;
        for (const ReportEntry& e : data.entries) {
            day0 = std::min(day0, e.day);
            day1 = std::max(day1, e.day);
            checks += e.isCheck ? 1 : 0;
        }
        const long firstDay = static_cast<long>(std::floor(day0));
        const long lastDay = static_cast<long>(std::floor(day1));
        html += "<p>С " + dateText(firstDay) + " по " + dateText(lastDay) + ": тренировок " +
                std::to_string(static_cast<long>(data.entries.size()) - checks) +
                ", проверок зрения " + std::to_string(checks) + ".</p>\n";
        if (notShown > 0)
            html += "<p>Результатов с остротой 0 (на графике не показаны): " +
                    std::to_string(notShown) + ".</p>\n";
        // The dates across every panel: whole days, at least a week.
        const double from = static_cast<double>(firstDay);
        const double to = std::max(static_cast<double>(lastDay + 1), from + 7.0);

        std::map<float, std::vector<const ReportEntry*>> byDistance;
        for (const ReportEntry* e : shown) byDistance[e->distanceCm].push_back(e);
        for (const auto& [distance, list] : byDistance) {
            const std::string title =
                "Расстояние " + decimalComma(format("%.0f", static_cast<double>(distance))) + " см";
            html += "<section>\n<h2>" + title + "</h2>\n";
            html += chartSvg(list, from, to, title);
            html += "</section>\n";
        }

        std::set<Eye> eyes;
        for (const ReportEntry& e : data.entries) eyes.insert(e.eye);
        html += "<section>\n<h2>По неделям</h2>\n";
        html +=
            "<p>Лучшая острота и медиана за неделю по каждому глазу (тренировки и проверки, все "
            "расстояния); медиана взята по logMAR.</p>\n";
        html += weekTable(data.entries, eyes);
        html += "</section>\n";
    }

    html += "<section>\n<h2>Непрочитанные строки журнала</h2>\n";
    if (data.endStatus == LineStatus::ok) {
        html += "<p>Нет: журнал прочитан до конца.</p>\n";
    } else {
        html += "<p class=\"problem\">Строка " + std::to_string(data.endLine) + ": " +
                stopReason(data.endStatus).report +
                ". Чтение журнала остановлено на ней, как в программе: она и все строки после "
                "неё в отчёт не вошли.</p>\n";
        if (!data.endText.empty()) html += "<pre>" + escaped(data.endText) + "</pre>\n";
    }
    html += "</section>\n</body>\n</html>\n";
    return html;
}

}  // namespace trelvan::report
