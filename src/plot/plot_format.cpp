// SPDX-License-Identifier: GPL-3.0-or-later
// Label texts of AXES in the fixed-width field notation.
#include <string>

#include "platform/fields.h"
#include "plot/plot_internal.h"

namespace trelvan::plotdetail {

std::string valueLabel(float value, int32_t decimals) {
    return fields::F(value, 6, decimals);
}

std::string exponentLabel(int32_t e) {
    if (e > 0) return "*E" + fields::I(-int64_t{e}, 3);
    return "*E+" + fields::I(-int64_t{e}, 2);
}

}  // namespace trelvan::plotdetail
