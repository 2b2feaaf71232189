// Writes the program's icon as PNG files of the sizes desktops look for,
// into OUTDIR/hicolor/NxN/apps/sonoduct.png: make-icons OUTDIR. Run at
// build time on Qt's offscreen platform; the picture is the one the window
// shows (ProgramPixmap).
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>

#include "converter/gui/ProgramIcon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-icons OUTDIR\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    QString dir = QString("%1/hicolor/%2x%2/apps").arg(argv[1]).arg(size);
    if (!QDir().mkpath(dir) || !ProgramPixmap(size).save(dir + "/sonoduct.png", "PNG")) {
      std::fprintf(stderr, "make-icons: %s/sonoduct.png not written\n", dir.toUtf8().constData());
      return 1;
    }
  }
  return 0;
}
