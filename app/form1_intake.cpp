// Filling the list: the file dialog, whole folders, the samples, drag and drop.
#include "app/form1.h"

void Form1::PushButton1_Click() {}

void Form1::PushButton4_Click() {}

void Form1::PushButton7_Click() {}

bool Form1::ListView1_OLEDragOver(const QMimeData* data) {
  (void)data;
  return false;
}

void Form1::ListView1_OLEDragDrop(const QMimeData* data) { (void)data; }
