// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QLabel>
#include <QPixmap>

#include "platform/ImageView.h"

namespace qtplatform {

// Shows a picture from the program's resources, scaled to fit with its proportions kept.
class QtImageView : public QLabel, public platform::ImageView {
    Q_OBJECT
public:
    explicit QtImageView(QWidget* parent = nullptr);

    bool setImageNamed(const std::string& name) override;
    // Loads a picture file; the format is read from the content, not the name (the splash
    // picture keeps its historical name whatever its format).
    bool setImageFile(const QString& path);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showScaled();

    QPixmap m_picture;
};

}  // namespace qtplatform
