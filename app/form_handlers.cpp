// The window's event handlers for the controls: each family is one rule, told once.
#include <QLineEdit>
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
#include "ui/search_page.h"

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

// A line stops the mouse button's or the key's earlier note first, as a button does.
void TForm1::SearchLineMouseDown(int row, Qt::MouseButton button) {
  stopMouseNote(button);
  if (const auto note = playSearchLine(row)) mouseNotes_.hold(button, *note);
}

void TForm1::SearchLineMouseUp(Qt::MouseButton button) { stopMouseNote(button); }

void TForm1::SearchLineKeyDown(int row, int key) {
  SearchLineKeyUp(key);
  if (const auto note = playSearchLine(row)) searchKeyNotes_.hold(key, *note);
}

void TForm1::SearchLineKeyUp(int key) {
  if (const auto started = searchKeyNotes_.release(key)) kalvora::StopNote(*started);
}

// The line's entry becomes the current voice; the effect page's map button follows its map.
std::optional<kalvora::HeldNote> TForm1::playSearchLine(int row) {
  const kalvora::FoundName* entry = TabSheet5->entry(row);
  if (entry == nullptr) return std::nullopt;
  const kalvora::HeldNote note = kalvora::SearchLineDown(*entry);
  RadioButton(kalvora::kToneMapCount - MapIndex)->setChecked(true);
  return note;
}

void TForm1::PageControl1Change() {
  const bool drums = PageControl1->currentWidget() == TabSheet4;
  const bool search = PageControl1->currentWidget() == TabSheet5;
  kalvora::SetPlayChannel(drums ? kalvora::kRhythmChannel : kalvora::kChannel1);
  // A device that loads its kits on demand does so while the user reaches for a key.
  if (drums) kalvora::PrepareDrumSet(kalvora::PlayedDrumSet().program);
  TabSheet4->setKeyToolTips(drums);
  // The computer keys type into the search field while it is shown.
  computerKeyboard_->setPlaying(!search);
  if (search) TabSheet5->field()->setFocus(Qt::OtherFocusReason);
}

void TForm1::ScrollBarChange(int n) {
  const int position = ScrollBar(n)->value();
  setLabelText(kalvora::form::kEffectRows[n - 1].valueLabel(), QString::number(position));
  kalvora::StoreEffectLevel(n, position);
}

void TForm1::RadioButtonClick(int n) { kalvora::MapRadioClicked(n, RadioButton(n)->isChecked()); }
