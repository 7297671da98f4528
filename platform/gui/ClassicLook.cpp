#include "platform/gui/ClassicLook.h"

#include "platform/gui/Colors.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace keb
{

void UseClassicLook(QApplication& application)
{
    if (QStyle* style = QStyleFactory::create("Windows"))
        QApplication::setStyle(style);
    QPalette palette(ToQColor(clBtnText), ToQColor(clBtnFace), ToQColor(clBtnHighlight),
                     ToQColor(clBtnShadow), ToQColor(clBtnShadow), ToQColor(clWindowText),
                     ToQColor(clBtnHighlight), ToQColor(clWindow), ToQColor(clBtnFace));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, ToQColor(clGrayText));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, ToQColor(clGrayText));
    palette.setColor(QPalette::Disabled, QPalette::Text, ToQColor(clGrayText));
    palette.setColor(QPalette::Highlight, ToQColor(clHighlight));
    palette.setColor(QPalette::HighlightedText, ToQColor(clHighlightText));
    palette.setColor(QPalette::ToolTipBase, ToQColor(clInfoBk));
    palette.setColor(QPalette::ToolTipText, ToQColor(clInfoText));
    application.setPalette(palette);
}

} // namespace keb
