// The program's pictures, drawn in code so that they stay sharp and need no
// binary files: window icon, play/stop switch, loudspeaker, About picture. Links point with the system's hand
// cursor.
#pragma once
#include <QIcon>
#include <QImage>

namespace resources {
// Brown book with a red bookmark, square, any size (16 and 32 for the windows).
QImage bookImage(int size);
// The icon every window carries (16, 24, 32, 48 and 64 pixels).
QIcon programIcon();
// 67 × 66: dark play triangle on a light rounded square.
QImage playPicture();
// 66 × 65: dark stop square on the same background.
QImage stopPicture();
// 14 × 11: blue loudspeaker with sound waves on white.
QImage speakerPicture();
// 32 × 32: yellow note sheet.
QImage noteSheetPicture();
} // namespace resources
