#pragma once

class QWidget;

enum TAnchor : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
// Follows the parent's width; fills the parent.
inline constexpr unsigned akStretch = akLeft | akTop | akRight;
inline constexpr unsigned akFill = akStretch | akBottom;

// Keeps the distances of W's anchored edges to its parent's edges as the
// parent resizes: left+right stretches, right alone moves, likewise top and
// bottom. The distances are taken now, so place W (and size the parent) first.
// Calling it again replaces the earlier anchors and retakes the distances.
void SetAnchors(QWidget* W, unsigned Anchors);
