/* An example skin for the Mailvane window: a Qt style sheet.
 *
 * The window reads x/o.cjs beside the program at start-up. To use this skin,
 * copy it there (as root for an installed copy):
 *     mkdir -p /usr/lib/mailvane/x && cp /usr/lib/mailvane/skins/example-o.cjs /usr/lib/mailvane/x/o.cjs
 * Remove x/o.cjs to get the plain window back. Controls keep their form names,
 * so a rule can pick one out, e.g. QPushButton#PushButton2.
 */
QWidget#Form1 {
  background-color: #eef3f9;
}
QPushButton {
  background-color: #1f5fa8;
  color: #ffffff;
  border: 1px solid #0d2f57;
  border-radius: 3px;
  padding: 2px 8px;
}
QPushButton:hover {
  background-color: #2b73c4;
}
QPushButton:disabled {
  background-color: #9fb3c9;
}
QPushButton#PushButton2 {
  background-color: #f5a623;
  color: #2b1a00;
  border-color: #7a4a00;
}
QGroupBox {
  border: 1px solid #9fb3c9;
  border-radius: 4px;
  margin-top: 8px;
}
QTreeWidget, QLineEdit {
  background-color: #ffffff;
  selection-background-color: #1f5fa8;
}
