// Start-up shared by the program and the benchmark.
#pragma once

class BankLock;
class QApplication;
class frmMain;

// What the window system is told before the application connects to it.
void prepareEnvironment();
// Application-wide set-up before the first window: names, fonts, style.
void prepareApplication(QApplication &app);
// Takes the bank folder for this run. When another copy holds it, that copy
// is asked to bring its window to the front (or, when it cannot be reached,
// a message says the bank is open already), and false means: end here.
bool takeBankFolder(BankLock &lock);
// Creates and shows the practice window; a second start on the same bank
// brings it to the front.
frmMain *startProgram(BankLock *lock = nullptr);
