#include "app/screen_style.h"

namespace orvela {

QString MainScreenStyleSheet() {
  // Fonts are not set here: the screen scales them with the window, and a
  // style-sheet font would override that.
  return QStringLiteral(R"(
QWidget#Form1 { background: #000000; }
QLabel { color: #E8ECF4; background: transparent; }
QLabel#Label1 { color: #FFFFFF; }
QLabel#LabelVersion { color: #8FA3C8; }
QLabel#StaticText_titel_vorhanden { color: #FFC857; }
QLabel#StaticTextSuchennach, QLabel#StaticTextSucheGefunden { color: #B8C4D8; }
QLabel#StaticText_suchen {
  color: #FFFFFF; background: rgba(6, 10, 26, 220);
  border: 2px solid #3D6BFF; border-radius: 8px; padding: 0px 10px;
}
QLabel#LabelDauer, QLabel#LabelAbspielJukeWert, QLabel#LabelTitelJukeWert,
QLabel#LabeJukeWann, QLabel#Labelmaxwert { color: #FFC857; }
QLabel#DigitalClock {
  color: #7CFFB2; background: rgba(0, 0, 0, 200);
  border: 1px solid rgba(124, 255, 178, 90); border-radius: 8px;
}
QFrame#Panel1, QFrame#Panel2, QFrame#Panel3, QFrame#Panel4 {
  background: rgba(8, 10, 20, 200);
  border: 1px solid rgba(255, 255, 255, 45); border-radius: 10px;
}
QFrame#Panel3 { background: #000000; }
QWidget#SpectrumPaintbox { background: #000000; }

QPushButton {
  color: #F4F6FA;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #343B4C, stop:1 #161A24);
  border: 1px solid #4A5470; border-radius: 8px; padding: 2px;
}
QPushButton:pressed {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #2F6BFF, stop:1 #123B9E);
  border-color: #8DB0FF;
}
QPushButton:disabled { color: #5C6475; background: #15181F; border-color: #262B38; }
QFrame#Panel2 QPushButton { padding: 0px; }
QPushButton[searchMode="true"] {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #24406E, stop:1 #0F1C36);
  border-color: #3D6BFF;
}
QPushButton[searchMode="true"]:pressed {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3D6BFF, stop:1 #1A3A8A);
  border-color: #FFFFFF;
}
QPushButton#SpeedButton7 {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #6E2430, stop:1 #3A0F16);
  border-color: #C0475A;
}
QPushButton#SpeedButton7:pressed {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #D0485E, stop:1 #8A1C2C);
  border-color: #FFFFFF;
}
QPushButton#Abspielliste_uebernehmen_SpeedBtn {
  color: #1A1000;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FFD36B, stop:1 #F08A00);
  border: 2px solid #FFE3A0; border-radius: 12px;
}
QPushButton#Abspielliste_uebernehmen_SpeedBtn:pressed {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #F08A00, stop:1 #B86400);
  border-color: #FFFFFF;
}
QPushButton#BtnPlayPause {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #2FBF62, stop:1 #0E6B2E);
  border: 2px solid #7CFFB2;
}
QPushButton#BtnStop {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #B83245, stop:1 #5E0E1A);
  border-color: #FF7A8C;
}
QPushButton#BtnNext {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #2F6BFF, stop:1 #123B9E);
  border-color: #8DB0FF;
}
/* A held button is darker, lit from below and framed white, so a finger on
   it shows even when the button is coloured already. */
QPushButton#BtnPlayPause:pressed {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #0A4A20, stop:1 #25A052);
  border-color: #FFFFFF;
}
QPushButton#BtnStop:pressed {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3E0810, stop:1 #9A2636);
  border-color: #FFFFFF;
}
QPushButton#BtnNext:pressed {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #0A2466, stop:1 #2558D8);
  border-color: #FFFFFF;
}
QPushButton#BtnStop:disabled, QPushButton#BtnNext:disabled, QPushButton#BtnPlayPause:disabled {
  color: #5C6475; background: #15181F; border-color: #262B38;
}
QPushButton[jingle="true"] {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #7A3FC4, stop:1 #3A1566);
  border-color: #B58CFF;
}
QPushButton[jingle="true"]:pressed {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #2A0C4A, stop:1 #9A5CF0);
  border-color: #FFFFFF;
}
QPushButton[jingle="true"]:disabled { color: #5C6475; background: #15181F; border-color: #262B38; }

QTreeWidget#PlaylistView {
  color: #FFFFFF; background: #000000; alternate-background-color: #0B0E18;
  border: 1px solid rgba(255, 255, 255, 45); border-radius: 8px;
  selection-background-color: #000080; selection-color: #FFFFFF;
}
QHeaderView::section {
  color: #B8C4D8; background: #10141F; border: none;
  border-bottom: 1px solid #3D6BFF; padding: 3px 6px;
}

QScrollBar#MainScrollbar:horizontal {
  background: #0B0E18; border: 1px solid #3A4258; border-radius: 6px; height: 22px;
}
QScrollBar#MainScrollbar::handle:horizontal {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FFD36B, stop:1 #F08A00);
  border-radius: 5px; min-width: 28px;
}
QScrollBar#MainScrollbar::add-line, QScrollBar#MainScrollbar::sub-line { width: 0px; }
QScrollBar#MainScrollbar::add-page, QScrollBar#MainScrollbar::sub-page { background: transparent; }

QSlider#SliderEdit1::groove:vertical {
  background: #0B0E18; border: 1px solid #3A4258; border-radius: 8px; width: 14px;
}
QSlider#SliderEdit1::add-page:vertical {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #2FBF62, stop:1 #0E6B2E);
  border-radius: 7px;
}
QSlider#SliderEdit1::handle:vertical {
  background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #FFFFFF, stop:1 #AAB4C8);
  border: 1px solid #FFFFFF; border-radius: 8px; height: 30px; margin: 0px -12px;
}
)");
}

}  // namespace orvela
