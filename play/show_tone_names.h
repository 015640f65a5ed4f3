// The captions of the program and bank buttons, and the drum page, for the voice as it stands.
#pragma once

// The 256 captions from ProgramNumber, BankNumber and MapIndex, and the drum sets of MapIndex
// with the set a press plays, onto MainView.
void ShowToneNames();
