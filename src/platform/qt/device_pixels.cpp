// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/device_pixels.h"

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#include <memory>

#include "platform/qt/wayland_outputs.h"

namespace trelvan {

namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeReply>;

// The millimetres RandR reports for the monitor holding the point: the monitor's own, else
// those of its first output that has some. 0 without RandR 1.5 or a size.
QSizeF randrMillimetres(xcb_connection_t* connection, QPoint point) {
    Reply<xcb_randr_query_version_reply_t> version(xcb_randr_query_version_reply(
        connection, xcb_randr_query_version(connection, 1, 5), nullptr));
    if (!version || (version->major_version == 1 && version->minor_version < 5))
        return QSizeF(0, 0);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    Reply<xcb_randr_get_monitors_reply_t> monitors(xcb_randr_get_monitors_reply(
        connection, xcb_randr_get_monitors(connection, root, 1), nullptr));
    if (!monitors) return QSizeF(0, 0);
    for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem;
         xcb_randr_monitor_info_next(&it)) {
        const xcb_randr_monitor_info_t* m = it.data;
        if (!QRect(m->x, m->y, m->width, m->height).contains(point)) continue;
        if (m->width_in_millimeters > 0 && m->height_in_millimeters > 0)
            return QSizeF(m->width_in_millimeters, m->height_in_millimeters);
        const xcb_randr_output_t* outputs = xcb_randr_monitor_info_outputs(m);
        for (int i = 0; i < xcb_randr_monitor_info_outputs_length(m); ++i) {
            Reply<xcb_randr_get_output_info_reply_t> info(xcb_randr_get_output_info_reply(
                connection, xcb_randr_get_output_info(connection, outputs[i], XCB_CURRENT_TIME),
                nullptr));
            if (info && info->mm_width > 0 && info->mm_height > 0)
                return QSizeF(info->mm_width, info->mm_height);
        }
        return QSizeF(0, 0);
    }
    return QSizeF(0, 0);
}

}  // namespace

ScreenFacts screenFacts(const QScreen& screen) {
    ScreenFacts facts;
    facts.ratio = screen.devicePixelRatio();
    facts.shown = facts.ratio;
    facts.exact = std::abs(facts.ratio - std::round(facts.ratio)) < 1e-9;
    const QRect logical = screen.geometry();
    facts.pixels = QSize(static_cast<int>(std::lround(logical.width() * facts.ratio)),
                         static_cast<int>(std::lround(logical.height() * facts.ratio)));
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("wayland")) {
        // Without the output's own description the resolution is not known.
        facts.pixels = QSize(0, 0);
        const auto outputs = waylandOutputs();
        const WaylandOutput* output =
            findOutput(outputs, screen.name().toStdString(), logical.x(), logical.y());
        if (output != nullptr) {
            if (output->width > 0 && output->height > 0)
                facts.pixels = QSize(output->width, output->height);
            if (output->widthMm > 0 && output->heightMm > 0)
                facts.millimetres = QSizeF(output->widthMm, output->heightMm);
            const OutputScaling scaling =
                outputScaling(*output, logical.width(), logical.height(), facts.ratio);
            facts.shown = scaling.shown;
            facts.exact = scaling.exact;
        }
    } else if (platform == QLatin1String("xcb")) {
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        if (x11 != nullptr && x11->connection() != nullptr)
            facts.millimetres = randrMillimetres(x11->connection(), logical.center());
    }
    return facts;
}

QString rescalingMessage(const ScreenFacts& facts) {
    if (facts.exact) return {};
    // No-break spaces keep the per cent sign with its number and a resolution on one line.
    const QString percent = QString::fromUtf8("\u00A0%");
    const QString advice =
        QString::fromUtf8(
            "\n\nУстановите масштаб экрана 100%1 (или целый: 200%1, 300%1) и запустите "
            "программу снова.")
            .arg(percent);
    const long shownPercent = std::lround(facts.shown * 100);
    if (shownPercent % 100 == 0) {
        return QString::fromUtf8(
                   "Экран масштабирован на %1, но его разрешение %2\u00A0×\u00A0%3 не делится на "
                   "%4: "
                   "рабочий стол сглаживает изображение, точка изображения не совпадает с "
                   "пикселом экрана, и тестовые изображения будут искажены.")
                   .arg(QString::number(shownPercent) + percent)
                   .arg(facts.pixels.width())
                   .arg(facts.pixels.height())
                   .arg(shownPercent / 100) +
               advice;
    }
    return QString::fromUtf8(
               "Экран масштабирован с дробным коэффициентом %1: точка изображения не "
               "совпадает с пикселом экрана, и тестовые изображения будут искажены.")
               .arg(QString::number(shownPercent) + percent) +
           advice;
}

}  // namespace trelvan
