#pragma once

namespace iap {

class MainWindow;

// "Open", and every operation as it starts: closes, then opens the chosen port at the chosen
// model's rate; polling runs exactly when it opened.
void openPort(MainWindow& w);
// "Close": flushes and closes the port and stops polling; the status box keeps its text.
void closePort(MainWindow& w);
// "Seek-Com": rebuilds the port list; an open port stays open.
void seekPorts(MainWindow& w);
// The HX300 option became selected: the port is reopened at its rate.
void hx300Chosen(MainWindow& w);

}  // namespace iap
