// SPDX-License-Identifier: BSD-2-Clause
#pragma once

class QLabel;

namespace qtplatform {

// Makes a label's text selectable with the mouse while the pointer is over it (and while a
// selection is held), and plain otherwise. A selectable label lays its text out in a text
// document at every paint after a change and asks for a second frame from inside the first:
// for values that change several times a second that doubled the window's frames.
void selectableOnHover(QLabel* label);

}  // namespace qtplatform
