// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <vector>

// The newest `capacity` values, oldest first. Storage is taken once, at construction, so a
// buffer that runs for days holds exactly as much memory as it did when it was first full.
template <typename T>
class RingBuffer {
public:
    explicit RingBuffer(std::size_t capacity) : m_values(capacity > 0 ? capacity : 1) {}

    std::size_t capacity() const { return m_values.size(); }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    // Adds a value; when full, the oldest one goes.
    void push(const T& value)
    {
        m_values[(m_first + m_size) % m_values.size()] = value;
        if (m_size < m_values.size()) {
            ++m_size;
        } else {
            m_first = (m_first + 1) % m_values.size();
        }
    }
    void popOldest()
    {
        if (m_size == 0) return;
        m_first = (m_first + 1) % m_values.size();
        --m_size;
    }
    void clear()
    {
        m_first = 0;
        m_size = 0;
    }

    // Index 0 is the oldest value; index must be below size().
    T& operator[](std::size_t index) { return m_values[(m_first + index) % m_values.size()]; }
    const T& operator[](std::size_t index) const
    {
        return m_values[(m_first + index) % m_values.size()];
    }
    const T& oldest() const { return (*this)[0]; }
    const T& newest() const { return (*this)[m_size - 1]; }

private:
    std::vector<T> m_values;
    std::size_t m_first = 0;
    std::size_t m_size = 0;
};
