// SPDX-License-Identifier: BSD-2-Clause
#include "fakes/FakeCanvas.h"

namespace fakes {

std::vector<FakeCanvas::Call> FakeCanvas::callsOf(const std::string& op) const
{
    std::vector<Call> found;
    for (const auto& call : calls)
        if (call.op == op) found.push_back(call);
    return found;
}

std::vector<FakeCanvas::Call> FakeCanvas::texts(const std::string& text) const
{
    std::vector<Call> found;
    for (const auto& call : calls)
        if (call.op == "drawText" && call.text == text) found.push_back(call);
    return found;
}

void FakeCanvas::fillPolygon(const std::vector<platform::Point>& points)
{
    Call call;
    call.op = "fillPolygon";
    call.points = points;
    call.color = m_color;
    call.lineWidth = m_lineWidth;
    calls.push_back(std::move(call));
}

void FakeCanvas::drawText(const std::string& text, const platform::Point& at,
                          const platform::Font& font, platform::Color color)
{
    Call call;
    call.op = "drawText";
    call.args = {at.x, at.y};
    call.text = text;
    call.font = font;
    call.color = color;
    call.lineWidth = m_lineWidth;
    calls.push_back(std::move(call));
}

void FakeCanvas::record(const std::string& op, std::vector<float> args)
{
    Call call;
    call.op = op;
    call.args = std::move(args);
    call.color = m_color;
    call.lineWidth = m_lineWidth;
    calls.push_back(std::move(call));
}

}  // namespace fakes
