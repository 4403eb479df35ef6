// Start-up shared by the program and the benchmark.
#pragma once

class QApplication;
class frmMain;

// Application-wide set-up before the first window: names, fonts, style.
void prepareApplication(QApplication &app);
// Creates and shows the practice window.
frmMain *startProgram();
