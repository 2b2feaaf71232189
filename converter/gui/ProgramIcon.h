// The program's icon, drawn rather than loaded: a disc whose sound flows
// into a file, on a blue tile. Windows and the how-to dialog show it.
#pragma once

#include <QIcon>
#include <QPixmap>

QPixmap ProgramPixmap(int size);
QIcon ProgramIcon();
