// "Start Converting": the batch conversion run.
#include "app/form1.h"

void Form1::PushButton2_Click() {}
