#pragma once

#include <QFont>

namespace vel {

// The program's Japanese interface font. 11 pixels: the layouts were drawn for
// a proportional Japanese font whose kana run about 11 pixels wide at its
// 12-pixel size; a full-width CJK font at 12 pixels would cut captions off.
QFont uiFont();

}  // namespace vel
