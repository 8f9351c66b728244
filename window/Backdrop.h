#pragma once
// Lets the lists and edits of a group box repaint without the group beneath
// them: what the group draws under each of them is taken once, after the
// window is first shown, and painted by the control itself before its own
// look, so that it counts as opaque. A clock tick or a caret blink then
// repaints one control instead of the group's frame, caption and every
// control it holds. What the window shows stays the same to the pixel.

class QGroupBox;

namespace korvel::window {

// For the lists and one-line edits placed directly in `group`; call once the
// group has its final place, style and palette. Each control gets a child
// object named "backdrop" that paints it.
void PaintGroupBackdrops(QGroupBox& group);

} // namespace korvel::window
