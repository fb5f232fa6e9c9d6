// SPDX-License-Identifier: GPL-3.0-or-later
// The ruler window: the diagonal's measure taken on the screen.
#pragma once

#include <QScreen>
#include <QWidget>
#include <optional>

#include "platform/graphics_window.h"

namespace trelvan {

// Runs the ruler window on screen, above parent, until the user confirms or cancels it: a bar
// of known device pixels measured with a ruler, or a bank card's outline matched to a card.
// Nothing when cancelled.
std::optional<RulerReading> measureOnScreen(QScreen& screen, QWidget* parent);

}  // namespace trelvan
