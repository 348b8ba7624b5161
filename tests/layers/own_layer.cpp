// SPDX-License-Identifier: BSD-2-Clause
// Compiled with the sentence codec's include folders only: its own headers and the base
// layer's are found.
#include "base/ByteBuffer.h"
#include "nmea/Sentences.h"
