// The program's icon, drawn rather than loaded: a disc whose sound flows
// into a file, on a blue tile. Windows and the how-to dialog show it.
#pragma once

#include <QIcon>
#include <QPainterPath>
#include <QPixmap>

QPixmap ProgramPixmap(int size);
// The outline of a sheet of paper with its top right corner folded by fold.
QPainterPath PageShape(const QRectF& page, double fold);
QIcon ProgramIcon();
