// SPDX-License-Identifier: GPL-3.0-or-later
#include "exercise/screen_limit.h"

#include <cmath>
#include <cstdio>

#include "exercise/training.h"
#include "exercise/vision.h"
#include "platform/colours.h"
#include "platform/fields.h"
#include "platform/raster.h"

namespace trelvan {

namespace {

constexpr float kNominalGapUnits = 29.0f;  // 2 f: the gap is twice the half gap
constexpr uint32_t kWhite = rgb::kWhite;
constexpr uint32_t kBlack = rgb::kBlack;
// Rings whose corners come near the 16-bit limit are not drawn faithfully at all.
constexpr float kLargestRadius = 30000.0f;

// The shown levels of the table, lowest first.
constexpr int kFirstShown = 2;  // 0.1
constexpr int kLastShown = 14;  // 2.0
constexpr int kOneIndex = 11;   // 1.0

bool usable(float distanceCm, float diagonalInch, int32_t pixelsX, int32_t pixelsY) {
    return std::isfinite(distanceCm) && std::isfinite(diagonalInch) && distanceCm > 0 &&
           diagonalInch > 0 && pixelsX > 0 && pixelsY > 0;
}

bool trueToSize(const GapWidth& gap) {
    return gap.nominal > 0 && std::fabs(static_cast<float>(gap.drawn) - gap.nominal) <=
                                  kTrueToSizeTolerance * gap.nominal;
}

bool levelTrue(int index, float distanceCm, float diagonalInch, int32_t windowWidth,
               int32_t windowHeight, int32_t pixelsX, int32_t pixelsY) {
    return trueToSize(gapWidth(TOZ(index), distanceCm, diagonalInch, windowWidth, windowHeight,
                               pixelsX, pixelsY));
}

std::string trimmedField(const std::string& field) {
    const size_t first = field.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : field.substr(first);
}

}  // namespace

GapWidth gapWidth(float level, float distanceCm, float diagonalInch, int32_t windowWidth,
                  int32_t windowHeight, int32_t pixelsX, int32_t pixelsY) {
    const RingGeometry ring =
        ringGeometry(level, distanceCm, diagonalInch, windowWidth, windowHeight, pixelsX, pixelsY);
    GapWidth gap;
    gap.nominal = kNominalGapUnits * ring.scale;
    if (!(ring.outerRadius < kLargestRadius) || !(gap.nominal > 0)) return gap;

    // The ring as the check draws it, on a strip of three columns around the middle of the
    // stroke on the right, where the straight gap on the right cuts it. The raster's rules do
    // not change under whole-pixel shifts, so the strip holds exactly the window's pixels.
    const int xm = (ring.inner[2] + ring.outer[2]) / 2;
    const int top = ring.outer[1];
    const int dx = 1 - xm;
    const int dy = 1 - top;
    Raster strip(3, ring.outer[3] - top + 3, kWhite);
    strip.fillEllipse(ring.outer[0] + dx, ring.outer[1] + dy, ring.outer[2] + dx,
                      ring.outer[3] + dy, kBlack);
    strip.fillEllipse(ring.inner[0] + dx, ring.inner[1] + dy, ring.inner[2] + dx,
                      ring.inner[3] + dy, kWhite);
    const std::array<XYCoord, 4> cut = gapVertices(ring, 1, 0.0f);
    RasterPoint points[4];
    for (int i = 0; i < 4; ++i) points[i] = {cut[i].xcoord + dx, cut[i].ycoord + dy};
    strip.fillPolygon(points, 4, kWhite);

    // Count the white pixels across the gap in the middle column.
    const int yc = pixelCoordinate(ring.yc) + dy;
    if (!strip.inside(1, yc) || strip.pixel(1, yc) != kWhite) return gap;
    int y0 = yc, y1 = yc;
    while (strip.inside(1, y0 - 1) && strip.pixel(1, y0 - 1) == kWhite) --y0;
    while (strip.inside(1, y1 + 1) && strip.pixel(1, y1 + 1) == kWhite) ++y1;
    gap.drawn = y1 - y0 + 1;
    return gap;
}

float highestTrueLevel(float distanceCm, float diagonalInch, int32_t windowWidth,
                       int32_t windowHeight, int32_t pixelsX, int32_t pixelsY) {
    if (!usable(distanceCm, diagonalInch, pixelsX, pixelsY)) return 0.0f;
    float highest = 0.0f;
    for (int i = kFirstShown; i <= kLastShown; ++i) {
        if (!levelTrue(i, distanceCm, diagonalInch, windowWidth, windowHeight, pixelsX, pixelsY))
            break;
        highest = TOZ(i);
    }
    return highest;
}

int distanceForOneDm(float diagonalInch, int32_t windowWidth, int32_t windowHeight, int32_t pixelsX,
                     int32_t pixelsY) {
    if (!usable(1.0f, diagonalInch, pixelsX, pixelsY)) return 0;
    for (int dm = 1; dm <= kLongestDistanceDm; ++dm) {
        const float distanceCm = static_cast<float>(dm) * 10.0f;
        // The smallest gap first: 1.0 fails most often, and then the rest need no drawing.
        bool allTrue = true;
        for (int i = kOneIndex; i >= kFirstShown && allTrue; --i)
            allTrue =
                levelTrue(i, distanceCm, diagonalInch, windowWidth, windowHeight, pixelsX, pixelsY);
        if (allTrue) return dm;
    }
    return 0;
}

std::string levelText(float level) {
    const double hundredths = fields::roundHalfAway(static_cast<double>(level) * 100.0);
    char text[16];
    if (std::fmod(hundredths, 10.0) == 0.0)
        std::snprintf(text, sizeof text, "%.1f", hundredths / 100.0);
    else
        std::snprintf(text, sizeof text, "%.2f", hundredths / 100.0);
    return text;
}

std::string accuracyNote(float distanceCm, float diagonalInch, int32_t windowWidth,
                         int32_t windowHeight, int32_t pixelsX, int32_t pixelsY) {
    if (!usable(distanceCm, diagonalInch, pixelsX, pixelsY))
        return "Точность проверки зрения: нужны дальность, диагональ и разрешение больше нуля";
    const float highest =
        highestTrueLevel(distanceCm, diagonalInch, windowWidth, windowHeight, pixelsX, pixelsY);
    std::string note = highest > 0 ? "Проверка зрения точна до " + levelText(highest)
                                   : std::string("Проверка зрения неточна уже на 0.1");
    const int dm = distanceForOneDm(diagonalInch, windowWidth, windowHeight, pixelsX, pixelsY);
    char metres[32];
    if (dm > 0) {
        std::snprintf(metres, sizeof metres, "%d.%d", dm / 10, dm % 10);
        note += "; для 1.0 нужно расстояние от " + std::string(metres) + " м";
    } else {
        std::snprintf(metres, sizeof metres, "%d", kLongestDistanceDm / 10);
        note += "; для 1.0 не хватит и " + std::string(metres) + " м";
    }
    // What the smallest element confirms, as the training's summary shows it.
    const float ceiling =
        confirmedAcuity(kSmallestElement, distanceCm, diagonalInch, pixelsX, pixelsY);
    note += "\nТренировка подтвердит не больше " + trimmedField(fields::F(ceiling, 4, 2)) +
            " (элемент " + std::to_string(kSmallestElement) + " — самый мелкий)";
    return note;
}

}  // namespace trelvan
