// SPDX-License-Identifier: BSD-2-Clause
// Compiled with the sentence codec's include folders only: the receiver model is a layer
// above, so this include must not be found.
#include "nmea/Sentences.h"
#include "receiver/ReceiverState.h"
