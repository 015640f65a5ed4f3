// The window's event handlers for the controls: each family is one rule, told once.
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>

#include "app/form1.h"
#include "app/form_description.h"
#include "app/form_messages.h"
#include "play/device_switch.h"
#include "play/note_player.h"
#include "play/rhythm_part.h"
#include "play/voice_controls.h"
#include "play/voice_state.h"
#include "ui/computer_keyboard.h"
#include "ui/drum_page.h"

// A mouse button's earlier press whose release never came is ended before its new press plays.
void TForm1::ButtonMouseDown(int n, Qt::MouseButton button) {
  stopMouseNote(button);
  mouseNotes_.hold(button, kalvora::ToneButtonDown(n));
}

void TForm1::ButtonMouseUp(int, Qt::MouseButton button) { stopMouseNote(button); }

void TForm1::DrumButtonMouseDown(int n, Qt::MouseButton button) {
  stopMouseNote(button);
  mouseNotes_.hold(button, kalvora::DrumSetButtonDown(TabSheet4->programOfButton(n)));
}

void TForm1::DrumButtonMouseUp(int, Qt::MouseButton button) { stopMouseNote(button); }

void TForm1::Button257MouseDown() {
  // Notes held on the computer keyboard stop on the device they were started on.
  computerKeyboard_->releaseAll();
  kalvora::CloseDeviceForSwitch();
}

void TForm1::Button257MouseUp() { kalvora::OpenNextDevice(kalvora::form::kCannotOpenDevice); }

void TForm1::ShapeMouseDown(int n, Qt::MouseButton button) {
  stopMouseNote(button);
  mouseNotes_.hold(button, kalvora::KeyDown(n));
}

void TForm1::ShapeMouseUp(int, Qt::MouseButton button) { stopMouseNote(button); }

void TForm1::stopMouseNote(Qt::MouseButton button) {
  if (const auto started = mouseNotes_.release(button)) kalvora::StopNote(*started);
}

kalvora::HeldNote TForm1::FormKeyDown(int note) { return kalvora::NoteDown(note); }

void TForm1::FormKeyUp(kalvora::HeldNote note) { kalvora::StopNote(note); }

void TForm1::PageControl1Change() {
  const bool drums = PageControl1->currentWidget() == TabSheet4;
  kalvora::SetPlayChannel(drums ? kalvora::kRhythmChannel : kalvora::kChannel1);
  TabSheet4->setKeyToolTips(drums);
}

void TForm1::ScrollBarChange(int n) {
  const int position = ScrollBar(n)->value();
  setLabelText(kalvora::form::kEffectRows[n - 1].valueLabel(), QString::number(position));
  kalvora::StoreEffectLevel(n, position);
}

void TForm1::RadioButtonClick(int n) { kalvora::MapRadioClicked(n, RadioButton(n)->isChecked()); }
