// The monster builder screen: drag parts from the palette onto the monster, move
// or throw them away, clear, print, step through the monsters.
// Application thread only; its state is process-wide and outlives the screen.
#pragma once

class KGraphic;

extern long inHand;  // catalogue index of the dragged part; <= 0: nothing held
extern long decalX, decalY;  // the held part's top-left is the pointer plus this
extern long cleary;  // clear and print buttons' y, 420..499
extern long trashy;  // trash can's y, 403..480
extern KGraphic *surf_back;

void doMisterMonster();
void doButtons(KGraphic *surf_btns);
void displayMonster(bool forprinting);
void drawPieces();
void dropPiece(long pieceID);
// The slot of the placed part under (mx, my) on the monster on show (the earliest
// placed where parts overlap); 0 when there is none.
int placedPartAt(long mx, long my);
void previousMonster();
void nextMonster();
