// SPDX-License-Identifier: GPL-3.0-or-later
// Sequential text files of the working directory and the Windows-1251 code page: one include
// for all of it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "platform/cp1251.h"
#include "platform/file_append.h"
#include "platform/file_errors.h"
#include "platform/file_locks.h"
#include "platform/file_write.h"
#include "platform/line_input.h"
#include "platform/unique_fd.h"
