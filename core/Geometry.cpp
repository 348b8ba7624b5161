// SPDX-License-Identifier: BSD-2-Clause
#include "core/Geometry.h"

std::shared_ptr<PointModel> PointModel::pointModelWithPoint(const platform::Point& point)
{
    return std::make_shared<PointModel>(point);
}

std::shared_ptr<RectModel> RectModel::rectModelWithRect(const platform::Rect& rect)
{
    return std::make_shared<RectModel>(rect);
}
