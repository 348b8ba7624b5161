// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <memory>

#include "stream/ReaderLink.h"

class ByteSource;

// A receiver behind a network source (tcp://, gpsd://), already open. Owns the source when
// given one to own.
class SourceLink : public ReaderLink {
public:
    explicit SourceLink(ByteSource& source) : m_source(source) {}
    explicit SourceLink(std::unique_ptr<ByteSource> source);
    ~SourceLink() override;

    Read read(ByteBuffer& bytes, double waitSeconds) override;
    bool write(const std::vector<std::uint8_t>& bytes) override;
    std::string refusal() const override;
    bool waitForInput(double seconds) override;
    std::uint64_t bytesRead() const override { return m_read; }
    void cancel() override;
    void close() override;

private:
    std::unique_ptr<ByteSource> m_owned;
    ByteSource& m_source;
    // What waitForInput() found (Quiet: nothing): the next read() hands it out first.
    ByteBuffer m_ahead;
    Read m_aheadStatus = Read::Quiet;
    std::uint64_t m_read = 0;
};
