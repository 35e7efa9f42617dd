#include "gui/common/ui_font.h"

namespace vel {

QFont uiFont()
{
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

}  // namespace vel
