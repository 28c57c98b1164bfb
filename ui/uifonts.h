#pragma once

#include <QFont>
#include <QString>

// A font of the wizard's forms, sized in pixels as the forms are laid out.
inline QFont PixelFont(const QString &Family, int PixelSize, bool Bold = false) {
    QFont Font(Family);
    Font.setPixelSize(PixelSize);
    Font.setBold(Bold);
    return Font;
}
