// SPDX-License-Identifier: BSD-2-Clause
#pragma once

// The locale-free formatting moved down to core/ so that the drawn views can use it too.
#include "core/FormatText.h"
