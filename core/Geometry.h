// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <memory>

#include "platform/Geometry.h"

// A point kept as an object, for places that hold objects. The value is fixed at construction.
class PointModel {
public:
    explicit PointModel(const platform::Point& point) : thePoint(point) {}
    // A new shared model; whoever keeps a copy of the pointer keeps it alive.
    static std::shared_ptr<PointModel> pointModelWithPoint(const platform::Point& point);
    platform::Point point() const { return thePoint; }

private:
    platform::Point thePoint;
};

// A rectangle kept as an object. The value is fixed at construction.
class RectModel {
public:
    explicit RectModel(const platform::Rect& rect) : theRect(rect) {}
    static std::shared_ptr<RectModel> rectModelWithRect(const platform::Rect& rect);
    platform::Rect rect() const { return theRect; }

private:
    platform::Rect theRect;
};
