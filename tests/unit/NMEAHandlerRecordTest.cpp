// SPDX-License-Identifier: BSD-2-Clause
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "core/NMEA.h"

TEST(NMEAHandlerRecord, RunsTheStoredOperationOnTheCallersBuffer)
{
    std::string seen;
    const std::shared_ptr<NMEA> record = NMEA::nmeaWithSelector([&seen](ByteBuffer& sentence) {
        seen = NMEA::command(sentence).value_or("?");
        sentence.push_back('!');
    });
    ASSERT_TRUE(record);
    EXPECT_EQ(record.use_count(), 1) << "the caller is the only owner";

    ByteBuffer buffer = {'$', 'G', 'P', 'G', 'S', 'V', 0};
    ASSERT_TRUE(record->selector());
    record->selector()(buffer);
    EXPECT_EQ(seen, "GSV");
    EXPECT_EQ(buffer.back(), '!') << "the handler gets the buffer itself, not a copy";
}
