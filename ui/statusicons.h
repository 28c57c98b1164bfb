#pragma once

#include <QPixmap>

// The small pictures of the pages and of the main window's buttons, drawn rather than loaded.
enum class TStatusIcon {
    Success,    // a green check mark
    Failure,    // a red cross
    Running,    // a blue arrow pointing down
    ArrowRight, // a blue arrow pointing right
    Menu,       // three grey bars
    Exit,       // a grey door with an arrow leaving it
};

QPixmap StatusIcon(TStatusIcon Icon, int Size);
