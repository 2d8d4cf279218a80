// Zelvaro: shows the board picture of the starting position.
#include <QApplication>
#include <QWidget>

#include "game/untKyokumen.h"
#include "toolkit/qt/ImageControl.h"
#include "viewer/BoardRenderer.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Zelvaro");
  QApplication::setApplicationDisplayName("Zelvaro");

  QWidget window;
  window.setWindowTitle("Zelvaro");
  window.setFixedSize(329, 417);
  auto* image = new zelvaro::TImage(&window);
  image->setObjectName("Image1");
  image->setGeometry(0, 0, 329, 417);

  zelvaro::TBoardRenderer renderer(&image->Picture());
  renderer.SetChangedHook([image] { image->Changed(); });
  zelvaro::TKyokumen position0;
  std::u16string sente_name, gote_name;
  renderer.InitBoard(position0, sente_name, gote_name);

  window.show();
  return app.exec();
}
