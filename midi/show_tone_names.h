// The captions of the program and bank buttons for the voice as it stands.
#pragma once

// The 256 captions from ProgramNumber, BankNumber and MapIndex, onto MainView.
void ShowToneNames();
