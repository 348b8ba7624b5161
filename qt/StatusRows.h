// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstddef>
#include <vector>

#include <QString>

class QGridLayout;
class QLabel;
class QWidget;

namespace qtplatform {

// The two-column table of a status pane: a label and a value a row, kept to the top of the
// pane, rows made as needed and hidden when fewer are shown. Texts go in as they are, never
// as markup (casters' and receivers' texts among them).
class StatusRows {
public:
    explicit StatusRows(QWidget* pane);

    // Shows row index with these texts; the value label, for the caller to style.
    QLabel* show(std::size_t index, const QString& label, const QString& value);
    // Hides the rows from count on.
    void hideFrom(std::size_t count);
    QLabel* value(std::size_t index) const { return index < m_lines.size() ? m_lines[index].value : nullptr; }

private:
    struct Line {
        QLabel* label = nullptr;
        QLabel* value = nullptr;
    };

    QWidget* m_pane;
    QGridLayout* m_grid;
    std::vector<Line> m_lines;
};

}  // namespace qtplatform
