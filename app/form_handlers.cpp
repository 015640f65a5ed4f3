// The window's event handlers for the controls: each family is one rule, told once.
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>

#include "app/form1.h"
#include "midi/device_switch.h"
#include "midi/note_player.h"
#include "midi/rhythm_part.h"
#include "ui/drum_page.h"
#include "midi/voice_state.h"
#include "ui/computer_keyboard.h"
#include "ui/voice_controls.h"

void TForm1::ButtonMouseDown(int n) {
  kalvora::ToneButtonDown(n);
  mouseNote_ = kalvora::PlayedNote();
}

void TForm1::ButtonMouseUp(int) { kalvora::StopNote(mouseNote_); }

void TForm1::DrumButtonMouseDown(int n) {
  kalvora::DrumSetButtonDown(TabSheet4->programOfButton(n));
  mouseNote_ = kalvora::PlayedNote();
}

void TForm1::DrumButtonMouseUp(int) { kalvora::StopNote(mouseNote_); }

void TForm1::Button257MouseDown() {
  // Notes held on the computer keyboard stop on the device they were started on.
  computerKeyboard_->releaseAll();
  kalvora::CloseDeviceForSwitch();
}

void TForm1::Button257MouseUp() { kalvora::OpenNextDevice(); }

void TForm1::ShapeMouseDown(int n) {
  kalvora::KeyDown(n);
  mouseNote_ = kalvora::PlayedNote();
}

void TForm1::ShapeMouseUp(int) { kalvora::StopNote(mouseNote_); }

void TForm1::FormKeyDown(int note) { kalvora::NoteDown(note); }

void TForm1::FormKeyUp(kalvora::HeldNote note) { kalvora::StopNote(note); }

void TForm1::PageControl1Change() {
  const bool drums = PageControl1->currentWidget() == TabSheet4;
  kalvora::SetPlayChannel(drums ? kalvora::kRhythmChannel : kalvora::kChannel1);
  TabSheet4->setKeyToolTips(drums);
}

void TForm1::ScrollBarChange(int n) {
  const int position = ScrollBar(n)->value();
  // Label15, 17, 19, 21 and 23 show the positions of ScrollBar1..5.
  setLabelText(13 + 2 * n, QString::number(position));
  kalvora::StoreEffectLevel(n, position);
}

void TForm1::RadioButtonClick(int n) { kalvora::MapRadioClicked(n, RadioButton(n)->isChecked()); }
