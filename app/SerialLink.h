// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <memory>

#include "app/ReaderLink.h"

// A receiver on a serial port. Owns the port when given one to own.
class SerialLink : public ReaderLink {
public:
    explicit SerialLink(Serial& serial) : m_serial(serial) {}
    explicit SerialLink(std::unique_ptr<Serial> serial);
    ~SerialLink() override;

    Read read(ByteBuffer& bytes, double waitSeconds) override;
    bool write(const std::vector<std::uint8_t>& bytes) override;
    bool waitForInput(double seconds) override;
    std::uint64_t bytesRead() const override;
    void cancel() override;
    void close() override;
    Serial* serial() override { return &m_serial; }

private:
    std::unique_ptr<Serial> m_owned;
    Serial& m_serial;
};
